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

TEST_F(PrinterPromptTest, ListLabelAndPreselection) {
  prompt.setPrinters({"Office Laser", "Brother HL", "Canon=Colour"});
  EXPECT_EQ(printersList().count(), 3);
  EXPECT_EQ(printersList().currentIndex(), 0);
  EXPECT_FALSE(printersList().isEditable()) << "only an installed printer can be the answer";
  prompt.prepare("Zebra ZD420", "Brother HL");
  EXPECT_EQ(printersList().currentIndex(), 1);
  EXPECT_EQ(child<QLabel>("promptText").text(),
            QString::fromUtf8("Choose the local printer for \u201cZebra ZD420\u201d"));
  EXPECT_FALSE(child<QPushButton>("restart").toolTip().isEmpty()) << "the button says what it does";
}

TEST_F(PrinterPromptTest, AnswersFromAFloatingModalWindow) {
  prompt.setPrinters({"Office Laser", "Brother HL"});
  const auto answer = runAnd([this] {
    printersList().setCurrentIndex(1);
    QTest::mouseClick(&okButton(), Qt::LeftButton);
  });
  EXPECT_TRUE(seenWhileRunning);
  EXPECT_TRUE(prompt.HUDp().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(answer.selected, "Brother HL");
  EXPECT_FALSE(prompt.HUDp().isVisible()) << "the prompt goes away with the answer";

  const auto cancelled = runAnd([this] {
    QTest::mouseClick(&child<QPushButton>("cancelButtonPrinterPair"), Qt::LeftButton);
  });
  EXPECT_TRUE(cancelled.cancelled);
  const auto escaped = runAnd([this] { QTest::keyClick(&prompt.HUDp(), Qt::Key_Escape); });
  EXPECT_TRUE(escaped.cancelled) << "leaving the window is no choice of printer";

  prompt.setPrinters({});
  const auto empty = runAnd([this] { QTest::keyClick(&prompt.HUDp(), Qt::Key_Return); });
  EXPECT_FALSE(empty.cancelled) << "OK without any printer answers nothing";
  EXPECT_EQ(empty.selected, std::nullopt);
}

}  // namespace
