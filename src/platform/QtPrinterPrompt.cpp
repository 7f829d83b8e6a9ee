#include "platform/QtPrinterPrompt.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>

#include "core/Shutdown.h"
#include "ui_PrinterPrompt.h"

QtPrinterPrompt::QtPrinterPrompt() : HUDp_(std::make_unique<QDialog>()), ui_(new Ui::HUDp) {
  ui_->setupUi(HUDp_.get());
  // The names come from the remote session and from CUPS: never read as markup.
  ui_->promptText->setTextFormat(Qt::PlainText);
  // Asked in the middle of a job, often while the remote-desktop window covers the screen.
  HUDp_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void QtPrinterPrompt::onRestart(const std::function<void()>& restart) {
  QObject::connect(ui_->restart, &QPushButton::clicked, HUDp_.get(), restart);
}

QtPrinterPrompt::~QtPrinterPrompt() = default;

void QtPrinterPrompt::setPrinters(const std::vector<std::string>& names) {
  documentName_.clear();
  ui_->printersList->clear();
  for (const std::string& name : names) {
    const QString printer = QString::fromStdString(name);
    ui_->printersList->addItem(printer, printer);
  }
  ui_->printersList->setCurrentIndex(names.empty() ? -1 : 0);
}

void QtPrinterPrompt::describeJob(const std::string& documentName,
                                  const std::optional<std::string>& defaultPrinter) {
  documentName_ = documentName;
  QComboBox& list = *ui_->printersList;
  for (int i = 0; i < list.count(); ++i) {
    const QString printer = list.itemData(i).toString();
    const bool isDefault = defaultPrinter && printer.toStdString() == *defaultPrinter;
    list.setItemText(
        i, isDefault ? QCoreApplication::translate("QtPrinterPrompt", "%1 (default)").arg(printer)
                     : printer);
  }
}

void QtPrinterPrompt::prepare(const std::string& serverPrinter,
                              const std::optional<std::string>& preselected) {
  const QString server = QString::fromStdString(serverPrinter);
  const QString job = documentName_.empty()
                          ? QCoreApplication::translate("QtPrinterPrompt", "A job")
                          : QCoreApplication::translate("QtPrinterPrompt", "“%1”")
                                .arg(QString::fromStdString(documentName_));
  ui_->promptText->setText(QCoreApplication::translate("QtPrinterPrompt",
                                                       "%1 comes from the server printer “%2”, "
                                                       "which has no local printer yet. Choose "
                                                       "the local printer for its jobs.")
                               .arg(job, server));
  ui_->printersList->setCurrentIndex(
      preselected ? ui_->printersList->findData(QString::fromStdString(*preselected)) : -1);
}

PrinterPrompt::Answer QtPrinterPrompt::run() {
  HUDp_->show();
  HUDp_->raise();
  HUDp_->activateWindow();
  // Closing the window or pressing Escape rejects it, which is a cancel like the button; the
  // agent ending (the restart button included) is not.
  const int result = HUDp_->exec();
  Shutdown::throwIfUnderway();
  if (result != QDialog::Accepted) return Answer{.cancelled = true, .selected = {}};
  const int index = ui_->printersList->currentIndex();
  if (index < 0) return Answer{.cancelled = false, .selected = std::nullopt};
  return Answer{.cancelled = false,
                .selected = ui_->printersList->itemData(index).toString().toStdString()};
}
