#include "core/UserText.h"

#include <algorithm>

std::string UserText::shown(const Translator& translate) const {
  std::string text = source;
  if (context != nullptr) {
    if (translate) text = translate(context, source.c_str());
    std::vector<std::string> filled;
    filled.reserve(arguments.size());
    for (const UserText& argument : arguments) filled.push_back(argument.shown(translate));
    text = filledIn(text, filled);
  }
  if (firstClause) text.resize(std::min(text.size(), text.find(": ")));
  return text;
}

std::string filledIn(const std::string& pattern, const std::vector<std::string>& arguments) {
  std::string text;
  text.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (pattern[i] == '%' && next >= '1' && next <= '9' &&
        static_cast<std::size_t>(next - '1') < arguments.size()) {
      text += arguments[static_cast<std::size_t>(next - '1')];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}
