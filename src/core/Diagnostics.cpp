#include "core/Diagnostics.h"

#include <iostream>

namespace Diagnostics {

void say(std::string_view text) { std::cerr << "zelbrin-client: " << text << '\n'; }

void line(std::string_view text) { std::cerr << text << '\n'; }

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 40)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

void rejected(std::string_view keyword, std::string_view why) {
  say("ignoring a \"" + printable(keyword) + "\" job: " + std::string(why));
}

}  // namespace Diagnostics
