#include "app/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include "config/RedirectedFolderSetup.h"
#include "core/Diagnostics.h"
#include "core/Shutdown.h"
#include "ports/Notifier.h"
#include "ports/Paths.h"

// The image lives in this library's resources; a static library's resources are only linked in
// when something names them. Q_INIT_RESOURCE must stand outside any namespace.
static void initResources() { Q_INIT_RESOURCE(resources); }

namespace {

void bringToFront(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

// At the options window's level. Changing the flags of a shown window hides it, so a window
// floats before it is shown.
void floatAboveOthers(QWidget& window) {
  if (!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
    window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
}

}  // namespace

AppDelegate::AppDelegate(const Paths& paths) : paths_(paths) { initResources(); }

AppDelegate::~AppDelegate() = default;

void AppDelegate::awakeFromNib() {
  statusItem_ = std::make_unique<QSystemTrayIcon>(QIcon(QString::fromLatin1(kStatusImage)));
  if (outlets_.menuItem != nullptr) {
    statusItem_->setContextMenu(outlets_.menuItem);
    // Most Linux trays give a left click to the program: it opens the same menu.
    QObject::connect(statusItem_.get(), &QSystemTrayIcon::activated, outlets_.menuItem,
                     [menu = outlets_.menuItem](QSystemTrayIcon::ActivationReason reason) {
                       if (reason == QSystemTrayIcon::Trigger) menu->popup(QCursor::pos());
                     });
  }
  for (QWidget* window : {outlets_.about, outlets_.serverOptions}) {
    if (window != nullptr && !window->isVisible()) floatAboveOthers(*window);
  }
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    Diagnostics::notice() << "no system tray on this desktop yet; the status item shows when "
                          "one appears";
  }
  statusItem_->show();
}

void AppDelegate::applicationDidFinishLaunching() {
  CreateMappedFolder();
  OldFolderRemove();
}

void AppDelegate::CreateMappedFolder() {
  RedirectedFolderSetup::CreateMappedFolder(paths_.documentsDirectory());
}

void AppDelegate::OldFolderRemove() {
  RedirectedFolderSetup::OldFolderRemove(paths_.documentsDirectory());
}

void AppDelegate::quitApp() {
  Shutdown::begin();
  QApplication::quit();
}

void AppDelegate::AboutPanel() {
  if (outlets_.about == nullptr) return;
  floatAboveOthers(*outlets_.about);
  bringToFront(*outlets_.about);
}

void AppDelegate::openOptionWindow() {
  QWidget* window = outlets_.optionsWindow;
  if (window == nullptr) return;
  floatAboveOthers(*window);
  bringToFront(*window);
}

void AppDelegate::tellRunningWithoutTray(Notifier& notifier) {
  if (QSystemTrayIcon::isSystemTrayAvailable()) return;
  notifier.notify(Notifier::Notice{
      .title = UserText("AppDelegate",
                        QT_TRANSLATE_NOOP("AppDelegate", "Zelbrin Client runs in the background")),
      .text = UserText("AppDelegate",
                       QT_TRANSLATE_NOOP("AppDelegate",
                                         "This desktop has no system tray, so Zelbrin Client "
                                         "shows no icon; it prints the jobs of your remote "
                                         "desktop session all the same. To open its options, "
                                         "start Zelbrin Client again from the applications "
                                         "menu.")),
      .failure = false,
  });
}

void AppDelegate::showActivity(const std::string& line) {
  QMenu* menu = outlets_.menuItem;
  if (menu == nullptr) return;
  if (activity_ == nullptr) {
    QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
    activity_ = new QAction(menu);
    activity_->setEnabled(false);
    menu->insertAction(first, activity_);
    menu->insertSeparator(first);
  }
  // A document's "&" is no mnemonic.
  activity_->setText(QString::fromStdString(line).replace(QLatin1Char('&'), QStringLiteral("&&")));
}
