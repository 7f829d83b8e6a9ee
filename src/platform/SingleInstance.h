#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <functional>

// One agent per user session: a lock file in the session's runtime folder ($XDG_RUNTIME_DIR),
// and a local socket beside it on which a second start asks the first to show itself. A lock
// left by an agent that crashed is taken over (QLockFile checks that its holder still runs).
class SingleInstance {
 public:
  explicit SingleInstance(const QString& runtimeFolder);

  enum class Request { Show, Restart };

  // True when this is the session's only agent. Otherwise the running one has been handed the
  // request, and its pid is in otherPid().
  bool claim(Request request);
  qint64 otherPid() const { return otherPid_; }
  // What the running agent does when a second start asks.
  void onAsked(std::function<void(Request)> asked) { asked_ = std::move(asked); }

 private:
  QString socketPath_;
  QLockFile lock_;
  QLocalServer server_;
  std::function<void(Request)> asked_;
  qint64 otherPid_ = 0;
};
