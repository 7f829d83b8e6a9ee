#include "core/Utf8.h"

#include <cstdint>
#include <cstring>

namespace Utf8 {

std::optional<std::pair<std::size_t, char32_t>> decode(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return std::make_pair(std::size_t{1}, char32_t{lead});
  std::size_t length;
  char32_t code;
  char32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07u, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (bytes.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  return std::make_pair(length, code);
}

bool isValid(std::string_view bytes) {
  while (!bytes.empty()) {
    // Runs of ASCII are the common case: skip them eight bytes at a time.
    std::uint64_t word;
    if (bytes.size() >= 8) {
      std::memcpy(&word, bytes.data(), 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        bytes.remove_prefix(8);
        continue;
      }
    }
    const auto decoded = decode(bytes);
    if (!decoded) return false;
    bytes.remove_prefix(decoded->first);
  }
  return true;
}

std::string withoutControls(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) continue;
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        ++i;
        continue;
      }
    }
    kept.push_back(text[i]);
  }
  return kept;
}

}  // namespace Utf8
