#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Cipher and digest of the job payloads, on top of OpenSSL's EVP interface.
namespace Crypto {

// Fixed AES-128 key and IV of the job payloads.
inline constexpr std::array<unsigned char, 16> kAesKey = {
    0x5f, 0x1c, 0x9a, 0x0e, 0x73, 0xb2, 0xd4, 0xc8, 0xa6, 0xe1, 0xf0, 0x3b, 0x9d, 0x27, 0xc4, 0xe8};
inline constexpr std::array<unsigned char, 16> kAesIv = {
    0xc3, 0xa7, 0xe5, 0x91, 0x0b, 0x4f, 0x6d, 0x28, 0xe9, 0x17, 0x2a, 0x5c, 0xb8, 0x0f, 0x3d, 0x64};

// Decrypts a decoded payload: its last byte is not part of the ciphertext, and the plaintext is
// accepted only when it fits in the ciphertext minus one block, which means the padding filled a
// whole block. Absent on any failure (too short, bad length, bad padding, does not fit).
std::optional<std::string> aesCbcDecrypt(std::string_view data);

// Composes a payload that aesCbcDecrypt accepts: the plaintext zero-filled to whole blocks (an
// empty one becomes one block of zeros), encrypted with PKCS#7 padding, and one zero byte
// appended. Throws std::bad_alloc or std::runtime_error if OpenSSL fails.
std::string aesCbcEncryptPayload(std::string_view plaintext);

// MD5 of the text up to its first NUL byte, as 32 lower-case hex characters. Where OpenSSL can
// offer no MD5 at all, a text that equals no other result, so that two jobs never look alike.
std::string md5Hex(std::string_view text);
// The same digest taken a piece at a time, as the text arrives: equal to md5Hex of the pieces
// joined, however they are cut.
class Md5Stream {
 public:
  Md5Stream();
  ~Md5Stream();
  Md5Stream(const Md5Stream&) = delete;
  Md5Stream& operator=(const Md5Stream&) = delete;
  void add(std::string_view piece);
  // Ends the digest; what is added afterwards does not count.
  std::string hex();

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

// Whether md5Hex computes real digests here.
bool md5Available();

}  // namespace Crypto
