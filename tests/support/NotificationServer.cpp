#include "support/NotificationServer.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
}  // namespace

NotificationServer::NotificationServer() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  registered_ = bus.registerVirtualObject(kPath, this) && bus.registerService(kService);
}

NotificationServer::~NotificationServer() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.unregisterService(kService);
  bus.unregisterObject(kPath);
}

void NotificationServer::invoke(uint id, const QString& action) const {
  QDBusMessage signal =
      QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
  signal << id << action;
  QDBusConnection::sessionBus().send(signal);
}

QString NotificationServer::introspect(const QString& /*path*/) const { return {}; }

bool NotificationServer::handleMessage(const QDBusMessage& message,
                                       const QDBusConnection& connection) {
  const QVariantList in = message.arguments();
  if (message.member() != QLatin1String("Notify") || in.size() != 8) return false;
  Call call{
      .id = static_cast<uint>(calls_.size() + 1),
      .appName = in[0].toString(),
      .icon = in[2].toString(),
      .summary = in[3].toString(),
      .body = in[4].toString(),
      .actions = in[5].toStringList(),
      .hints = qdbus_cast<QVariantMap>(in[6].value<QDBusArgument>()),
      .timeout = in[7].toInt(),
  };
  calls_.push_back(call);
  connection.send(message.createReply(QVariant::fromValue(call.id)));
  return true;
}
