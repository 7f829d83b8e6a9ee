#include "platform/QtPrintDialog.h"

#include <QCoreApplication>
#include <QPageRanges>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace {

QPrinter::DuplexMode toQt(std::int32_t mode) {
  switch (mode) {
    case 2:
      return QPrinter::DuplexLongSide;
    case 3:
      return QPrinter::DuplexShortSide;
    default:
      return QPrinter::DuplexNone;
  }
}

std::int32_t fromQt(QPrinter::DuplexMode mode) {
  switch (mode) {
    case QPrinter::DuplexLongSide:
      return 2;
    case QPrinter::DuplexShortSide:
      return 3;
    default:
      return 1;
  }
}

}  // namespace

std::optional<PrintDialogChoice> QtPrintDialog::run(const PrintDialogRequest& request) {
  QPrinter printer(QPrinter::HighResolution);
  if (!request.printerName.empty()) {
    if (const std::optional<std::string> queue = queueFor_(request.printerName)) {
      printer.setPrinterName(QString::fromStdString(*queue));
    }
  }
  printer.setCopyCount(request.copies);
  printer.setCollateCopies(request.collate);
  printer.setDuplex(toQt(request.duplexMode));

  QPrintDialog dialog(&printer);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
  dialog.setOption(QAbstractPrintDialog::PrintShowPageSize, request.pageSetup);
  if (request.bringToFront) {
    // A tray agent's dialog would otherwise open behind the window the user works in.
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;

  PrintDialogChoice choice;
  choice.printerName = printer.printerName().toStdString();
  choice.copies = printer.copyCount();
  choice.collate = printer.collateCopies();
  choice.duplexMode = fromQt(printer.duplex());
  if (printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty()) {
    choice.pageRanges = printer.pageRanges().toString().toStdString();
  }
  return choice;
}

struct QtProgressIndicator::Window {
  QProgressDialog dialog;
};

QtProgressIndicator::QtProgressIndicator() = default;

QtProgressIndicator::~QtProgressIndicator() { end(); }

void QtProgressIndicator::begin(const std::string& label, std::size_t total) {
  end();
  total_ = total == 0 ? 1 : total;
  window_ = new Window;
  window_->dialog.setLabelText(QString::fromStdString(label));
  window_->dialog.setCancelButton(nullptr);  // CUPS has the job half-sent: no way back
  window_->dialog.setRange(0, 1000);
  window_->dialog.setMinimumDuration(500);
  window_->dialog.setValue(0);
}

void QtProgressIndicator::advance(std::size_t done) {
  if (window_ == nullptr) return;
  window_->dialog.setValue(static_cast<int>(done * 1000 / total_));
  // Paint, but let no click or tick start anything while the job is being sent.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtProgressIndicator::end() {
  delete window_;
  window_ = nullptr;
}
