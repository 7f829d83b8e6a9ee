#include "platform/QtWorkspace.h"

#include <QApplication>
#include <QWidget>

void QtWorkspace::activateApplication() {
  // An agent has no main window: raising what it shows is what "coming to the front" means.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (!widget->isVisible()) continue;
    widget->raise();
    widget->activateWindow();
  }
}
