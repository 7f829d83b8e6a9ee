#include "platform/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QHashFunctions>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/Diagnostics.h"

namespace {

// A folder that only this user can enter, and that is no link to somewhere else.
bool isPrivateFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & 0077) == 0;
}

}  // namespace

QString SingleInstance::runtimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != 0) {
    return QString::fromLocal8Bit(runtime);
  }
  const std::string uid = std::to_string(::getuid());
  if (const std::string session = "/run/user/" + uid; isPrivateFolder(session)) {
    return QString::fromStdString(session);
  }
  const std::string own = "/tmp/zelbrin-client-" + uid;
  if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
    Diagnostics::error() << "cannot make " << own << ": " << std::strerror(errno);
  } else if (!isPrivateFolder(own)) {
    // Someone else's folder, or one others may write to: a lock there proves nothing.
    Diagnostics::warning() << own << " is not a private folder of this user; another agent on this "
                              "display may run beside this one";
  }
  return QString::fromStdString(own);
}

QString SingleInstance::displayName() {
  QString name;
  if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland != nullptr && *wayland != 0) {
    // A socket path may name it: its file name, and a short mark of the folder, keep the lock's
    // path within what a local socket takes.
    const QString display = QString::fromLocal8Bit(wayland);
    const qsizetype slash = display.lastIndexOf(QLatin1Char('/'));
    name = QStringLiteral("wayland-") + display.mid(slash + 1);
    if (slash >= 0) {
      name += QLatin1Char('-') + QString::number(qHash(display.left(slash)), 16);
    }
  } else if (const char* x11 = std::getenv("DISPLAY"); x11 != nullptr && *x11 != 0) {
    QString display = QString::fromLocal8Bit(x11);
    // ":0" and ":0.0" are one display; the screen number does not make another.
    const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = display.indexOf(QLatin1Char('.'), colon + 1);
    if (colon >= 0 && dot > colon) display.truncate(dot);
    name = QStringLiteral("x11") + display;
  } else {
    return QStringLiteral("none");
  }
  for (QChar& c : name) {
    if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.')) {
      c = QLatin1Char('_');
    }
  }
  return name;
}

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& display)
    : socketPath_(runtimeFolder + QStringLiteral("/zelbrin-client-") + display +
                  QStringLiteral(".socket")),
      lock_(runtimeFolder + QStringLiteral("/zelbrin-client-") + display +
            QStringLiteral(".lock")) {
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
    Diagnostics::warning() << "cannot listen on " << socketPath_.toStdString() << ": "
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
