#pragma once

#include <cups/cups.h>

#include <QObject>
#include <QThread>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/CupsHandles.h"

// The thread on which every request to CUPS runs, over one connection that it keeps. A caller
// that needs an answer waits while its own event loop goes on (the menu and the windows keep
// answering while CUPS hangs); the wait is bounded by the connection's own timeouts, and by a
// budget where the caller gives one.
class CupsWorker {
 public:
  // Hands a function to the waiting caller's thread, such as a progress report from a transfer.
  using Relay = std::function<void(std::function<void()>)>;
  using Work = std::function<void(http_t*, const Relay&)>;

  explicit CupsWorker(CupsServer server);
  ~CupsWorker();
  CupsWorker(const CupsWorker&) = delete;
  CupsWorker& operator=(const CupsWorker&) = delete;

  // Runs the work on the worker thread with the kept connection (null when CUPS cannot be
  // reached) and waits for it. Without a budget the caller waits until it is done; with one, it
  // gives up after it, and the work, still queued or running, must not touch the caller's data.
  template <typename T>
  std::optional<T> ask(std::function<T(http_t*, const Relay&)> work,
                       std::optional<std::chrono::milliseconds> budget) {
    auto result = std::make_shared<std::optional<T>>();
    const bool done = run([result, work = std::move(work)](
                              http_t* http, const Relay& relay) { *result = work(http, relay); },
                          budget);
    if (!done) return std::nullopt;
    return std::move(*result);
  }

  // Ends the thread once the work under way is done; the destructor does it too.
  void stop();

  // Runs the work on the worker thread later; nobody waits.
  void post(std::function<void(http_t*)> work);
  // Runs the function on the worker thread after the delay (for its periodic work).
  void postLater(std::chrono::milliseconds delay, std::function<void(http_t*)> work);

  // Worker thread only: the kept connection is dropped after a failed request, whose half-done
  // exchange would confuse the next one, and made again on the next request.
  void dropConnection();
  const CupsServer& server() const { return server_; }

 private:
  bool run(Work work, std::optional<std::chrono::milliseconds> budget);
  http_t* connection();

  const CupsServer server_;
  QThread thread_;
  QObject* context_;  // lives on thread_: what work is queued to
  CupsConnection http_;
};
