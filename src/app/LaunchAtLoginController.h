#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <string>

class LoginItems;

// The agent's own login item as an observable switch, for the options window's "Start at
// login" box. Changes made elsewhere (the desktop's own settings, a file manager) are followed
// through the autostart folder. Turning it off keeps the entry, switched off, so that the check
// at the next start leaves the user's choice alone.
class LaunchAtLoginController : public QObject {
  Q_OBJECT
  Q_PROPERTY(
      bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)

 public:
  LaunchAtLoginController(LoginItems& loginItems, std::string program);

  bool launchAtLogin() const;
  void setLaunchAtLogin(bool on);

 signals:
  void launchAtLoginChanged();

 private:
  void watch();

  LoginItems& loginItems_;
  std::string program_;
  QFileSystemWatcher watcher_;
};
