#include "platform/QtWorkspace.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

void QtWorkspace::activateApplication() {
  // An agent has no main window: raising what it shows is what "coming to the front" means.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible()) continue;
    widget->raise();
    widget->activateWindow();
  }
}

bool QtWorkspace::openFile(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtWorkspace::openUrl(const std::string& url) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}
