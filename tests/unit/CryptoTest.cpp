#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/Crypto.h"
#include "intake/MD5HashCompare.h"

namespace {

// Plain AES-128-CBC with PKCS#7 under the payload key, written independently of the sender code.
std::string encryptWithPadding(std::string_view plain) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  std::string out(plain.size() + 32, '\0');
  int body = 0;
  int tail = 0;
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  EXPECT_EQ(EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, Crypto::kAesKey.data(),
                               Crypto::kAesIv.data()),
            1);
  EXPECT_EQ(
      EVP_EncryptUpdate(ctx.get(), o, &body, reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size())),
      1);
  EXPECT_EQ(EVP_EncryptFinal_ex(ctx.get(), o + body, &tail), 1);
  out.resize(static_cast<std::size_t>(body) + static_cast<std::size_t>(tail));
  return out;
}

// Decoded payloads carry one byte after the ciphertext; its value must not matter.
std::string withTrailer(const std::string& cipher) { return cipher + '\x5a'; }

TEST(AesCbcDecrypt, AcceptsOnlyPlaintextsWhosePaddingFilledAWholeBlock) {
  // Plain texts of whole blocks, the empty one included; 20 bytes leave a 12-byte padding.
  for (const std::string& plain :
       {std::string("0123456789abcdef"), std::string(), std::string(48, 'q')}) {
    EXPECT_EQ(Crypto::aesCbcDecrypt(withTrailer(encryptWithPadding(plain))), plain);
  }
  EXPECT_EQ(Crypto::aesCbcDecrypt(withTrailer(encryptWithPadding("0123456789abcdefWXYZ"))),
            std::nullopt);
}

TEST(AesCbcDecrypt, RejectsMalformedPayloads) {
  EXPECT_EQ(Crypto::aesCbcDecrypt(""), std::nullopt);
  EXPECT_EQ(Crypto::aesCbcDecrypt(std::string(16, 'x')), std::nullopt);

  const std::string good = withTrailer(encryptWithPadding("0123456789abcdef"));
  EXPECT_EQ(Crypto::aesCbcDecrypt(good.substr(0, 32)), std::nullopt) << "trailer missing";
  EXPECT_EQ(Crypto::aesCbcDecrypt(good + "abc"), std::nullopt) << "not whole blocks";

  std::string tampered = good;
  tampered[20] = static_cast<char>(tampered[20] ^ 0x01);  // corrupts the padding block
  EXPECT_EQ(Crypto::aesCbcDecrypt(tampered), std::nullopt);

  std::string garbage(65, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 37 + 11);
  EXPECT_EQ(Crypto::aesCbcDecrypt(garbage), std::nullopt);
}

TEST(AesCbcEncryptPayload, RoundTripsWithZeroFill) {
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string plain(length, '\0');
    for (std::size_t i = 0; i < length; ++i) plain[i] = static_cast<char>('A' + i % 26);
    const std::size_t filled = length == 0 ? 16 : (length + 15) / 16 * 16;

    const std::string payload = Crypto::aesCbcEncryptPayload(plain);
    ASSERT_EQ(payload.size(), filled + 17) << "length " << length;
    EXPECT_EQ(payload.back(), '\0');

    std::string expected = plain;
    expected.resize(filled, '\0');
    EXPECT_EQ(Crypto::aesCbcDecrypt(payload), expected) << "length " << length;
    // The sender must agree with an independent PKCS#7 encryption of the filled text.
    EXPECT_EQ(payload.substr(0, payload.size() - 1), encryptWithPadding(expected));
  }
  std::string large(std::size_t{5} << 20, '\0');
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<char>(i * 2654435761u >> 13);
  EXPECT_EQ(Crypto::aesCbcDecrypt(Crypto::aesCbcEncryptPayload(large)), large);
}

TEST(Md5Hex, MatchesRfc1321Vectors) {
  const std::pair<std::string_view, std::string_view> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Only the text up to the first NUL counts.
      {std::string_view("abc\0def", 7), "900150983cd24fb0d6963f7d28e17f72"},
      {std::string_view("\0abc", 4), "d41d8cd98f00b204e9800998ecf8427e"},
  };
  for (const auto& [text, digest] : vectors) EXPECT_EQ(Crypto::md5Hex(text), digest) << text;
}

TEST(MD5HashCompare, SharedInstanceDigestsLikeCryptoAndKeepsTheLastHash) {
  MD5HashCompare& shared = MD5HashCompare::sharedInstance();
  EXPECT_EQ(&shared, &MD5HashCompare::sharedInstance());
  for (std::string_view text :
       {std::string_view(""), std::string_view("payload"), std::string_view("pay\0load", 8)}) {
    EXPECT_EQ(shared.md5(text), Crypto::md5Hex(text));
  }

  const std::optional<std::string> saved = shared.hashTemp();
  shared.setHashTemp(shared.md5("payload"));
  EXPECT_EQ(MD5HashCompare::sharedInstance().hashTemp(), Crypto::md5Hex("payload"));
  shared.setHashTemp(std::nullopt);
  EXPECT_FALSE(shared.hashTemp().has_value());
  shared.setHashTemp(saved);
}

}  // namespace
