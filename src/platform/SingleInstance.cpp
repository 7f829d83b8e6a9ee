#include "platform/SingleInstance.h"

#include <QLocalSocket>

#include "core/Diagnostics.h"

SingleInstance::SingleInstance(const QString& runtimeFolder)
    : socketPath_(runtimeFolder + QStringLiteral("/zelbrin-client.socket")),
      lock_(runtimeFolder + QStringLiteral("/zelbrin-client.lock")) {
  lock_.setStaleLockTime(0);  // a lock is stale only when its holder has gone
}

bool SingleInstance::claim(Request request) {
  if (!lock_.tryLock(0)) {
    QString host;
    QString application;
    lock_.getLockInfo(&otherPid_, &host, &application);
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(2000)) {
      socket.write(request == Request::Restart ? "restart\n" : "show\n");
      socket.waitForBytesWritten(2000);
      socket.disconnectFromServer();
    }
    return false;
  }
  // A socket file left by a crashed agent would block listening.
  QLocalServer::removeServer(socketPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(socketPath_)) {
    Diagnostics::say() << "cannot listen on " << socketPath_.toStdString() << ": "
                       << server_.errorString().toStdString()
                       << "; a second start will not bring this one up";
  }
  QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        const bool restart = socket->readAll().startsWith("restart");
        if (asked_) asked_(restart ? Request::Restart : Request::Show);
      });
    }
  });
  return true;
}
