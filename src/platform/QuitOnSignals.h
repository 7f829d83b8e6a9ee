#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// SIGTERM and SIGINT end the agent the way "Quit" does: the event loop returns and everything
// is torn down in order. A signal handler may only write to a pipe; the event loop reads it.
class QuitOnSignals {
 public:
  QuitOnSignals();
  ~QuitOnSignals();
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

 private:
  std::unique_ptr<QSocketNotifier> notifier_;
};
