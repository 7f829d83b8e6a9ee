#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/Crypto.h"

// A clipboard text gathered from the pieces another program hands over (X11's INCR transfer),
// digested as they arrive so that its digest is ready when the last piece is in. The buffer grows
// with what arrives, never with a size the other side announces, and stops at a limit.
class IncrTransfer {
 public:
  enum class State { Receiving, Complete, OverLimit };
  // How the pieces are written. Latin-1 becomes UTF-8 on the way, byte by byte, so a piece can be
  // converted on its own; the limit and the digest count the UTF-8 text.
  enum class Encoding { Utf8, Latin1 };

  explicit IncrTransfer(std::size_t limit) : limit_(limit) {}

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
  std::size_t limit_;
  State state_ = State::Receiving;
  std::string text_;
  Crypto::Md5Stream md5_;
  std::string digest_;
};
