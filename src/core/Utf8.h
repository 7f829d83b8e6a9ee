#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// UTF-8 as job texts, document names and printer names arrive in it: from another machine, so
// nothing is assumed to be well-formed.
namespace Utf8 {

// The length and code point of the well-formed sequence at the start of bytes; nothing when the
// bytes there are not UTF-8 (overlong forms, surrogates and values past U+10FFFF included).
std::optional<std::pair<std::size_t, char32_t>> decode(std::string_view bytes);

// Whether all of the bytes are well-formed UTF-8.
bool isValid(std::string_view bytes);

// The text without control characters: C0, DEL, and C1 in their UTF-8 form (U+0080..U+009F).
std::string withoutControls(std::string_view text);

}  // namespace Utf8
