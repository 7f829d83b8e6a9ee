#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "intake/Base64.h"

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
      out.push_back(static_cast<char>(acc >> 16));
      out.push_back(static_cast<char>(acc >> 8));
      out.push_back(static_cast<char>(acc));
      acc = 0;
      pending = 0;
    }
  }
  if (pending == 3) {
    out.push_back(static_cast<char>(acc >> 10));
    out.push_back(static_cast<char>(acc >> 2));
  } else if (pending == 2) {
    out.push_back(static_cast<char>(acc >> 4));
  }
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
  constexpr std::size_t kGuard = 64;
  std::vector<unsigned char> output(capacity + kGuard, 0xA5);
  const std::size_t written =
      Base64::detail::decodeWith(isa, input.data() + misalign, text.size(), output.data());
  EXPECT_LE(written, capacity);
  for (std::size_t i = capacity; i < output.size(); ++i) {
    if (output[i] != 0xA5) {
      ADD_FAILURE() << "write past the output buffer at +" << (i - capacity);
      break;
    }
  }
  return {output.begin(), output.begin() + static_cast<std::ptrdiff_t>(written)};
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
      const char ch = static_cast<char>(b);
      if (kAlphabet.find(ch) != std::string_view::npos) continue;
      std::string text = clean;
      text.insert(text.size() / 2 + 1, 3, ch);
      EXPECT_EQ(decodeChecked(isa, text, 0), expected) << "byte " << b;
    }
  }
}

TEST(Base64Decode, EveryVariantMatchesReferenceOnRandomInput) {
  std::mt19937 rng(20240613);
  for (Isa isa : supportedIsas()) {
    for (std::size_t length = 0; length <= 300; ++length) {
      for (int round = 0; round < 8; ++round) {
        const std::string text = randomText(rng, length);
        const std::size_t misalign = std::uniform_int_distribution<std::size_t>(0, 31)(rng);
        ASSERT_EQ(decodeChecked(isa, text, misalign), referenceDecode(text))
            << "isa " << static_cast<int>(isa) << ", length " << length;
      }
    }
  }
}

TEST(Base64Decode, EveryVariantMatchesReferenceAroundChunkBoundaries) {
  // A single noise byte placed at each offset of a clean run, so groups straddle it everywhere.
  for (Isa isa : supportedIsas()) {
    for (std::size_t length = 60; length <= 72; ++length) {
      std::string clean;
      for (std::size_t i = 0; i < length; ++i) clean += kAlphabet[(i * 7 + length) % 64];
      for (std::size_t at = 0; at <= length; ++at) {
        for (const char noise : {'=', '\n', '\x90', '\0'}) {
          std::string text = clean;
          text.insert(at, 1, noise);
          ASSERT_EQ(decodeChecked(isa, text, at % 16), referenceDecode(text))
              << "length " << length << ", noise at " << at;
        }
      }
    }
  }
}

TEST(Base64Decode, EveryVariantMatchesReferenceOnLargeInputs) {
  std::mt19937 rng(7);
  std::string bytes(300000, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  const std::string clean = Base64::encode(bytes);
  std::string wrapped;
  for (std::size_t i = 0; i < clean.size(); i += 76) wrapped += clean.substr(i, 76) + "\r\n";
  std::string sparse = clean;
  for (int i = 0; i < 200; ++i) {
    sparse[std::uniform_int_distribution<std::size_t>(0, sparse.size() - 1)(rng)] = '*';
  }
  for (Isa isa : supportedIsas()) {
    EXPECT_EQ(decodeChecked(isa, clean, 0), bytes);
    EXPECT_EQ(decodeChecked(isa, wrapped, 3), bytes);
    EXPECT_EQ(decodeChecked(isa, sparse, 5), referenceDecode(sparse));
  }
}

TEST(Base64Decode, PayloadsOfSeveralMebibytesSurviveTheLargeBufferPath) {
  std::mt19937 rng(3);
  std::string bytes(std::size_t{6} << 20, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  EXPECT_EQ(Base64::dataFromBase64String(Base64::encode(bytes)), bytes);
}

TEST(Base64Encode, KnownVectorsAndRoundTrips) {
  EXPECT_EQ(Base64::encode(""), "");
  EXPECT_EQ(Base64::encode("f"), "Zg==");
  EXPECT_EQ(Base64::encode("fo"), "Zm8=");
  EXPECT_EQ(Base64::encode("foo"), "Zm9v");
  EXPECT_EQ(Base64::encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(Base64::encode(std::string_view("\xff\xfe\x00", 3)), "//4A");

  std::mt19937 rng(11);
  for (std::size_t length = 0; length < 200; ++length) {
    std::string bytes(length, '\0');
    for (char& b : bytes) b = static_cast<char>(rng());
    const std::string text = Base64::encode(bytes);
    EXPECT_EQ(text.size() % 4, 0u);
    EXPECT_EQ(Base64::dataFromBase64String(text), bytes) << "length " << length;
  }
}

}  // namespace
