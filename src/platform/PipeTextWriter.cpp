#include "platform/PipeTextWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <csignal>

#include "core/Diagnostics.h"

namespace {

// Writes without the process being ended when the reader has gone away: SIGPIPE is held back
// for the call, and one that the call raised is taken off again.
ssize_t writeWithoutSigpipe(int fd, const char* data, std::size_t size) {
  sigset_t pipeSignal;
  sigset_t before;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
  sigset_t pending;
  sigpending(&pending);
  const bool alreadyPending = sigismember(&pending, SIGPIPE) == 1;
  const ssize_t written = ::write(fd, data, size);
  const int error = errno;
  if (written < 0 && error == EPIPE && !alreadyPending) {
    const timespec noWait{};
    sigtimedwait(&pipeSignal, nullptr, &noWait);
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  errno = error;
  return written;
}

}  // namespace

void PipeTextWriter::start(QObject* parent, int fd, std::shared_ptr<const std::string> text) {
  // Owned by `parent` until it deletes itself.
  (new PipeTextWriter(parent, fd, std::move(text)))->writeAvailable();
}

PipeTextWriter::PipeTextWriter(QObject* parent, int fd, std::shared_ptr<const std::string> text)
    : QObject(parent),
      fd_(fd),
      text_(std::move(text)),
      notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write)) {
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  notifier_->setEnabled(false);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { writeAvailable(); });
  patience_.setSingleShot(true);
  patience_.setInterval(kPatience);
  connect(&patience_, &QTimer::timeout, this, [this] {
    Diagnostics::warning() << "a program that asked for our clipboard text took none of it for "
                       << kPatience.count() / 1000 << " s; given up";
    finish();
  });
}

PipeTextWriter::~PipeTextWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void PipeTextWriter::writeAvailable() {
  while (written_ < text_->size()) {
    // Pieces no larger than a pipe holds keep each call short.
    const std::size_t size = std::min<std::size_t>(text_->size() - written_, 65536);
    const ssize_t done = writeWithoutSigpipe(fd_, text_->data() + written_, size);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && errno == EAGAIN) {
      notifier_->setEnabled(true);
      if (!patience_.isActive()) patience_.start();
      return;
    }
    if (done < 0) break;  // the reader has gone
    written_ += static_cast<std::size_t>(done);
    patience_.stop();
  }
  finish();
}

void PipeTextWriter::finish() {
  notifier_->setEnabled(false);
  patience_.stop();
  ::close(fd_);
  fd_ = -1;
  deleteLater();
}
