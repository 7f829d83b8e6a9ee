#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <string>

#include "ports/Notifier.h"

class QDBusPendingCallWatcher;

// Notices through the desktop's notification service (org.freedesktop.Notifications on the
// session bus), whatever the tray does: GNOME has no tray, and a balloon from a tray icon is
// easily missed. A failure stays until the user closes it. Every notice offers the options
// window; one about a printer also offers the desktop's printer settings, one about a job its
// print queue. The call is
// asynchronous: a slow or missing service never holds up the jobs.
class DbusNotifier final : public QObject, public Notifier {
  Q_OBJECT

 public:
  // What becomes of a notice that no notification service took, and why it did not.
  using Fallback = std::function<void(const Notice& notice, const std::string& why)>;

  DbusNotifier(Fallback fallback, std::function<void()> openOptions);
  ~DbusNotifier() override;
  DbusNotifier(const DbusNotifier&) = delete;
  DbusNotifier& operator=(const DbusNotifier&) = delete;

  void notify(const Notice& notice) override;

  // Opens the first of the desktops' printer settings programs found on PATH, else the CUPS web
  // page in the browser.
  static void openPrinterSettings();
  // Opens the queue's jobs in system-config-printer, else its CUPS web page in the browser.
  static void openPrintQueue(const std::string& queue);

 private slots:
  void actionInvoked(uint id, const QString& action);
  void notificationClosed(uint id, uint reason);

 private:
  void answered(QDBusPendingCallWatcher* watcher);

  Fallback fallback_;
  std::function<void()> openOptions_;
  // Notices sent and not answered yet.
  std::map<QDBusPendingCallWatcher*, Notice> pending_;
  // Our notices on screen, by id, for their actions. Other programs' ids are not ours to act on.
  std::map<uint, Notice> shown_;
};
