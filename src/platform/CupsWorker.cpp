#include "platform/CupsWorker.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

// Shared by a waiting caller and the work it waits for; the caller may give up first.
struct Pending {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  QObject* waiter = nullptr;  // on the caller's thread, while it spins its event loop
  QEventLoop* loop = nullptr;
  bool callerBlocked = false;  // a caller without an event loop: relayed work runs here
};

}  // namespace

CupsWorker::CupsWorker(CupsServer server) : server_(std::move(server)), context_(new QObject) {
  thread_.setObjectName("cups");
  context_->moveToThread(&thread_);
  QObject::connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_.start();
  // libcups keeps the server, the user and the encryption per thread.
  post([this](http_t*) {
    cupsSetServer(server_.address().c_str());
    cupsSetUser(server_.user.c_str());
    cupsSetEncryption(server_.encryption);
  });
}

CupsWorker::~CupsWorker() { stop(); }

void CupsWorker::stop() {
  // The connection goes with this object, once the thread has ended.
  thread_.quit();
  thread_.wait();
}

http_t* CupsWorker::connection() {
  if (!http_) http_ = connectToScheduler(server_);
  return http_.get();
}

void CupsWorker::dropConnection() { http_.reset(); }

void CupsWorker::post(std::function<void(http_t*)> work) {
  QMetaObject::invokeMethod(
      context_, [this, work = std::move(work)] { work(connection()); }, Qt::QueuedConnection);
}

void CupsWorker::postLater(std::chrono::milliseconds delay, std::function<void(http_t*)> work) {
  QMetaObject::invokeMethod(
      context_,
      [this, delay, work = std::move(work)] {
        QTimer::singleShot(delay, context_, [this, work] { work(connection()); });
      },
      Qt::QueuedConnection);
}

bool CupsWorker::run(Work work, std::optional<std::chrono::milliseconds> budget) {
  if (QThread::currentThread() == &thread_) {
    work(connection(), [](const std::function<void()>& f) { f(); });
    return true;
  }
  auto pending = std::make_shared<Pending>();
  // Spin the caller's own event loop where one runs, so that it keeps answering. Before the
  // application's loop runs there is nothing to keep answering, and a quit (SIGTERM) taken in a
  // loop of ours would be lost: the caller simply waits.
  const bool spin = QCoreApplication::instance() != nullptr &&
                    QThread::currentThread()->eventDispatcher() != nullptr &&
                    QThread::currentThread()->loopLevel() > 0;
  std::optional<QObject> waiter;
  std::optional<QEventLoop> loop;
  if (spin) {
    pending->waiter = &waiter.emplace();
    pending->loop = &loop.emplace();
  } else {
    pending->callerBlocked = true;
  }

  QMetaObject::invokeMethod(
      context_,
      [this, pending, work = std::move(work)] {
        const Relay relay = [pending](std::function<void()> f) {
          const std::lock_guard lock(pending->mutex);
          if (pending->waiter != nullptr) {
            QMetaObject::invokeMethod(pending->waiter, std::move(f), Qt::QueuedConnection);
          } else if (pending->callerBlocked) {
            f();
          }
        };
        work(connection(), relay);
        const std::lock_guard lock(pending->mutex);
        pending->done = true;
        if (pending->loop != nullptr) {
          QMetaObject::invokeMethod(pending->loop, "quit", Qt::QueuedConnection);
        }
        pending->finished.notify_all();
      },
      Qt::QueuedConnection);

  const auto start = std::chrono::steady_clock::now();
  if (spin) {
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &*loop, &QEventLoop::quit);
    if (budget) deadline.start(*budget);
    for (;;) {
      {
        const std::lock_guard lock(pending->mutex);
        if (pending->done) break;
      }
      if (budget && !deadline.isActive()) break;
      // Once the application has been told to quit, no loop runs any more (exec returns at
      // once): the rest of the wait is a plain one.
      if (loop->exec() < 0) break;
    }
    const std::lock_guard lock(pending->mutex);
    pending->waiter = nullptr;
    pending->loop = nullptr;
    if (pending->done || (budget && !deadline.isActive())) return pending->done;
  }
  std::unique_lock lock(pending->mutex);
  pending->callerBlocked = true;
  if (budget) {
    const auto left = *budget - std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start);
    pending->finished.wait_for(lock, left, [&] { return pending->done; });
  } else {
    pending->finished.wait(lock, [&] { return pending->done; });
  }
  pending->callerBlocked = false;
  return pending->done;
}
