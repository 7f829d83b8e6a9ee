#include "platform/QtPrinterPrompt.h"

#include <QDialog>

#include "core/Shutdown.h"
#include "ui_PrinterPrompt.h"

QtPrinterPrompt::QtPrinterPrompt() : HUDp_(std::make_unique<QDialog>()), ui_(new Ui::HUDp) {
  ui_->setupUi(HUDp_.get());
  // Asked in the middle of a job, often while the remote-desktop window covers the screen.
  HUDp_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void QtPrinterPrompt::onRestart(const std::function<void()>& restart) {
  QObject::connect(ui_->restart, &QPushButton::clicked, HUDp_.get(), restart);
}

QtPrinterPrompt::~QtPrinterPrompt() = default;

void QtPrinterPrompt::setPrinters(const std::vector<std::string>& names) {
  ui_->printersList->clear();
  for (const std::string& name : names) ui_->printersList->addItem(QString::fromStdString(name));
  ui_->printersList->setCurrentIndex(names.empty() ? -1 : 0);
}

void QtPrinterPrompt::prepare(const std::string& serverPrinter,
                              const std::optional<std::string>& preselected) {
  ui_->promptText->setText(QStringLiteral("Choose the local printer for \u201c%1\u201d")
                               .arg(QString::fromStdString(serverPrinter)));
  ui_->printersList->setCurrentIndex(
      preselected
          ? ui_->printersList->findText(QString::fromStdString(*preselected), Qt::MatchExactly)
          : -1);
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
  return Answer{.cancelled = false, .selected = ui_->printersList->itemText(index).toStdString()};
}
