#include "platform/DbusNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include "core/Diagnostics.h"
#include "platform/QtTranslation.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Given here rather than as Qt's application display name, which Qt would append to the title
// of every window ("Choose a Printer — Zelbrin Client").
const QString kAppName = QStringLiteral("Zelbrin Client");

const QString kOptionsAction = QStringLiteral("options");
const QString kPrintersAction = QStringLiteral("printers");
const QString kQueueAction = QStringLiteral("queue");

// A service that is being started on demand answers within a few seconds; one that hangs must
// not keep the notice from the tray for long.
constexpr int kAnswerLimitMs = 10000;

// Most services read the body as markup: a document name must not become a tag.
QString bodyText(QString body) {
  body.replace(QLatin1Char('&'), QLatin1String("&amp;"));
  body.replace(QLatin1Char('<'), QLatin1String("&lt;"));
  body.replace(QLatin1Char('>'), QLatin1String("&gt;"));
  return body;
}

}  // namespace

DbusNotifier::DbusNotifier(Fallback fallback, std::function<void()> openOptions)
    : fallback_(std::move(fallback)), openOptions_(std::move(openOptions)) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  // Followed from the start: a service that comes up later sends these under its new owner.
  bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
              SLOT(actionInvoked(uint, QString)));
  bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
              SLOT(notificationClosed(uint, uint)));
}

DbusNotifier::~DbusNotifier() {
  for (const auto& [watcher, notice] : pending_) {
    Diagnostics::warning() << "the notification service had not answered when Zelbrin Client "
                              "ended; the user may not have seen: "
                           << notice.title.english() << ": " << notice.text.english();
  }
}

void DbusNotifier::notify(const Notice& notice) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    fallback_(notice, "no session bus");
    return;
  }
  const QString options = QCoreApplication::translate("DbusNotifier", "Options…");
  QStringList actions{QStringLiteral("default"), options, kOptionsAction, options};
  if (notice.aboutPrinter)
    actions << kPrintersAction << QCoreApplication::translate("DbusNotifier", "Printer Settings…");
  if (!notice.queue.empty())
    actions << kQueueAction << QCoreApplication::translate("DbusNotifier", "Print Queue…");
  // The desktop entry gives the service the program's name and icon, and ties the notice to it.
  const QString entry = QGuiApplication::desktopFileName();
  QVariantMap hints{{QStringLiteral("desktop-entry"), entry}};
  // Desktops that ignore the timeout (GNOME) keep only critical notices on screen.
  if (notice.failure) hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar{2}));

  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << kAppName << uint{0} << entry << QtTranslation::text(notice.title)
       << bodyText(QtTranslation::text(notice.text)) << actions << hints
       << (notice.failure ? 0 : -1);
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerLimitMs), this);
  pending_.emplace(watcher, notice);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this](QDBusPendingCallWatcher* done) { answered(done); });
}

void DbusNotifier::answered(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const auto found = pending_.find(watcher);
  if (found == pending_.end()) return;
  const Notice notice = std::move(found->second);
  pending_.erase(found);
  const QDBusPendingReply<uint> reply = *watcher;
  if (reply.isError()) {
    fallback_(notice, reply.error().message().toStdString());
    return;
  }
  shown_[reply.value()] = notice;
  Diagnostics::info() << "told the user (desktop notification " << reply.value()
                      << "): " << notice.title.english() << ": " << notice.text.english();
}

void DbusNotifier::actionInvoked(uint id, const QString& action) {
  const auto found = shown_.find(id);
  if (found == shown_.end()) return;
  if (action == QLatin1String("default") || action == kOptionsAction) {
    openOptions_();
  } else if (action == kPrintersAction && found->second.aboutPrinter) {
    openPrinterSettings();
  } else if (action == kQueueAction && !found->second.queue.empty()) {
    openPrintQueue(found->second.queue);
  }
}

void DbusNotifier::notificationClosed(uint id, uint /*reason*/) { shown_.erase(id); }

void DbusNotifier::openPrinterSettings() {
  struct Program {
    const char* name;
    QStringList arguments;
  };
  const Program programs[] = {
      {"system-config-printer", {}},
      {"gnome-control-center", {QStringLiteral("printers")}},
      {"kcmshell6", {QStringLiteral("kcm_printer_manager")}},
      {"kcmshell5", {QStringLiteral("kcm_printer_manager")}},
      {"xdg-open", {QStringLiteral("http://localhost:631/")}},
  };
  bool found = false;
  for (const Program& program : programs) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(program.name));
    if (path.isEmpty()) continue;
    found = true;
    if (QProcess::startDetached(path, program.arguments)) return;
    Diagnostics::error() << "cannot start " << path.toStdString() << " for the printer settings";
  }
  if (!found) {
    Diagnostics::warning() << "no printer settings to open: none of system-config-printer, "
                              "gnome-control-center, kcmshell6, kcmshell5 and xdg-open is on PATH";
  }
}

void DbusNotifier::openPrintQueue(const std::string& queue) {
  const QString name = QString::fromStdString(queue);
  const QString settings = QStandardPaths::findExecutable(QStringLiteral("system-config-printer"));
  if (!settings.isEmpty() &&
      QProcess::startDetached(settings, {QStringLiteral("--show-jobs"), name})) {
    return;
  }
  const QString browser = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  const QString page = QStringLiteral("http://localhost:631/printers/") +
                       QString::fromLatin1(QUrl::toPercentEncoding(name));
  if (!browser.isEmpty() && QProcess::startDetached(browser, {page})) {
    return;
  }
  Diagnostics::warning() << "cannot open the print queue " << queue
                         << ": neither system-config-printer nor xdg-open could be started";
}
