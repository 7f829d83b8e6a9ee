#include "app/LaunchAtLoginController.h"

#include <QDir>

#include "ports/LoginItems.h"

LaunchAtLoginController::LaunchAtLoginController(LoginItems& loginItems, std::string program)
    : loginItems_(loginItems), program_(std::move(program)) {
  watch();
  QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
    watch();  // a folder made after start is watched from then on
    emit launchAtLoginChanged();
  });
  QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, this,
                   [this] { emit launchAtLoginChanged(); });
}

bool LaunchAtLoginController::launchAtLogin() const {
  return loginItems_.stateOf(program_) == LoginItems::State::On;
}

void LaunchAtLoginController::setLaunchAtLogin(bool on) {
  if (launchAtLogin() != on) loginItems_.set(program_, on);
  emit launchAtLoginChanged();
}

void LaunchAtLoginController::watch() {
  const QString folder = QString::fromStdString(loginItems_.folder());
  // Until the autostart folder exists, its parent tells when it comes.
  QDir().mkpath(folder);
  if (!watcher_.directories().contains(folder)) watcher_.addPath(folder);
  // An entry edited in place (switched off by the desktop's settings) changes no folder entry.
  for (const QString& name : QDir(folder).entryList({QStringLiteral("*.desktop")}, QDir::Files)) {
    const QString file = folder + QLatin1Char('/') + name;
    if (!watcher_.files().contains(file)) watcher_.addPath(file);
  }
}
