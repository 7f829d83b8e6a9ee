#include "platform/QtSavePanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/Shutdown.h"

std::optional<std::string> QtSavePanel::run(const std::string& suggestedName) {
  return runIn({}, suggestedName);
}

std::optional<std::string> QtSavePanel::runIn(const std::string& startFolder,
                                              const std::string& suggestedName) {
  QString folder = QString::fromStdString(startFolder);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (!QFileInfo(folder).isDir()) folder = QDir::homePath();
  }
  QFileDialog panel(nullptr, QCoreApplication::translate("QtSavePanel", "Save panel"), folder);
  panel.setAcceptMode(QFileDialog::AcceptSave);
  panel.setFileMode(QFileDialog::AnyFile);
  panel.setOption(QFileDialog::ShowDirsOnly, false);
  panel.setOption(QFileDialog::ReadOnly, false);  // the user may create folders
  panel.selectFile(QString::fromStdString(suggestedName));
  panel.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  panel.show();
  panel.raise();
  panel.activateWindow();
  const int result = panel.exec();
  Shutdown::throwIfUnderway();
  if (result != QDialog::Accepted || panel.selectedFiles().isEmpty()) return std::nullopt;
  return panel.selectedFiles().first().toStdString();
}
