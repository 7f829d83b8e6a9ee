#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "core/Crypto.h"

// A clipboard text gathered from the pieces another program hands over (an X11 INCR transfer, a
// Wayland pipe), digested as they arrive so that its digest is ready when the last piece is in.
// The buffer grows with what arrives, never with a size the other side announces, and stops at a
// limit.
//
// A large text is gathered in fixed blocks that a second thread digests while more arrive: MD5
// runs at about 600 MB/s, so digesting a 60 MB text after it is in, or growing one buffer by
// copying, would cost the reader several times what the transfer itself takes.
class IncrTransfer {
 public:
  enum class State { Receiving, Complete, OverLimit };
  // How the pieces are written. Latin-1 becomes UTF-8 on the way, byte by byte, so a piece can be
  // converted on its own; the limit and the digest count the UTF-8 text.
  enum class Encoding { Utf8, Latin1 };

  explicit IncrTransfer(std::size_t limit);
  ~IncrTransfer();
  IncrTransfer(const IncrTransfer&) = delete;
  IncrTransfer& operator=(const IncrTransfer&) = delete;

  // Takes the next piece; an empty piece ends the transfer. Once complete or over the limit,
  // further pieces change nothing. Over the limit, what was gathered is freed at once.
  State add(std::string_view piece, Encoding encoding = Encoding::Utf8);
  // A text that came in one piece.
  State addWhole(std::string_view text, Encoding encoding = Encoding::Utf8);
  // Ends the transfer as over the limit, for a piece too large to be fetched at all.
  State overLimit();

  State state() const { return state_; }
  // Once complete: the text, and md5Hex of it.
  std::string takeText() { return std::move(text_); }
  const std::string& digest() const { return digest_; }

 private:
  class Digester;

  // Room in the block being filled, a new block when it is full.
  std::string& blockWithRoom();
  void blockFilled();
  void stopDigesting();

  std::size_t limit_;
  std::size_t size_ = 0;
  State state_ = State::Receiving;
  // Full blocks keep their place (a deque never moves its elements) while the digester reads them.
  std::deque<std::string> blocks_;
  std::unique_ptr<Digester> digester_;
  std::string text_;
  std::string digest_;
};
