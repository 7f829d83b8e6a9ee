#include "core/Diagnostics.h"

#include <iostream>

namespace Diagnostics {

Line::~Line() {
  text_ << '\n';
  std::cerr << text_.str() << std::flush;
}

std::string clipped(std::string_view text) {
  if (text.size() <= kFieldLimit) return std::string(text);
  std::size_t end = kFieldLimit;
  // Back over the continuation bytes (10xxxxxx) of a character that would be split.
  for (int step = 0; step < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++step) {
    --end;
  }
  return std::string(text.substr(0, end)) + "\xE2\x80\xA6";  // "…"
}

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 40)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

void rejected(std::string_view keyword, std::string_view why) {
  say() << "ignoring a \"" << printable(keyword) << "\" job: " << why;
}

}  // namespace Diagnostics
