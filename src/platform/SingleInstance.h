#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <functional>

// One agent per user and display: a lock file in the session's runtime folder, and a local
// socket beside it on which a second start asks the first to show itself, both named after the
// display. A lock left by an agent that crashed is taken over (QLockFile checks that its holder
// still runs).
class SingleInstance {
 public:
  // `display` is a file-name-safe name of the display the agent serves.
  SingleInstance(const QString& runtimeFolder, const QString& display);

  // $XDG_RUNTIME_DIR; where it is unset, the user's own /run/user/UID, else a private folder of
  // the user's in /tmp (made 0700, refused unless it is the user's own folder). Never $TMPDIR,
  // which differs from one shell to the next: two agents must find the same lock.
  static QString runtimeFolder();
  // The display the agent serves ($WAYLAND_DISPLAY, else $DISPLAY without its screen number), as
  // a file name; "none" without either.
  static QString displayName();

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
