#include "core/IncrTransfer.h"

#include <algorithm>

IncrTransfer::State IncrTransfer::add(std::string_view piece, Encoding encoding) {
  if (state_ != State::Receiving) return state_;
  if (piece.empty()) {
    digest_ = md5_.hex();
    state_ = State::Complete;
    return state_;
  }
  // Every byte from 0x80 up takes two in UTF-8.
  const std::size_t size =
      encoding == Encoding::Utf8
          ? piece.size()
          : piece.size() + static_cast<std::size_t>(std::count_if(piece.begin(), piece.end(),
                                                                  [](char c) { return c & 0x80; }));
  if (size > limit_ - text_.size()) return overLimit();
  const std::size_t start = text_.size();
  if (encoding == Encoding::Utf8) {
    text_.append(piece);
  } else {
    for (const char c : piece) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        text_.push_back(c);
      } else {
        text_.push_back(static_cast<char>(0xC0 | byte >> 6));
        text_.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
      }
    }
  }
  md5_.add(std::string_view(text_).substr(start));
  return state_;
}

IncrTransfer::State IncrTransfer::addWhole(std::string_view text, Encoding encoding) {
  add(text, encoding);
  return add({});
}

IncrTransfer::State IncrTransfer::overLimit() {
  if (state_ != State::Receiving) return state_;
  std::string().swap(text_);
  state_ = State::OverLimit;
  return state_;
}
