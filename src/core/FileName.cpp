#include "core/FileName.h"

namespace FileName {

namespace {

// An extension longer than this is more likely part of the name ("Minutes 3.4.2024 of the
// board meeting"); cutting it off then loses less than cutting the name down to nothing.
constexpr std::size_t kLongestKeptExtension = 16;

// The length of the longest prefix of at most limit bytes that does not split a UTF-8 character.
std::size_t prefixLength(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t end = limit;
  for (int step = 0; step < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
       ++step) {
    --end;
  }
  return end;
}

}  // namespace

std::string_view lastComponent(std::string_view name) {
  name = name.substr(0, name.find('\0'));
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string plain(std::string_view name) {
  const std::string_view last = lastComponent(name);
  if (last.empty() || last == "." || last == "..") return "document";
  return shortened(last, kMaxBytes);
}

std::string shortened(std::string_view name, std::size_t maxBytes) {
  if (name.size() <= maxBytes) return std::string(name);
  const std::size_t dot = name.rfind('.');
  std::string_view extension;
  if (dot != std::string_view::npos && dot > 0 && name.size() - dot <= kLongestKeptExtension &&
      name.size() - dot < maxBytes / 2) {
    extension = name.substr(dot);
  }
  const std::string_view stem = name.substr(0, name.size() - extension.size());
  return std::string(stem.substr(0, prefixLength(stem, maxBytes - extension.size()))) +
         std::string(extension);
}

}  // namespace FileName
