#pragma once

#include <QPointer>
#include <QSystemTrayIcon>
#include <string>

#include "ports/Notifier.h"

class AppDelegate;

// Where no notification service answers: a balloon from the status item, where a tray shows
// it; otherwise standard error is all there is, and it says so.
class TrayNotifier {
 public:
  explicit TrayNotifier(AppDelegate& delegate) : delegate_(delegate) {}
  // `why` tells why the notification service did not take the notice.
  void notify(const Notifier::Notice& notice, const std::string& why);

 private:
  AppDelegate& delegate_;
  // The status item whose balloon clicks open the options window; awakeFromNib may make a new one.
  QPointer<QSystemTrayIcon> clickable_;
};
