#include "core/Diagnostics.h"

#include <iostream>

namespace Diagnostics {

Line::~Line() {
  text_ << '\n';
  std::cerr << text_.str() << std::flush;
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
