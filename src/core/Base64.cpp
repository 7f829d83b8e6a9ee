#include "core/Base64.h"

#include <array>
#include <cstdint>

#include "core/FreshBuffer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZELBRIN_BASE64_X86 1
#else
#define ZELBRIN_BASE64_X86 0
#endif

namespace Base64 {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Marker for bytes the decoder skips; bit 6 is set, which no 6-bit value has.
constexpr unsigned char kSkip = 65;

constexpr std::array<unsigned char, 256> makeDecodeTable() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = kSkip;
  for (unsigned char v = 0; v < 64; ++v) table[static_cast<unsigned char>(kAlphabet[v])] = v;
  return table;
}

constexpr std::array<unsigned char, 256> kDecodeTable = makeDecodeTable();

// Decodes whole runs of alphabet characters while no values are pending. Advances in and out past
// what it decoded and stops at the first chunk holding a byte that needs the careful path.
using BulkFn = void (*)(const unsigned char*& in, const unsigned char* inEnd, unsigned char*& out,
                        const unsigned char* outEnd) noexcept;

#if ZELBRIN_BASE64_X86

// Turns 16 characters into 6-bit values; returns one bit per alphabet character. Signed compares
// put bytes >= 0x80 below every range, so they come out invalid without a separate test.
__attribute__((target("ssse3"), always_inline)) inline unsigned translate16(__m128i s,
                                                                            __m128i& values) {
  const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(s, _mm_set1_epi8('A' - 1)),
                                      _mm_cmplt_epi8(s, _mm_set1_epi8('Z' + 1)));
  const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(s, _mm_set1_epi8('a' - 1)),
                                      _mm_cmplt_epi8(s, _mm_set1_epi8('z' + 1)));
  const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(s, _mm_set1_epi8('0' - 1)),
                                      _mm_cmplt_epi8(s, _mm_set1_epi8('9' + 1)));
  const __m128i plus = _mm_cmpeq_epi8(s, _mm_set1_epi8('+'));
  const __m128i slash = _mm_cmpeq_epi8(s, _mm_set1_epi8('/'));
  __m128i offset = _mm_and_si128(upper, _mm_set1_epi8(-'A'));
  offset = _mm_or_si128(offset, _mm_and_si128(lower, _mm_set1_epi8(26 - 'a')));
  offset = _mm_or_si128(offset, _mm_and_si128(digit, _mm_set1_epi8(52 - '0')));
  offset = _mm_or_si128(offset, _mm_and_si128(plus, _mm_set1_epi8(62 - '+')));
  offset = _mm_or_si128(offset, _mm_and_si128(slash, _mm_set1_epi8(63 - '/')));
  const __m128i valid =
      _mm_or_si128(_mm_or_si128(_mm_or_si128(upper, lower), _mm_or_si128(digit, plus)), slash);
  values = _mm_add_epi8(s, offset);
  return static_cast<unsigned>(_mm_movemask_epi8(valid));
}

// Packs four 6-bit values per 32-bit lane into three bytes, 12 bytes at the front of the result.
__attribute__((target("ssse3"), always_inline)) inline __m128i pack16(__m128i values) {
  const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
  const __m128i quads = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
  return _mm_shuffle_epi8(quads,
                          _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
}

// After a chunk that was not all alphabet: keeps its leading whole groups, and when those end
// right where the odd bytes start, steps over the odd bytes as well, since no values are pending
// there. Returns false when a group straddles the odd bytes; the careful path takes over.
__attribute__((always_inline)) inline bool settleChunk(unsigned valid, unsigned width,
                                                       const unsigned char*& in,
                                                       unsigned char*& out) {
  const auto run = static_cast<unsigned>(__builtin_ctz(~valid));
  const unsigned whole = run & ~3u;
  in += whole;
  out += std::size_t{whole} / 4 * 3;
  if (run != whole) return false;
  const unsigned rest = valid >> run;
  in += rest != 0 ? static_cast<unsigned>(__builtin_ctz(rest)) : width - run;
  return true;
}

// One 16-character step; returns false when the careful path must take over. The store writes
// 16 bytes, so the caller guarantees the room.
__attribute__((target("ssse3"), always_inline)) inline bool step16(const unsigned char*& in,
                                                                   unsigned char*& out) {
  __m128i values;
  const unsigned valid = translate16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), values);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), pack16(values));
  if (valid == 0xFFFFu) {
    in += 16;
    out += 12;
    return true;
  }
  return settleChunk(valid, 16, in, out);
}

__attribute__((target("ssse3"))) void bulkSsse3(const unsigned char*& inRef,
                                                const unsigned char* inEnd, unsigned char*& outRef,
                                                const unsigned char* outEnd) noexcept {
  const unsigned char* in = inRef;
  unsigned char* out = outRef;
  while (inEnd - in >= 16 && outEnd - out >= 16) {
    if (!step16(in, out)) break;
  }
  inRef = in;
  outRef = out;
}

__attribute__((target("avx2"), always_inline)) inline unsigned translate32(__m256i s,
                                                                           __m256i& values) {
  const __m256i upper = _mm256_andnot_si256(_mm256_cmpgt_epi8(s, _mm256_set1_epi8('Z')),
                                            _mm256_cmpgt_epi8(s, _mm256_set1_epi8('A' - 1)));
  const __m256i lower = _mm256_andnot_si256(_mm256_cmpgt_epi8(s, _mm256_set1_epi8('z')),
                                            _mm256_cmpgt_epi8(s, _mm256_set1_epi8('a' - 1)));
  const __m256i digit = _mm256_andnot_si256(_mm256_cmpgt_epi8(s, _mm256_set1_epi8('9')),
                                            _mm256_cmpgt_epi8(s, _mm256_set1_epi8('0' - 1)));
  const __m256i plus = _mm256_cmpeq_epi8(s, _mm256_set1_epi8('+'));
  const __m256i slash = _mm256_cmpeq_epi8(s, _mm256_set1_epi8('/'));
  __m256i offset = _mm256_and_si256(upper, _mm256_set1_epi8(-'A'));
  offset = _mm256_or_si256(offset, _mm256_and_si256(lower, _mm256_set1_epi8(26 - 'a')));
  offset = _mm256_or_si256(offset, _mm256_and_si256(digit, _mm256_set1_epi8(52 - '0')));
  offset = _mm256_or_si256(offset, _mm256_and_si256(plus, _mm256_set1_epi8(62 - '+')));
  offset = _mm256_or_si256(offset, _mm256_and_si256(slash, _mm256_set1_epi8(63 - '/')));
  const __m256i valid = _mm256_or_si256(
      _mm256_or_si256(_mm256_or_si256(upper, lower), _mm256_or_si256(digit, plus)), slash);
  values = _mm256_add_epi8(s, offset);
  return static_cast<unsigned>(_mm256_movemask_epi8(valid));
}

// 24 bytes at the front of the result: 12 per lane, then the lanes are joined.
__attribute__((target("avx2"), always_inline)) inline __m256i pack32(__m256i values) {
  const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
  const __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
  const __m256i lanes = _mm256_shuffle_epi8(
      quads, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5,
                              4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
  return _mm256_permutevar8x32_epi32(lanes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

__attribute__((target("avx2"), always_inline)) inline bool step32(const unsigned char*& in,
                                                                  unsigned char*& out) {
  __m256i values;
  const unsigned valid =
      translate32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), values);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), pack32(values));
  if (valid == 0xFFFFFFFFu) {
    in += 32;
    out += 24;
    return true;
  }
  return settleChunk(valid, 32, in, out);
}

__attribute__((target("avx2"))) void bulkAvx2(const unsigned char*& inRef,
                                              const unsigned char* inEnd, unsigned char*& outRef,
                                              const unsigned char* outEnd) noexcept {
  const unsigned char* in = inRef;
  unsigned char* out = outRef;
  bool handedOver = false;
  // Two steps per round halve the loop overhead; the room checks cover both stores.
  while (inEnd - in >= 64 && outEnd - out >= 56) {
    if (!step32(in, out) || !step32(in, out)) {
      handedOver = true;
      break;
    }
  }
  while (!handedOver && inEnd - in >= 32 && outEnd - out >= 32) {
    handedOver = !step32(in, out);
  }
  if (!handedOver) {
    // Near the end of the buffer the narrower store still fits where the wide one does not.
    while (inEnd - in >= 16 && outEnd - out >= 16) {
      if (!step16(in, out)) break;
    }
  }
  inRef = in;
  outRef = out;
}

#endif  // ZELBRIN_BASE64_X86

std::size_t decodeWithBulk(BulkFn bulk, const unsigned char* in, std::size_t n,
                           unsigned char* out) noexcept {
  if (n == 0) return 0;
  const unsigned char* const inEnd = in + n;
  unsigned char* const outStart = out;
  const unsigned char* const outEnd = out + (n + 3) / 4 * 3;
  const unsigned char* table = kDecodeTable.data();

  while (in < inEnd) {
    // Every fast path below starts and ends on a group boundary.
    if (bulk != nullptr) bulk(in, inEnd, out, outEnd);

    while (inEnd - in >= 4) {
      const std::uint32_t a = table[in[0]];
      const std::uint32_t b = table[in[1]];
      const std::uint32_t c = table[in[2]];
      const std::uint32_t d = table[in[3]];
      if (((a | b | c | d) & 0x40u) != 0) break;
      const std::uint32_t v = a << 18 | b << 12 | c << 6 | d;
      out[0] = static_cast<unsigned char>(v >> 16);
      out[1] = static_cast<unsigned char>(v >> 8);
      out[2] = static_cast<unsigned char>(v);
      out += 3;
      in += 4;
    }

    while (in < inEnd && table[*in] == kSkip) ++in;

    // Byte by byte until one group is complete, skipping whatever is not alphabet.
    std::uint32_t acc = 0;
    int pending = 0;
    while (in < inEnd) {
      const std::uint32_t v = table[*in++];
      if (v == kSkip) continue;
      acc = acc << 6 | v;
      if (++pending == 4) break;
    }
    switch (pending) {
      case 4:
        out[0] = static_cast<unsigned char>(acc >> 16);
        out[1] = static_cast<unsigned char>(acc >> 8);
        out[2] = static_cast<unsigned char>(acc);
        out += 3;
        break;
      case 3:
        out[0] = static_cast<unsigned char>(acc >> 10);
        out[1] = static_cast<unsigned char>(acc >> 2);
        out += 2;
        break;
      case 2:
        out[0] = static_cast<unsigned char>(acc >> 4);
        out += 1;
        break;
      default:
        break;
    }
  }
  return static_cast<std::size_t>(out - outStart);
}

BulkFn bulkFor(detail::Isa isa) noexcept {
#if ZELBRIN_BASE64_X86
  switch (isa) {
    case detail::Isa::Avx2:
      return &bulkAvx2;
    case detail::Isa::Ssse3:
      return &bulkSsse3;
    case detail::Isa::Scalar:
      break;
  }
#else
  (void)isa;
#endif
  return nullptr;
}

BulkFn bestBulk() noexcept {
  static const BulkFn best = [] {
#if ZELBRIN_BASE64_X86
    if (detail::isaSupported(detail::Isa::Avx2)) return bulkFor(detail::Isa::Avx2);
    if (detail::isaSupported(detail::Isa::Ssse3)) return bulkFor(detail::Isa::Ssse3);
#endif
    return bulkFor(detail::Isa::Scalar);
  }();
  return best;
}

}  // namespace

namespace detail {

bool isaSupported(Isa isa) noexcept {
  switch (isa) {
    case Isa::Scalar:
      return true;
#if ZELBRIN_BASE64_X86
    case Isa::Ssse3:
      __builtin_cpu_init();
      return __builtin_cpu_supports("ssse3");
    case Isa::Avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
#else
    default:
      return false;
#endif
  }
  return false;
}

std::size_t decodeWith(Isa isa, const unsigned char* in, std::size_t n,
                       unsigned char* out) noexcept {
  return decodeWithBulk(bulkFor(isa), in, n, out);
}

}  // namespace detail

std::size_t decode(const unsigned char* in, std::size_t n, unsigned char* out) noexcept {
  return decodeWithBulk(bestBulk(), in, n, out);
}

std::string dataFromBase64String(std::string_view text) {
  std::string bytes;
  if (text.empty()) return bytes;
  const std::size_t capacity = (text.size() + 3) / 4 * 3;
  FreshBuffer::reserve(bytes, capacity);
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
#if defined(__cpp_lib_string_resize_and_overwrite)
  bytes.resize_and_overwrite(capacity, [&](char* out, std::size_t) noexcept {
    return decode(in, text.size(), reinterpret_cast<unsigned char*>(out));
  });
#else
  bytes.resize(capacity);
  bytes.resize(decode(in, text.size(), reinterpret_cast<unsigned char*>(bytes.data())));
#endif
  return bytes;
}

std::optional<std::string> strictlyDecoded(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
    ++padding;
  }
  for (const char c : text.substr(0, text.size() - padding)) {
    const bool inAlphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '+' || c == '/';
    if (!inAlphabet) return std::nullopt;
  }
  return dataFromBase64String(text);
}

std::string encode(std::string_view bytes) {
  std::string text;
  text.resize((bytes.size() + 2) / 3 * 4);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  char* out = text.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = std::uint32_t{in[i]} << 16 | std::uint32_t{in[i + 1]} << 8 | in[i + 2];
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = kAlphabet[(v >> 6) & 63];
    *out++ = kAlphabet[v & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest != 0) {
    std::uint32_t v = std::uint32_t{in[i]} << 16;
    if (rest == 2) v |= std::uint32_t{in[i + 1]} << 8;
    *out++ = kAlphabet[v >> 18];
    *out++ = kAlphabet[(v >> 12) & 63];
    *out++ = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *out++ = '=';
  }
  return text;
}

}  // namespace Base64
