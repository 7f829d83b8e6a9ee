#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/Base64.h"

namespace {

using Base64::detail::Isa;

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The decoding rule in its plainest form; every fast path must agree with it byte for byte.
std::string referenceDecode(std::string_view text) {
  std::string out;
  std::uint32_t acc = 0;
  int pending = 0;
  for (const char ch : text) {
    const auto pos = kAlphabet.find(ch);
    if (pos == std::string_view::npos) continue;
    acc = acc << 6 | static_cast<std::uint32_t>(pos);
    if (++pending == 4) {
      out += {static_cast<char>(acc >> 16), static_cast<char>(acc >> 8), static_cast<char>(acc)};
      acc = 0;
      pending = 0;
    }
  }
  if (pending == 3) out += {static_cast<char>(acc >> 10), static_cast<char>(acc >> 2)};
  if (pending == 2) out += static_cast<char>(acc >> 4);
  return out;
}

std::vector<Isa> supportedIsas() {
  std::vector<Isa> isas;
  for (Isa isa : {Isa::Scalar, Isa::Ssse3, Isa::Avx2}) {
    if (Base64::detail::isaSupported(isa)) isas.push_back(isa);
  }
  return isas;
}

// Decodes through one variant with the input at the given misalignment and the output buffer
// exactly as large as promised, followed by a guard zone that must stay untouched.
std::string decodeChecked(Isa isa, std::string_view text, std::size_t misalign) {
  std::vector<unsigned char> input(misalign + text.size());
  std::copy(text.begin(), text.end(), input.begin() + static_cast<std::ptrdiff_t>(misalign));
  const std::size_t capacity = (text.size() + 3) / 4 * 3;
  std::vector<unsigned char> output(capacity + 64, 0xA5);
  const std::size_t written =
      Base64::detail::decodeWith(isa, input.data() + misalign, text.size(), output.data());
  EXPECT_LE(written, capacity);
  EXPECT_EQ(std::count(output.begin() + static_cast<std::ptrdiff_t>(capacity), output.end(), 0xA5),
            64)
      << "write past the output buffer";
  return {output.begin(), output.begin() + static_cast<std::ptrdiff_t>(written)};
}

std::string randomBytes(std::mt19937& rng, std::size_t length) {
  std::string bytes(length, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  return bytes;
}

// Mostly alphabet, with noise of every kind the decoder must skip; the density varies so that
// clean runs of all lengths meet chunk boundaries at every offset.
std::string randomText(std::mt19937& rng, std::size_t length) {
  static const std::vector<std::string> kNoise = {
      "=", "==", "\r\n", "\n", "!", "*", " ", std::string(1, '\0'), "\x80", "\xff", "\xc3\xa9"};
  const unsigned noisePercent = std::uniform_int_distribution<unsigned>(0, 40)(rng);
  std::string text;
  while (text.size() < length) {
    if (std::uniform_int_distribution<unsigned>(0, 99)(rng) < noisePercent) {
      text += kNoise[std::uniform_int_distribution<std::size_t>(0, kNoise.size() - 1)(rng)];
    } else {
      text += kAlphabet[std::uniform_int_distribution<std::size_t>(0, 63)(rng)];
    }
  }
  text.resize(length);
  return text;
}

TEST(Base64Decode, DocumentedExamples) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", ""},          {"QUJD", "ABC"},     {"QUI=", "AB"},
      {"QUI", "AB"},     {"QQ==", "A"},       {"Q", ""},
      {"QUJD\n", "ABC"}, {"QUJD=", "ABC"},    {"QU\r\nJD", "ABC"},
      {"QU=JD", "ABC"},  {"==QUJD==", "ABC"}, {"!*\n", ""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Base64::dataFromBase64String(text), expected) << "input: " << text;
  }
}

TEST(Base64Decode, EveryByteOutsideTheAlphabetIsSkippedByEveryVariant) {
  // Long enough on both sides of the odd byte for every chunk width to see it.
  const std::string clean = Base64::encode(std::string(96, '\x5b'));
  const std::string expected = Base64::dataFromBase64String(clean);
  for (Isa isa : supportedIsas()) {
    for (int b = 0; b < 256; ++b) {
      if (kAlphabet.find(static_cast<char>(b)) != std::string_view::npos) continue;
      std::string text = clean;
      text.insert(text.size() / 2 + 1, 3, static_cast<char>(b));
      EXPECT_EQ(decodeChecked(isa, text, 0), expected) << "byte " << b;
    }
  }
}

TEST(Base64Decode, EveryVariantMatchesReferenceOnSmallAndLargeInputs) {
  std::mt19937 rng(20240613);
  const std::string bytes = randomBytes(rng, 300000);
  const std::string clean = Base64::encode(bytes);
  std::string wrapped;
  for (std::size_t i = 0; i < clean.size(); i += 76) wrapped += clean.substr(i, 76) + "\r\n";
  std::string sparse = clean;
  for (int i = 0; i < 200; ++i) {
    sparse[std::uniform_int_distribution<std::size_t>(0, sparse.size() - 1)(rng)] = '*';
  }
  for (Isa isa : supportedIsas()) {
    for (std::size_t length = 0; length <= 300; ++length) {
      for (int round = 0; round < 8; ++round) {
        const std::string text = randomText(rng, length);
        const std::size_t misalign = std::uniform_int_distribution<std::size_t>(0, 31)(rng);
        ASSERT_EQ(decodeChecked(isa, text, misalign), referenceDecode(text))
            << "isa " << static_cast<int>(isa) << ", length " << length;
      }
    }
    EXPECT_EQ(decodeChecked(isa, clean, 0), bytes);
    EXPECT_EQ(decodeChecked(isa, wrapped, 3), bytes);
    EXPECT_EQ(decodeChecked(isa, sparse, 5), referenceDecode(sparse));
  }
  // Several mebibytes take the large-buffer path.
  const std::string huge = randomBytes(rng, std::size_t{6} << 20);
  EXPECT_EQ(Base64::dataFromBase64String(Base64::encode(huge)), huge);
}

TEST(Base64Encode, KnownVectorsAndRoundTrips) {
  const std::pair<std::string_view, std::string_view> vectors[] = {
      {"", ""},        {"f", "Zg=="},          {"fo", "Zm8="},
      {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {std::string_view("\xff\xfe\x00", 3), "//4A"},
  };
  for (const auto& [bytes, text] : vectors) EXPECT_EQ(Base64::encode(bytes), text);

  std::mt19937 rng(11);
  for (std::size_t length = 0; length < 200; ++length) {
    const std::string bytes = randomBytes(rng, length);
    const std::string text = Base64::encode(bytes);
    EXPECT_EQ(text.size() % 4, 0u);
    EXPECT_EQ(Base64::dataFromBase64String(text), bytes) << "length " << length;
  }
}

}  // namespace
