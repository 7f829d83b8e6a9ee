#include "core/Crypto.h"

#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "core/FreshBuffer.h"

namespace Crypto {
namespace {

constexpr std::size_t kBlock = 16;

// EVP takes int lengths; payloads can in principle be larger, so long inputs go in slices.
constexpr std::size_t kSlice = std::size_t{1} << 30;

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;
using MdCtx = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

unsigned char* bytesOf(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

const unsigned char* bytesOf(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Feeds in through EVP_CipherUpdate slice by slice; returns bytes written or -1.
long long cipherUpdate(EVP_CIPHER_CTX* ctx, unsigned char* out, const unsigned char* in,
                       std::size_t n) {
  long long total = 0;
  while (n != 0) {
    const std::size_t slice = std::min(n, kSlice);
    int written = 0;
    if (EVP_CipherUpdate(ctx, out + total, &written, in, static_cast<int>(slice)) != 1) return -1;
    total += written;
    in += slice;
    n -= slice;
  }
  return total;
}

}  // namespace

std::optional<std::string> aesCbcDecrypt(std::string_view data) {
  if (data.size() < kBlock + 1) return std::nullopt;
  const std::string_view cipher = data.substr(0, data.size() - 1);
  // EVP would reject this only at the final step, after decrypting everything.
  if (cipher.size() % kBlock != 0) return std::nullopt;
  const std::size_t capacity = cipher.size() - kBlock;

  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, kAesKey.data(),
                                 kAesIv.data()) != 1) {
    return std::nullopt;
  }
  // EVP asks for one spare block beyond the input when it strips the padding.
  std::string plain;
  FreshBuffer::reserve(plain, cipher.size() + kBlock);
  plain.resize(cipher.size() + kBlock);
  const long long body = cipherUpdate(ctx.get(), bytesOf(plain), bytesOf(cipher), cipher.size());
  if (body < 0) return std::nullopt;
  int tail = 0;
  if (EVP_DecryptFinal_ex(ctx.get(), bytesOf(plain) + body, &tail) != 1) return std::nullopt;
  const std::size_t length = static_cast<std::size_t>(body) + static_cast<std::size_t>(tail);
  if (length > capacity) return std::nullopt;
  plain.resize(length);
  return plain;
}

std::string aesCbcEncryptPayload(std::string_view plaintext) {
  const std::size_t filled =
      plaintext.empty() ? kBlock : (plaintext.size() + kBlock - 1) / kBlock * kBlock;
  const std::size_t zeros = filled - plaintext.size();

  CipherCtx ctx(EVP_CIPHER_CTX_new());
  if (!ctx) throw std::bad_alloc();
  if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, kAesKey.data(), kAesIv.data()) !=
      1) {
    throw std::runtime_error("AES-128-CBC is not available");
  }
  std::string payload;
  // Padding adds a whole block because the filled plaintext is block-aligned; the final byte is
  // the one aesCbcDecrypt drops.
  payload.resize(filled + kBlock + 1);
  unsigned char* out = bytesOf(payload);
  const long long body = cipherUpdate(ctx.get(), out, bytesOf(plaintext), plaintext.size());
  const unsigned char zeroBlock[kBlock] = {};
  const long long fill = body < 0 ? -1 : cipherUpdate(ctx.get(), out + body, zeroBlock, zeros);
  int tail = 0;
  if (fill < 0 || EVP_EncryptFinal_ex(ctx.get(), out + body + fill, &tail) != 1) {
    throw std::runtime_error("AES-128-CBC encryption failed");
  }
  const auto length = static_cast<std::size_t>(body + fill + tail);
  payload.resize(length + 1);
  payload[length] = '\0';
  return payload;
}

namespace {

struct MdFree {
  void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};

// MD5 serves here as a duplicate test, not as security. A configuration whose default
// properties ask for FIPS algorithms hides it from a plain fetch; "-fips" lifts that wish for
// this one fetch.
const EVP_MD* md5Algorithm() {
  static const std::unique_ptr<EVP_MD, MdFree> md(EVP_MD_fetch(nullptr, "MD5", "-fips"));
  return md.get();
}

// Stands in for a digest that could not be computed: a text that equals no other, so that no
// two jobs are taken for the same one.
std::string uniqueNonDigest() {
  static std::atomic<unsigned long long> counter{0};
  return "no digest " + std::to_string(++counter);
}

}  // namespace

bool md5Available() { return md5Algorithm() != nullptr; }

struct Md5Stream::Context {
  MdCtx ctx{EVP_MD_CTX_new()};
  bool failed = false;
  bool ended = false;  // the first NUL was seen, or the digest taken
};

Md5Stream::Md5Stream() : context_(std::make_unique<Context>()) {
  context_->failed = !context_->ctx || md5Algorithm() == nullptr ||
                     EVP_DigestInit_ex(context_->ctx.get(), md5Algorithm(), nullptr) != 1;
}

Md5Stream::~Md5Stream() = default;

void Md5Stream::add(std::string_view piece) {
  Context& c = *context_;
  // The digest stops at the first NUL. Looking for it a slice at a time, just before that slice
  // is digested, reads a large text from memory once instead of twice.
  constexpr std::size_t kScan = 256 * 1024;
  for (std::size_t at = 0; at < piece.size() && !c.failed && !c.ended;) {
    std::string_view slice = piece.substr(at, kScan);
    if (const void* nul = std::memchr(slice.data(), 0, slice.size())) {
      slice =
          slice.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - slice.data()));
      c.ended = true;
    }
    c.failed = EVP_DigestUpdate(c.ctx.get(), slice.data(), slice.size()) != 1;
    at += slice.size();
  }
}

std::string Md5Stream::hex() {
  Context& c = *context_;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestLength = 0;
  c.ended = true;
  if (c.failed || EVP_DigestFinal_ex(c.ctx.get(), digest, &digestLength) != 1) {
    c.failed = true;
    return uniqueNonDigest();
  }
  c.failed = true;  // finalised: a second call gets no digest
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex(std::size_t{digestLength} * 2, '\0');
  for (std::size_t i = 0; i < digestLength; ++i) {
    hex[2 * i] = kHex[digest[i] >> 4];
    hex[2 * i + 1] = kHex[digest[i] & 0x0f];
  }
  return hex;
}

std::string md5Hex(std::string_view text) {
  Md5Stream stream;
  stream.add(text);
  return stream.hex();
}

}  // namespace Crypto
