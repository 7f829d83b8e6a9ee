// The reassembly of a clipboard text sent in pieces (X11's INCR transfer). The input is the
// limit (first two bytes) and then pieces, each a length byte followed by that many bytes; a
// zero length ends the transfer as an empty piece does.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Crypto.h"
#include "core/IncrTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t limit = std::size_t{data[0]} << 8 | data[1];
  IncrTransfer transfer(limit);
  std::string sent;  // everything handed over up to the end
  bool ended = false;
  for (std::size_t at = 2; at < size;) {
    const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
    const std::string piece(reinterpret_cast<const char*>(data + at + 1), length);
    at += 1 + length;
    const IncrTransfer::State before = transfer.state();
    const IncrTransfer::State after = transfer.add(piece);
    if (before != IncrTransfer::State::Receiving && after != before) std::abort();
    if (!ended) {
      if (piece.empty()) ended = true;
      sent += piece;
    }
  }
  switch (transfer.state()) {
    case IncrTransfer::State::Complete:
      if (!ended || sent.size() > limit || transfer.digest() != Crypto::md5Hex(sent) ||
          transfer.takeText() != sent) {
        std::abort();
      }
      break;
    case IncrTransfer::State::OverLimit:
      if (sent.size() <= limit || !transfer.takeText().empty()) std::abort();
      break;
    case IncrTransfer::State::Receiving:
      if (ended || sent.size() > limit) std::abort();
      break;
  }
  return 0;
}
