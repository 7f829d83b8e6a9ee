#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QTimer>

#include "platform/CupsPrintSystem.h"
#include "platform/QtPrintDialog.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace {

// Answers the first visible window that `is` picks, the way a user would, once it is up.
void answerWhenShown(const std::function<bool(QWidget&)>& is,
                     const std::function<void(QDialog&)>& answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, is, answer] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QDialog*>(widget);
      if (dialog == nullptr || !dialog->isVisible() || !is(*dialog)) continue;
      poll->deleteLater();
      answer(*dialog);
      return;
    }
  });
  poll->start(50);
}

void answerWhenShown(const std::function<void(QPrintDialog&)>& answer) {
  answerWhenShown([](QWidget& w) { return qobject_cast<QPrintDialog*>(&w) != nullptr; },
                  [answer](QDialog& shown) { answer(static_cast<QPrintDialog&>(shown)); });
}

CupsPrintSystem cups;
QtPrintDialog dialogOnTestQueues() {
  return QtPrintDialog([](const std::string& name) { return cups.queueFor(name); });
}

TEST(PrintDialogTest, RealDialogStartsOnTheResolvedQueueAndReturnsTheChoice) {
  QtPrintDialog dialog = dialogOnTestQueues();
  PrintDialogRequest request;
  request.printerName = "Office Tray Printer";
  request.copies = 2;
  request.collate = true;
  request.duplexMode = 2;
  request.pageSetup = true;
  request.media = PageSize{842, 595};
  answerWhenShown([](QPrintDialog& shown) { shown.accept(); });
  const std::optional<PrintDialogChoice> choice = dialog.run(request);
  ASSERT_TRUE(choice);
  EXPECT_EQ(std::tuple(choice->printerName, choice->copies, choice->collate, choice->duplexMode),
            std::tuple("zelbrin-tray", 2, true, 2));
  // Left alone, the page setup's paper (the queue's own) and orientation are no choice.
  EXPECT_FALSE(choice->media);
  for (const auto& [name, value] : choice->options) EXPECT_NE(name, "orientation-requested");

  answerWhenShown([](QPrintDialog& shown) { shown.reject(); });
  EXPECT_FALSE(dialog.run(PrintDialogRequest{})) << "cancelled";
}

// What the user chooses in the dialog and its properties reaches the CUPS job, over the job's
// own paper and tray.
TEST(PrintDialogTest, ChoicesInTheRealDialogReachTheCupsJob) {
  QtPrintDialog dialog = dialogOnTestQueues();
  RecordingProgress progress;
  const TempFolder home;
  const FixedPaths paths{home.path()};
  PrinterProcess printing({cups, dialog, progress, paths});

  answerWhenShown([](QPrintDialog& shown) {
    shown.findChild<QCheckBox*>("reverse")->setChecked(true);
    answerWhenShown(
        [](QWidget& w) {
          return qobject_cast<QPrintDialog*>(&w) == nullptr &&
                 w.findChild<QComboBox*>("pageSizeCombo") != nullptr;
        },
        [](QDialog& properties) {
          auto* size = properties.findChild<QComboBox*>("pageSizeCombo");
          size->setCurrentIndex(size->findText("A5"));
          properties.findChild<QRadioButton*>("landscape")->click();
          properties.findChild<QComboBox*>("pagesPerSheetCombo")->setCurrentIndex(1);  // 2 (2x1)
          // The queue's own options bear no names: the tray is the list that offers Tray 2.
          auto* queueOptions = properties.findChild<QWidget*>("cupsPropertiesPage");
          for (QComboBox* list : queueOptions->findChildren<QComboBox*>()) {
            if (const int tray2 = list->findText("Tray 2"); tray2 >= 0)
              list->setCurrentIndex(tray2);
          }
          properties.accept();
        });
    shown.findChild<QAbstractButton*>("properties")->click();  // modal until answered
    shown.accept();
  });

  PrinterProcess::ClipboardPrint request;
  const std::string pdf = makePdf(300, 400);
  request.document = pdf;
  request.dialog = true;
  request.tray = "1";
  request.chkState = true;
  request.collate = "false";
  JobValues job;
  const int before = CupsJobs::newest();
  printing.printClipboardDocument(request, job);
  const int jobId = CupsJobs::newest();
  ASSERT_GT(jobId, before) << "no job reached CUPS";

  const auto printed = CupsJobs::waitUntilEnded(jobId);
  ASSERT_TRUE(printed);
  EXPECT_EQ((*printed)["media"], "iso_a5_148x210mm") << "not the job's 300 x 400";
  EXPECT_EQ((*printed)["orientation-requested"], "landscape");
  EXPECT_EQ((*printed)["InputSlot"], "Tray2") << "not the job's Tray1";
  EXPECT_EQ((*printed)["number-up"], "2");
  EXPECT_EQ((*printed)["outputorder"], "reverse");
}

}  // namespace
