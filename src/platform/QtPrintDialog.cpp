#include "platform/QtPrintDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QPageLayout>
#include <QPageRanges>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <QStringList>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <thread>

#include "core/Shutdown.h"
#include "platform/QtTranslation.h"

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

// Where Qt keeps the CUPS options the dialog's widgets chose (the queue's own options that differ
// from its defaults, pages per sheet, job options), as name, value, name, value. Not public API,
// but programs that hand documents to CUPS themselves read them there.
constexpr auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

OptionList cupsOptionsOf(QPrinter& printer) {
  OptionList options;
  const QStringList list = printer.printEngine()->property(kCupsOptions).toStringList();
  for (qsizetype i = 0; i + 1 < list.size(); i += 2) {
    // An empty value (no billing text, say) is no choice.
    if (list[i + 1].isEmpty()) continue;
    options.emplace_back(list[i].toStdString(), list[i + 1].toStdString());
  }
  return options;
}

// Qt's dialog lists the queues under their CUPS names and works from the text of the entry
// chosen there. The user gets the same entries under the names that the prompt and the pairs
// use, in a list of ours in its place; Qt's list stays behind it, hidden, and follows the choice.
void listPrintersByName(QPrintDialog& dialog, const QtPrintDialog::QueueResolver& printerOf) {
  auto* queues = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
  QWidget* box = queues == nullptr ? nullptr : queues->parentWidget();
  if (box == nullptr || box->layout() == nullptr) return;  // a Qt laid out otherwise: its names
  auto* names = new QComboBox(box);
  names->setObjectName(QStringLiteral("printerNames"));
  const auto refill = [queues, names, printerOf] {
    const QSignalBlocker quiet(names);
    names->clear();
    for (int i = 0; i < queues->count(); ++i) {
      const QString queue = queues->itemText(i);
      if (queue.isEmpty()) {
        names->insertSeparator(i);
        continue;
      }
      const std::optional<std::string> name = printerOf(queue.toStdString());
      names->addItem(name ? QString::fromStdString(*name) : queue);
    }
    names->setCurrentIndex(queues->currentIndex());
  };
  refill();
  QAbstractItemModel* model = queues->model();
  QObject::connect(model, &QAbstractItemModel::rowsInserted, names, refill);
  QObject::connect(model, &QAbstractItemModel::rowsRemoved, names, refill);
  QObject::connect(model, &QAbstractItemModel::modelReset, names, refill);
  QObject::connect(model, &QAbstractItemModel::dataChanged, names, refill);
  QObject::connect(names, &QComboBox::currentIndexChanged, queues, &QComboBox::setCurrentIndex);
  QObject::connect(queues, &QComboBox::currentIndexChanged, names, &QComboBox::setCurrentIndex);
  box->layout()->replaceWidget(queues, names);
  queues->hide();
  for (QLabel* label : box->findChildren<QLabel*>()) {
    if (label->buddy() == queues) label->setBuddy(names);
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
  if (request.pageCount) printer.setFromTo(1, *request.pageCount);
  // The job's paper as the starting point. Qt's page setup shows its orientation but starts on
  // the queue's default size whatever the printer holds.
  if (request.media) {
    const double shorter = std::min(request.media->width, request.media->height);
    const double longer = std::max(request.media->width, request.media->height);
    printer.setPageOrientation(request.media->width > request.media->height
                                   ? QPageLayout::Landscape
                                   : QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QSizeF(shorter, longer), QPageSize::Point));
  }
  const QPageLayout::Orientation orientation = printer.pageLayout().orientation();

  QPrintDialog dialog(&printer);
  if (!request.documentName.empty()) {
    dialog.setWindowTitle(QCoreApplication::translate("QtPrintDialog", "Print “%1”")
                              .arg(QString::fromStdString(request.documentName)));
  }
  if (request.pageCount) dialog.setMinMax(1, *request.pageCount);
  if (printerOf_) listPrintersByName(dialog, printerOf_);
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
  const int result = dialog.exec();
  Shutdown::throwIfUnderway();
  if (result != QDialog::Accepted) return std::nullopt;

  PrintDialogChoice choice;
  choice.printerName = printer.printerName().toStdString();
  choice.copies = printer.copyCount();
  choice.collate = printer.collateCopies();
  choice.duplexMode = fromQt(printer.duplex());
  if (printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty()) {
    choice.pageRanges = printer.pageRanges().toString().toStdString();
  }

  // Since the page setup starts on the queue's default size, any other size is the user's
  // choice; left alone, the job's own paper stays.
  const QPageLayout layout = printer.pageLayout();
  if (!layout.pageSize().isEquivalentTo(QPrinterInfo(printer).defaultPageSize())) {
    const QSizeF points = layout.pageSize().size(QPageSize::Point);
    choice.media = PageSize{points.width(), points.height()};
  }
  // A colour choice is among the CUPS options: the queue's ColorModel, from which Qt derives
  // the printer's colour mode.
  choice.options = cupsOptionsOf(printer);
  if (layout.orientation() != orientation) {
    choice.options.emplace_back("orientation-requested",
                                layout.orientation() == QPageLayout::Landscape ? "4" : "3");
  }
  if (printer.pageOrder() == QPrinter::LastPageFirst) {
    choice.options.emplace_back("outputorder", "reverse");
  }
  return choice;
}

struct QtProgressIndicator::Window {
  QProgressDialog dialog;
};

QtProgressIndicator::QtProgressIndicator() = default;

QtProgressIndicator::~QtProgressIndicator() { end(); }

void QtProgressIndicator::begin(const UserText& label, std::size_t total) {
  if (window_ == nullptr) {
    window_ = new Window;
    QProgressDialog& dialog = window_->dialog;
    dialog.setWindowTitle(QStringLiteral("Zelbrin Client"));
    dialog.setCancelButton(nullptr);  // CUPS has the job half-sent: no way back
    // It goes when the job is done with, not when a bar is full: the job may be sent next.
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
  }
  QProgressDialog& dialog = window_->dialog;
  total_ = total;
  dialog.setLabelText(QtTranslation::text(label));
  // Without a total the bar shows that work goes on, not how far it is.
  dialog.setRange(0, total == 0 ? 0 : 1000);
  if (total != 0) dialog.setValue(0);
  // The job is large and the work that follows holds the event loop: shown and painted now, not
  // once the work is done. The display server maps a new window in its own time.
  dialog.show();
  QElapsedTimer waited;
  waited.start();
  while (!dialog.windowHandle()->isExposed() && waited.elapsed() < 500) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  dialog.repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtProgressIndicator::advance(std::size_t done) {
  if (window_ == nullptr || total_ == 0) return;
  window_->dialog.setValue(static_cast<int>(done * 1000 / total_));
  // Paint, but let no click or tick start anything while the job is being sent.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtProgressIndicator::end() {
  delete window_;
  window_ = nullptr;
}
