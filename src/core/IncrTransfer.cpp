#include "core/IncrTransfer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/FreshBuffer.h"

namespace {

// Large enough to be backed by huge pages (see FreshBuffer), where faulting in a large text page
// by page would cost more than the transfer; small enough that the digest of the last block,
// taken after the text is in, is quick. The first block grows like any string, so that the
// small texts of everyday copying cost no more than they are long.
constexpr std::size_t kBlock = std::size_t{8} << 20;

}  // namespace

// Digests the full blocks in order on a thread of its own, started with the first full block:
// a small text never starts one.
class IncrTransfer::Digester {
 public:
  Digester() : thread_([this] { run(); }) {}
  ~Digester() {
    {
      const std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  Digester(const Digester&) = delete;
  Digester& operator=(const Digester&) = delete;

  void add(std::string_view block) {
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(block);
    }
    wake_.notify_one();
  }

  // Digests the last piece here, once the thread has done the rest.
  std::string finish(std::string_view last) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return queue_.empty() && !busy_; });
    md5_.add(last);
    return md5_.hex();
  }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopped_ || !queue_.empty(); });
      if (stopped_) return;
      const std::string_view block = queue_.front();
      queue_.erase(queue_.begin());
      busy_ = true;
      lock.unlock();
      md5_.add(block);
      lock.lock();
      busy_ = false;
      if (queue_.empty()) done_.notify_all();
    }
  }

  Crypto::Md5Stream md5_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<std::string_view> queue_;
  bool busy_ = false;
  bool stopped_ = false;
  std::thread thread_;  // last: it starts once everything above is in place
};

IncrTransfer::IncrTransfer(std::size_t limit) : limit_(limit) {}

IncrTransfer::~IncrTransfer() { stopDigesting(); }

void IncrTransfer::stopDigesting() {
  // Joins the thread before the blocks it reads can go.
  digester_.reset();
}

std::string& IncrTransfer::blockWithRoom() {
  if (blocks_.empty()) return blocks_.emplace_back();
  if (blocks_.back().size() == kBlock) {
    blockFilled();
    FreshBuffer::reserve(blocks_.emplace_back(), kBlock);
  }
  return blocks_.back();
}

void IncrTransfer::blockFilled() {
  if (!digester_) digester_ = std::make_unique<Digester>();
  digester_->add(blocks_.back());
}

IncrTransfer::State IncrTransfer::add(std::string_view piece, Encoding encoding) {
  if (state_ != State::Receiving) return state_;
  if (piece.empty()) {
    const std::string_view last = blocks_.empty() ? std::string_view() : blocks_.back();
    if (digester_) {
      digest_ = digester_->finish(last);
    } else {
      Crypto::Md5Stream md5;
      md5.add(last);
      digest_ = md5.hex();
    }
    if (blocks_.size() == 1) {
      text_ = std::move(blocks_.front());
    } else if (!blocks_.empty()) {
      // One copy into a buffer of the final size, made while the digest may still be running.
      FreshBuffer::reserve(text_, size_);
      for (const std::string& block : blocks_) text_.append(block);
    }
    stopDigesting();
    blocks_.clear();
    state_ = State::Complete;
    return state_;
  }
  // Every byte from 0x80 up takes two in UTF-8.
  const std::size_t size =
      encoding == Encoding::Utf8
          ? piece.size()
          : piece.size() + static_cast<std::size_t>(std::count_if(piece.begin(), piece.end(),
                                                                  [](char c) { return c & 0x80; }));
  if (size > limit_ - size_) return overLimit();
  size_ += size;
  if (encoding == Encoding::Utf8) {
    while (!piece.empty()) {
      std::string& block = blockWithRoom();
      const std::size_t length = std::min(piece.size(), kBlock - block.size());
      if (block.size() + length > block.capacity()) {
        // Only the first block grows; it stops at a block's size.
        block.reserve(std::min(kBlock, std::max(2 * block.capacity(), block.size() + length)));
      }
      block.append(piece.substr(0, length));
      piece.remove_prefix(length);
    }
  } else {
    for (const char c : piece) {
      const auto byte = static_cast<unsigned char>(c);
      // A character's two bytes may fall into two blocks: the digest and the join do not care.
      if (byte < 0x80) {
        blockWithRoom().push_back(c);
      } else {
        blockWithRoom().push_back(static_cast<char>(0xC0 | byte >> 6));
        blockWithRoom().push_back(static_cast<char>(0x80 | (byte & 0x3F)));
      }
    }
  }
  return state_;
}

IncrTransfer::State IncrTransfer::addWhole(std::string_view text, Encoding encoding) {
  add(text, encoding);
  return add({});
}

IncrTransfer::State IncrTransfer::overLimit() {
  if (state_ != State::Receiving) return state_;
  stopDigesting();
  std::deque<std::string>().swap(blocks_);
  state_ = State::OverLimit;
  return state_;
}
