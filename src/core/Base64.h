#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Base64 as the job payloads use it: decoding is lenient, every byte outside the alphabet
// (line breaks, "=", stray punctuation, bytes >= 128) is skipped wherever it stands.
namespace Base64 {

// Decodes n input bytes into out, which must have room for ((n + 3) / 4) * 3 bytes; returns bytes
// written.
std::size_t decode(const unsigned char* in, std::size_t n, unsigned char* out) noexcept;

// Decodes a payload field; the result may be empty.
std::string dataFromBase64String(std::string_view text);

// The bytes of a text that is standard Base64 and nothing else: the alphabet, "=" padding to a
// multiple of four, no line breaks. Nothing for any other text.
std::optional<std::string> strictlyDecoded(std::string_view text);

// Standard Base64 encoding with "=" padding, no line breaks.
std::string encode(std::string_view bytes);

// Lets the tests drive every instruction-set variant on whatever machine runs them; the product
// only calls decode(), which picks the best variant once.
namespace detail {
enum class Isa { Scalar, Ssse3, Avx2 };
bool isaSupported(Isa isa) noexcept;
// Same contract as decode(); isa must be supported.
std::size_t decodeWith(Isa isa, const unsigned char* in, std::size_t n,
                       unsigned char* out) noexcept;
}  // namespace detail

}  // namespace Base64
