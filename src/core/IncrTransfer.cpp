#include "core/IncrTransfer.h"

IncrTransfer::State IncrTransfer::add(std::string_view piece) {
  if (state_ != State::Receiving) return state_;
  if (piece.empty()) {
    digest_ = md5_.hex();
    state_ = State::Complete;
    return state_;
  }
  if (piece.size() > limit_ - text_.size()) {
    std::string().swap(text_);
    state_ = State::OverLimit;
    return state_;
  }
  text_.append(piece);
  md5_.add(piece);
  return state_;
}

IncrTransfer::State IncrTransfer::addWhole(std::string_view text) {
  add(text);
  return add({});
}
