#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

// The windows are made and clicked on Qt's offscreen platform unless the run names another
// (DISPLAY with QT_QPA_PLATFORM=xcb, to watch them). Qt's runtime folder is a private one, so
// that no test run shares or leaves anything in the user's.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::string runtime =
      (std::filesystem::temp_directory_path() / "zelbrin-gui-runtime-XXXXXX").string();
  if (::mkdtemp(runtime.data()) != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    result = RUN_ALL_TESTS();
  }
  std::error_code ignored;
  std::filesystem::remove_all(runtime, ignored);
  return result;
}
