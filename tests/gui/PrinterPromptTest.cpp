#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/QtPrinterPrompt.h"

namespace {

class PrinterPromptTest : public ::testing::Test {
 protected:
  template <typename T>
  T& child(const char* name) {
    T* found = prompt.HUDp().findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *found;
  }
  QComboBox& printersList() { return child<QComboBox>("printersList"); }
  QPushButton& okButton() { return child<QPushButton>("okButton"); }

  // Runs the prompt; once its modal loop is up, the user does what `user` says.
  PrinterPrompt::Answer runAnd(const std::function<void()>& user) {
    QTimer::singleShot(0, &prompt.HUDp(), [this, user] {
      seenWhileRunning = prompt.HUDp().isVisible() && prompt.HUDp().isModal();
      user();
    });
    return prompt.run();
  }

  QtPrinterPrompt prompt;
  bool seenWhileRunning = false;
};

TEST_F(PrinterPromptTest, TheListHoldsThePrintersInOrderWithTheFirstSelected) {
  const auto items = [this] {
    QStringList texts;
    for (int i = 0; i < printersList().count(); ++i) texts << printersList().itemText(i);
    return texts;
  };
  prompt.setPrinters({"Office Laser", "Brother HL", "Canon=Colour"});
  EXPECT_EQ(items(), (QStringList{"Office Laser", "Brother HL", "Canon=Colour"}));
  EXPECT_EQ(printersList().currentIndex(), 0);

  printersList().setCurrentIndex(2);
  prompt.setPrinters({"Epson", "Brother HL"});
  EXPECT_EQ(items(), (QStringList{"Epson", "Brother HL"})) << "a new list replaces the last one";
  EXPECT_EQ(printersList().currentIndex(), 0);
  EXPECT_FALSE(printersList().isEditable()) << "only an installed printer can be the answer";

  prompt.prepare("Zebra ZD420", "Brother HL");
  EXPECT_EQ(printersList().currentIndex(), 1);
  EXPECT_EQ(child<QLabel>("promptText").text(),
            QString::fromUtf8("Choose the local printer for \u201cZebra ZD420\u201d"));
  EXPECT_FALSE(child<QPushButton>("restart").toolTip().isEmpty()) << "the button says what it does";

  prompt.setPrinters({});
  EXPECT_EQ(printersList().currentIndex(), -1);
}

TEST_F(PrinterPromptTest, OkAnswersTheSelectedPrinterFromAFloatingModalWindow) {
  prompt.setPrinters({"Office Laser", "Brother HL", "Canon=Colour"});
  const auto answer = runAnd([this] {
    printersList().setCurrentIndex(1);
    QTest::mouseClick(&okButton(), Qt::LeftButton);
  });
  EXPECT_TRUE(seenWhileRunning);
  EXPECT_TRUE(prompt.HUDp().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_FALSE(answer.cancelled);
  EXPECT_EQ(answer.selected, "Brother HL");
  EXPECT_FALSE(prompt.HUDp().isVisible()) << "the prompt goes away with the answer";

  // The same window serves the next prompt, starting again from the first printer.
  prompt.setPrinters({"Office Laser", "Brother HL"});
  const auto again = runAnd([this] { QTest::keyClick(&prompt.HUDp(), Qt::Key_Return); });
  EXPECT_EQ(again.selected, "Office Laser") << "Return presses OK";
}

TEST_F(PrinterPromptTest, CancelAndEscapeAnswerCancelledAndOkOnNothingAnswersNothing) {
  prompt.setPrinters({"Office Laser"});
  const auto cancelled = runAnd([this] {
    QTest::mouseClick(&child<QPushButton>("cancelButtonPrinterPair"), Qt::LeftButton);
  });
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(cancelled.selected, std::nullopt);

  const auto escaped = runAnd([this] { QTest::keyClick(&prompt.HUDp(), Qt::Key_Escape); });
  EXPECT_TRUE(escaped.cancelled) << "leaving the window is no choice of printer";

  prompt.setPrinters({});
  const auto empty = runAnd([this] { QTest::mouseClick(&okButton(), Qt::LeftButton); });
  EXPECT_FALSE(empty.cancelled) << "OK without any printer answers nothing";
  EXPECT_EQ(empty.selected, std::nullopt);
}

TEST_F(PrinterPromptTest, RestartIsNotedAndLeavesThePromptUp) {
  prompt.setPrinters({"Office Laser"});
  bool stillUp = false;
  testing::internal::CaptureStderr();
  const auto answer = runAnd([this, &stillUp] {
    QTest::mouseClick(&child<QPushButton>("restart"), Qt::LeftButton);
    stillUp = prompt.HUDp().isVisible();
    QTest::mouseClick(&okButton(), Qt::LeftButton);
  });
  const std::string logged = testing::internal::GetCapturedStderr();
  EXPECT_NE(logged.find("restart requested\n"), std::string::npos) << logged;
  EXPECT_TRUE(stillUp);
  EXPECT_EQ(answer.selected, "Office Laser");
  EXPECT_TRUE(child<QWidget>("savePrinter").isVisibleTo(&prompt.HUDp()));
}

}  // namespace
