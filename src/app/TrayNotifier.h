#pragma once

#include "ports/Notifier.h"

class AppDelegate;

// Notifications through the status item, which hands them to the desktop's notification
// service; where there is no tray they still go to standard error.
class TrayNotifier final : public Notifier {
 public:
  explicit TrayNotifier(AppDelegate& delegate) : delegate_(delegate) {}
  void notify(const std::string& title, const std::string& text) override;

 private:
  AppDelegate& delegate_;
};
