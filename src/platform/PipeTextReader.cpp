#include "platform/PipeTextReader.h"

#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <vector>

namespace {

// A writer that keeps sending is read for at most this long in one go, so that the rest of the
// event loop gets its turn; the notifier brings us back for more.
constexpr std::chrono::milliseconds kBatch(10);

}  // namespace

PipeTextReader::PipeTextReader(int fd, std::size_t limit, IncrTransfer::Encoding encoding,
                               std::function<void()> onDone)
    : fd_(fd),
      transfer_(limit),
      encoding_(encoding),
      onDone_(std::move(onDone)),
      notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
}

PipeTextReader::~PipeTextReader() { close(); }

void PipeTextReader::close() {
  if (fd_ < 0) return;
  notifier_->setEnabled(false);
  ::close(fd_);
  fd_ = -1;
}

void PipeTextReader::readAvailable() {
  const auto until = std::chrono::steady_clock::now() + kBatch;
  // As much as the enlarged pipe holds, in one call.
  static thread_local std::vector<char> piece(std::size_t{1} << 20);
  while (transfer_.state() == IncrTransfer::State::Receiving) {
    const ssize_t size = ::read(fd_, piece.data(), piece.size());
    if (size < 0 && errno == EINTR) continue;
    if (size < 0 && errno == EAGAIN) return;
    if (size < 0) {
      // Nothing comes through a broken pipe any more; the text is not all there.
      transfer_.overLimit();
    } else {
      // An empty piece (the writer closed its end) completes the text.
      transfer_.add(std::string_view(piece.data(), static_cast<std::size_t>(size)), encoding_);
    }
    if (transfer_.state() == IncrTransfer::State::Receiving &&
        std::chrono::steady_clock::now() >= until) {
      return;
    }
  }
  close();
  if (onDone_) onDone_();
}
