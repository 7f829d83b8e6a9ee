#include "platform/QtProcess.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "core/Diagnostics.h"
#include "core/Shutdown.h"

namespace {

// Beside the agent first (the build folder, where the tests run it), then in the libexec folder
// of the prefix the agent is installed in. Empty when neither holds it.
QString findRelaunchHelper(QStringList& tried) {
  const QDir folder(QCoreApplication::applicationDirPath());
  const QString name = QLatin1String(QtProcess::kRelaunchHelper);
  tried = {folder.filePath(name),
           QDir::cleanPath(folder.filePath(QStringLiteral(ZELBRIN_HELPER_DIR_FROM_BIN) +
                                           QLatin1Char('/') + name))};
  for (const QString& candidate : tried) {
    const QFileInfo file(candidate);
    if (file.isFile() && file.isExecutable()) return candidate;
  }
  return {};
}

}  // namespace

std::string QtProcess::executablePath() const {
  return QCoreApplication::applicationFilePath().toStdString();
}

bool QtProcess::relaunch() {
  QStringList tried;
  const QString helper = findRelaunchHelper(tried);
  if (helper.isEmpty()) {
    Diagnostics::error() << "cannot restart: neither "
                         << tried.join(QStringLiteral(" nor ")).toStdString()
                         << " is an executable file; Zelbrin Client keeps running";
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
