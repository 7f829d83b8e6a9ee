#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/Base64.h"
#include "core/Crypto.h"

namespace {

constexpr std::size_t kPayloadSize = std::size_t{64} << 20;

std::string randomBytes(std::size_t size) {
  std::mt19937_64 rng(42);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const std::uint64_t v = rng();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<char>(v >> (8 * k));
  }
  return bytes;
}

// 64 MiB of Base64 text, i.e. 48 MiB of decoded payload.
const std::string& cleanText() {
  static const std::string text = Base64::encode(randomBytes(kPayloadSize / 4 * 3));
  return text;
}

// About 64 MiB of Base64 text with a line break after every 76 characters.
const std::string& wrappedText() {
  static const std::string text = [] {
    const std::string clean = Base64::encode(randomBytes(kPayloadSize / 77 * 76 / 4 * 3));
    std::string wrapped;
    wrapped.reserve(clean.size() + clean.size() / 76 + 1);
    for (std::size_t i = 0; i < clean.size(); i += 76) {
      wrapped.append(clean, i, 76);
      wrapped += '\n';
    }
    return wrapped;
  }();
  return text;
}

// Printable text without NUL bytes, so the digest covers all of it.
const std::string& digestText() {
  static const std::string text = [] {
    std::string s = randomBytes(kPayloadSize);
    for (char& c : s) c = static_cast<char>('!' + static_cast<unsigned char>(c) % 90);
    return s;
  }();
  return text;
}

const std::string& aesPayload() {
  static const std::string payload = Crypto::aesCbcEncryptPayload(randomBytes(kPayloadSize - 32));
  return payload;
}

void decodeBenchmark(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::string bytes = Base64::dataFromBase64String(text);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Base64Decode(benchmark::State& state) { decodeBenchmark(state, cleanText()); }
BENCHMARK(BM_Base64Decode)->Unit(benchmark::kMillisecond);

void BM_Base64DecodeWrapped(benchmark::State& state) { decodeBenchmark(state, wrappedText()); }
BENCHMARK(BM_Base64DecodeWrapped)->Unit(benchmark::kMillisecond);

// The decoder alone, into a buffer that is already mapped: separates its own speed from the cost
// of allocating and zero-filling a fresh result string.
void BM_Base64DecodeIntoBuffer(benchmark::State& state) {
  const std::string& text = cleanText();
  std::vector<unsigned char> out((text.size() + 3) / 4 * 3);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Base64::decode(reinterpret_cast<const unsigned char*>(text.data()),
                                            text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Base64DecodeIntoBuffer)->Unit(benchmark::kMillisecond);

void BM_Md5(benchmark::State& state) {
  const std::string& text = digestText();
  for (auto _ : state) benchmark::DoNotOptimize(Crypto::md5Hex(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Md5)->Unit(benchmark::kMillisecond);

void BM_Md5OpenSslReference(benchmark::State& state) {
  const std::string& text = digestText();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  for (auto _ : state) {
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Md5OpenSslReference)->Unit(benchmark::kMillisecond);

void BM_AesDecrypt(benchmark::State& state) {
  const std::string& payload = aesPayload();
  for (auto _ : state) {
    auto plain = Crypto::aesCbcDecrypt(payload);
    benchmark::DoNotOptimize(plain);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.size()));
}
BENCHMARK(BM_AesDecrypt)->Unit(benchmark::kMillisecond);

}  // namespace
