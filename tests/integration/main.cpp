#include <gtest/gtest.h>

#include <QApplication>

// The clipboard and dialog tests talk to the X server of the test environment through Qt, which
// needs an application object for the life of the run.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
