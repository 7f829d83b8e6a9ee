#include "app/TrayNotifier.h"

#include <QSystemTrayIcon>

#include "app/AppDelegate.h"
#include "core/Diagnostics.h"

void TrayNotifier::notify(const std::string& title, const std::string& text) {
  Diagnostics::info() << "told the user: " << text;
  QSystemTrayIcon* item = delegate_.statusItem();
  if (item == nullptr) return;
  item->showMessage(QString::fromStdString(title), QString::fromStdString(text),
                    QSystemTrayIcon::Warning, 15000);
}
