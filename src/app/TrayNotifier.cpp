#include "app/TrayNotifier.h"

#include "app/AppDelegate.h"
#include "core/Diagnostics.h"
#include "platform/QtTranslation.h"

void TrayNotifier::notify(const Notifier::Notice& notice, const std::string& why) {
  QSystemTrayIcon* item = delegate_.statusItem();
  if (item == nullptr || !item->isVisible() || !QSystemTrayIcon::isSystemTrayAvailable()) {
    Diagnostics::warning() << "no notification service (" << why
                           << ") and no tray: " << notice.title.english() << ": "
                           << notice.text.english();
    return;
  }
  if (clickable_ != item) {
    // A click on the balloon does what a click on a notification does.
    QObject::connect(item, &QSystemTrayIcon::messageClicked, item,
                     [this] { delegate_.openOptionWindow(); });
    clickable_ = item;
  }
  // A failure's balloon stays until it is clicked.
  item->showMessage(QtTranslation::text(notice.title), QtTranslation::text(notice.text),
                    notice.failure ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                    notice.failure ? 0 : 15000);
  Diagnostics::info() << "no notification service (" << why
                      << "); told the user in a balloon of the tray icon: "
                      << notice.title.english() << ": " << notice.text.english();
}
