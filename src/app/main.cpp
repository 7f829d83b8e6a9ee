#include <QApplication>

#include "app/Application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelbrin-client"));
  QApplication::setApplicationVersion(QStringLiteral(ZELBRIN_VERSION));
  QApplication::setOrganizationDomain(QStringLiteral("kestrova.com"));
  // A tray agent: closing a window must not end it.
  QApplication::setQuitOnLastWindowClosed(false);

  Application application;
  application.start();
  return QApplication::exec();
}
