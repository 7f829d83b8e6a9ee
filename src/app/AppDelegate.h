#pragma once

#include <memory>
#include <string>

class Notifier;
class Paths;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

// The agent's face on the desktop: one status item in the system tray with the status menu
// (what the agent is doing, options, about, quit). Windows are brought to the front; the agent
// is not activated for it.
class AppDelegate {
 public:
  static constexpr const char* kStatusImage = ":/1385664843_519970-033_PrinterText.png";

  struct Outlets {
    QMenu* menuItem = nullptr;
    QWidget* optionsWindow = nullptr;
    QWidget* about = nullptr;
    QWidget* serverOptions = nullptr;
  };

  explicit AppDelegate(const Paths& paths);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void connectOutlets(const Outlets& outlets) { outlets_ = outlets; }
  // Creates the status item (replacing an earlier one) with the image and the status menu. The
  // windows opened from the menu float like the options window, so that the one opened last is
  // in front of it.
  void awakeFromNib();
  // Runs once the event loop is about to start: the redirected folder is made (when the switch
  // asks for it), then the old folder is removed.
  void applicationDidFinishLaunching();
  void CreateMappedFolder();
  void OldFolderRemove();

  // The status menu's actions.
  void quitApp();
  void AboutPanel();
  // Brings the options window to the front, floating above ordinary windows.
  void openOptionWindow();
  // The first, inactive entry of the status menu: what the agent is doing.
  void showActivity(const std::string& line);

  QSystemTrayIcon* statusItem() const { return statusItem_.get(); }

  // On a first start without a tray the agent shows nothing at all: the user is told that it
  // runs all the same and how to reach it.
  static void tellRunningWithoutTray(Notifier& notifier);

 private:
  const Paths& paths_;
  Outlets outlets_;
  std::unique_ptr<QSystemTrayIcon> statusItem_;
  QAction* activity_ = nullptr;  // owned by the menu
};
