#include <gtest/gtest.h>

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include "platform/QtPrintDialog.h"

namespace {

// Answers the dialog the way a user would, once it is up.
void answerWhenShown(const std::function<void(QPrintDialog&)>& answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QPrintDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      poll->deleteLater();
      answer(*dialog);
      return;
    }
  });
  poll->start(50);
}

QtPrintDialog dialogOnTestQueues() {
  return QtPrintDialog([](const std::string& name) -> std::optional<std::string> {
    if (name == "Office Tray Printer") return "zelbrin-tray";
    return std::nullopt;
  });
}

TEST(PrintDialogTest, RealDialogStartsOnTheResolvedQueueAndReturnsTheChoice) {
  QtPrintDialog dialog = dialogOnTestQueues();
  PrintDialogRequest request;
  request.printerName = "Office Tray Printer";
  request.copies = 2;
  request.collate = true;
  request.duplexMode = 2;
  request.pageSetup = true;
  request.bringToFront = true;

  QString shownOn;
  answerWhenShown([&](QPrintDialog& shown) {
    shownOn = shown.printer()->printerName();
    shown.accept();
  });
  const std::optional<PrintDialogChoice> choice = dialog.run(request);
  ASSERT_TRUE(choice);
  EXPECT_EQ(shownOn.toStdString(), "zelbrin-tray");
  EXPECT_EQ(choice->printerName, "zelbrin-tray");
  EXPECT_EQ(choice->copies, 2);
  EXPECT_TRUE(choice->collate);
  EXPECT_EQ(choice->duplexMode, 2);
  EXPECT_FALSE(choice->pageRanges);
}

TEST(PrintDialogTest, CancellingTheRealDialogAnswersNothing) {
  QtPrintDialog dialog = dialogOnTestQueues();
  answerWhenShown([](QPrintDialog& shown) { shown.reject(); });
  EXPECT_FALSE(dialog.run(PrintDialogRequest{}));
}

}  // namespace
