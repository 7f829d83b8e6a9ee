#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include "core/IncrTransfer.h"

class QSocketNotifier;

// Reads the text another program writes into a pipe, from the event loop and never waiting for
// the writer, into an IncrTransfer: digested while it arrives, and no further than the limit.
class PipeTextReader {
 public:
  // Takes over `fd`, the pipe's read end. `onDone` runs from the event loop once the writer has
  // closed its end, or the text has gone over `limit`; the pipe is closed by then, so a writer
  // that would go on without end is stopped. It must not destroy the reader.
  PipeTextReader(int fd, std::size_t limit, IncrTransfer::Encoding encoding,
                 std::function<void()> onDone);
  ~PipeTextReader();
  PipeTextReader(const PipeTextReader&) = delete;
  PipeTextReader& operator=(const PipeTextReader&) = delete;

  // Receiving until done; then Complete (the text and its digest are in) or OverLimit.
  IncrTransfer& transfer() { return transfer_; }

 private:
  void readAvailable();
  void close();

  int fd_;
  IncrTransfer transfer_;
  IncrTransfer::Encoding encoding_;
  std::function<void()> onDone_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
