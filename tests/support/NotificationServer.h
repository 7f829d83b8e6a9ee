#pragma once

#include <QDBusVirtualObject>
#include <QStringList>
#include <QVariantMap>
#include <vector>

// A desktop notification service on the tests' session bus: it takes the service name while it
// lives, answers every Notify with a new id and keeps what was asked, and sends ActionInvoked
// the way a click on a notice's button does.
class NotificationServer final : public QDBusVirtualObject {
 public:
  struct Call {
    uint id = 0;
    QString appName;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
  };

  NotificationServer();
  ~NotificationServer() override;
  // False when the service name could not be had.
  bool registered() const { return registered_; }
  const std::vector<Call>& calls() const { return calls_; }
  void invoke(uint id, const QString& action) const;

  QString introspect(const QString& path) const override;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

 private:
  bool registered_ = false;
  std::vector<Call> calls_;
};
