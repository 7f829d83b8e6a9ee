#include "platform/QtProcess.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include "core/Diagnostics.h"
#include "core/Shutdown.h"

std::string QtProcess::executablePath() const {
  return QCoreApplication::applicationFilePath().toStdString();
}

bool QtProcess::relaunch() {
  const QString helper =
      QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kRelaunchHelper);
  if (!QFileInfo(helper).isExecutable()) {
    Diagnostics::error() << "cannot restart: " << helper.toStdString()
                       << " is missing; Zelbrin Client keeps running";
    return false;
  }
  const QStringList arguments{QCoreApplication::applicationFilePath(), QString::number(::getpid())};
  if (!QProcess::startDetached(helper, arguments)) {
    Diagnostics::error() << "cannot start " << helper.toStdString()
                       << "; Zelbrin Client keeps running";
    return false;
  }
  // The helper waits until this process has ended. A job that waits for the user is left as it
  // came, for the new agent.
  Shutdown::begin();
  QCoreApplication::quit();
  return true;
}
