#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/IncrTransfer.h"
#include "core/JobText.h"
#include "core/PrivateTempDirectory.h"
#include "core/Utf8.h"
#include "documents/ServerLogin.h"
#include "documents/ShareTarget.h"
#include "send/JobTextComposer.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

// One job as the session side writes it on each channel; the readings must find every value.
TEST(JobText, GoldenJobTextsOfBothChannels) {
  JobTextComposer::Job job;
  job.command = "ZelbrinPrinter";
  job.tray = "2";
  job.duplex = "DUPLEXTUMBLE";
  job.documentName = "a.pdf";
  job.document = "ABC";
  job.collate = "true";
  job.copies = "3";
  const std::string clipboard =
      "ZelbrinPrinter1!1!1!*2*!1!1!1!*DUPLEXTUMBLE*!1!1!1!*Color*!1!1!1!a.pdf1!1!1!QUJD"
      "1!1!1!true1!1!1!*3*";
  ASSERT_EQ(JobTextComposer::compose(job, JobTextComposer::Channel::Clipboard), clipboard);
  EXPECT_EQ(JobText::productSettings(clipboard),
            (Strings{"2", "DUPLEXTUMBLE", "Color", "true", "3"}));
  ASSERT_EQ(JobTextComposer::compose(job, JobTextComposer::Channel::Folder), clipboard);
  EXPECT_EQ(JobText::folderSettings(clipboard), (Strings{"2", "DUPLEXTUMBLE", "Color", "a.pdf",
                                                         "QUJD", "true", "ZelbrinPrinter", "3"}));
}

TEST(JobText, ReadingsRejectWhatTheyCannotRead) {
  const std::pair<std::string, std::optional<Strings>> product[] = {
      {"ZelbrinSave1!1!1!doc.pdf1!1!1!UEFZ", Strings{}},
      {"ZelbrinSave1!1!1!*Default*!1!1!1!*NONE", std::nullopt},                     // two stars
      {"ZelbrinSave1!1!1!*a*!1!1!1!*b*!1!1!1!*c!1!1!1!n1!1!1!UEFZ", std::nullopt},  // five stars
      {"ZelbrinSave1!1!1!a1!1!1!b1!1!1!c1!1!1!d1!1!1!e1!1!1!f",
       std::nullopt},  // 7 fields, no block
  };
  for (const auto& [text, values] : product)
    EXPECT_EQ(JobText::productSettings(text), values) << text;
  EXPECT_EQ(JobText::folderSettings("ZelbrinDefault1!1!1!a.pdf1!1!1!UEFZ"), std::nullopt);

  for (const char* valid : {"", "plain ascii longer than eight", "caf\xc3\xa9 \xf0\x9f\x96\xa8"}) {
    EXPECT_TRUE(Utf8::isValid(valid)) << valid;
  }
  // Stray byte, cut short, overlong NUL, surrogate, past U+10FFFF, after an ASCII run.
  for (const char* invalid :
       {"\xff", "ab\xc3", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "12345678\x80"}) {
    EXPECT_FALSE(Utf8::isValid(invalid)) << invalid;
  }
  // A text of nothing but separators costs no more than a job.
  EXPECT_EQ(JobText::starView(std::string(1'000'000, '*')).size(), JobText::kPiecesRead);
  EXPECT_EQ(JobText::folderSettings(std::string(1'000'000, '*')), std::nullopt);
}

// The decoding rule in its plainest form: every byte outside the alphabet is skipped.
std::string referenceDecode(std::string_view text) {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
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

TEST(Base64, EveryVariantDecodesLikeTheReference) {
  using Base64::detail::Isa;
  std::mt19937 rng(20240613);
  const std::string noise[] = {"=",    "\r\n",    "!", "*", " ", std::string(1, '\0'),
                               "\xff", "\xc3\xa9"};
  for (Isa isa : {Isa::Scalar, Isa::Ssse3, Isa::Avx2}) {
    if (!Base64::detail::isaSupported(isa)) continue;
    for (std::size_t length = 0; length <= 300; ++length) {
      std::string text = Base64::encode(std::string(length, static_cast<char>(rng())));
      for (int n = std::uniform_int_distribution<int>(0, 4)(rng); n > 0; --n) {
        text.insert(std::uniform_int_distribution<std::size_t>(0, text.size())(rng),
                    noise[rng() % std::size(noise)]);
      }
      // The output buffer is exactly as large as promised, with a guard zone behind it.
      const std::size_t capacity = (text.size() + 3) / 4 * 3;
      std::vector<unsigned char> out(capacity + 64, 0xA5);
      const std::size_t written = Base64::detail::decodeWith(
          isa, reinterpret_cast<const unsigned char*>(text.data()), text.size(), out.data());
      ASSERT_EQ(std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(written)),
                referenceDecode(text))
          << "isa " << static_cast<int>(isa) << ", length " << length;
      ASSERT_EQ(std::count(out.begin() + static_cast<std::ptrdiff_t>(capacity), out.end(), 0xA5),
                64);
    }
  }
  std::string huge(std::size_t{6} << 20, '\0');  // the large-buffer path
  for (char& c : huge) c = static_cast<char>(rng());
  EXPECT_EQ(Base64::dataFromBase64String(Base64::encode(huge)), huge);
  EXPECT_EQ(Base64::encode(std::string_view("\xff\xfe\x00", 3)), "//4A");
  EXPECT_EQ(Base64::dataFromBase64String("QU=JD"), "ABC");
}

// Plain AES-128-CBC with PKCS#7 under the payload key, written independently of the sender code.
std::string encryptWithPadding(std::string_view plain) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  std::string out(plain.size() + 32, '\0');
  int body = 0;
  int tail = 0;
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, Crypto::kAesKey.data(),
                     Crypto::kAesIv.data());
  EVP_EncryptUpdate(ctx.get(), o, &body, reinterpret_cast<const unsigned char*>(plain.data()),
                    static_cast<int>(plain.size()));
  EVP_EncryptFinal_ex(ctx.get(), o + body, &tail);
  out.resize(static_cast<std::size_t>(body + tail));
  return out;
}

TEST(AesCbc, PayloadsDecryptOnlyWhenThePaddingFilledAWholeBlock) {
  // A decoded payload carries one byte after the ciphertext; its value does not matter.
  const std::string good = encryptWithPadding("0123456789abcdef") + 'Z';
  EXPECT_EQ(Crypto::aesCbcDecrypt(good), "0123456789abcdef");
  EXPECT_EQ(Crypto::aesCbcDecrypt(encryptWithPadding("") + 'Z'), "");
  std::string tampered = good;
  tampered[20] = static_cast<char>(tampered[20] ^ 1);
  for (const std::string& bad :
       {encryptWithPadding("0123456789abcdefWXYZ") + 'Z', good.substr(0, 32), good + "abc",
        tampered, std::string(16, 'x')}) {
    EXPECT_EQ(Crypto::aesCbcDecrypt(bad), std::nullopt);
  }
  // The sender's payload: zero-filled to whole blocks, one extra byte.
  const std::string payload = Crypto::aesCbcEncryptPayload(std::string(17, 'A'));
  EXPECT_EQ(payload.substr(0, 48),
            encryptWithPadding(std::string(17, 'A') + std::string(15, '\0')));
}

// Also run under an OpenSSL configuration whose defaults hide MD5 (tests/CMakeLists.txt).
TEST(Md5Hex, MatchesRfc1321Vectors) {
  const std::pair<std::string_view, std::string_view> vectors[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      {std::string_view("abc\0def", 7), "900150983cd24fb0d6963f7d28e17f72"},  // up to a NUL
  };
  for (const auto& [text, digest] : vectors) EXPECT_EQ(Crypto::md5Hex(text), digest) << text;
}

// A text gathered from pieces: whatever the cut (inside a multi-byte character, between the two
// bytes of a line break, right after a NUL), its digest is the one-shot digest of the whole.
TEST(IncrTransfer, DigestOfPiecesIsTheDigestOfTheWholeAndTheLimitHolds) {
  const std::string text = "ZelbrinDefault\r\n1\r\nDUPLEX\r\nüb€r 🖨.pdf\r\nJVBERi0x\r\n" +
                           std::string("a\0b", 3) + "\r\nend";
  for (std::size_t cut = 1; cut <= 7; ++cut) {
    IncrTransfer transfer(1024);
    for (std::size_t at = 0; at < text.size(); at += cut) transfer.add(text.substr(at, cut));
    ASSERT_EQ(transfer.add(""), IncrTransfer::State::Complete);
    EXPECT_EQ(transfer.digest(), Crypto::md5Hex(text)) << "pieces of " << cut;
    EXPECT_EQ(transfer.takeText(), text);
  }
  // A text of several blocks is digested on another thread while it arrives: the blocks must be
  // digested and joined in order, including a Latin-1 character whose two UTF-8 bytes straddle
  // two blocks, and a transfer over the limit must stop that thread before freeing its blocks.
  std::string latin1(19 << 20, 'x');
  // Every 46th: the one at 178481 × 46 ends up as the last byte of the first 8 MiB and the first of
  // the next (2^23 - 1 = 47 × 178481).
  for (std::size_t at = 0; at < latin1.size(); at += 46) latin1[at] = '\xe9';
  std::string utf8;
  utf8.reserve(20 << 20);
  for (const char c : latin1) utf8 += c == '\xe9' ? "\xc3\xa9" : std::string(1, c);
  IncrTransfer large(64 << 20);
  for (std::size_t at = 0; at < latin1.size(); at += 100003) {
    large.add(std::string_view(latin1).substr(at, 100003), IncrTransfer::Encoding::Latin1);
  }
  ASSERT_EQ(large.add(""), IncrTransfer::State::Complete);
  EXPECT_EQ(large.digest(), Crypto::md5Hex(utf8));
  EXPECT_TRUE(large.takeText() == utf8);
  IncrTransfer cut(18 << 20);
  cut.add(utf8.substr(0, 17 << 20));
  EXPECT_EQ(cut.add(utf8.substr(0, 2 << 20)), IncrTransfer::State::OverLimit);

  // One byte over the limit: nothing is kept, and a later end does not make it complete.
  IncrTransfer over(8);
  over.add("12345");
  EXPECT_EQ(over.add("6789"), IncrTransfer::State::OverLimit);
  EXPECT_EQ(over.add(""), IncrTransfer::State::OverLimit);
  EXPECT_TRUE(over.takeText().empty());
}

TEST(Files, ThePrivateTemporaryFolderIsOursAlone) {
  TempFolder folder;
  TempFolder base;
  const std::string own = (base.path() / ("zelbrin-client-" + std::to_string(::getuid()))).string();
  ASSERT_EQ(PrivateTempDirectory::ensure(base.path().c_str()), own + "/");
  ::chmod(own.c_str(), 0755);
  EXPECT_EQ(PrivateTempDirectory::ensure(base.path().c_str()), own + "/");
  struct stat info {};
  ::lstat(own.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0700U) << "loose permissions are tightened";
  fs::remove(own);
  fs::create_directory_symlink(folder.path(), own);
  EXPECT_EQ(PrivateTempDirectory::ensure(base.path().c_str()), std::nullopt) << "never a link";
  fs::remove(own);
  if (::getuid() == 0) {
    fs::create_directory(own);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(PrivateTempDirectory::ensure(base.path().c_str()), std::nullopt) << "not ours";
  }
}

// A line on standard error holds a few KiB of each text at most: a document name can be 50 MB.
TEST(Diagnostics, EachTextOfALineIsClippedOnACharacterBoundary) {
  std::string even, odd = "a";
  for (int i = 0; i < 3000; ++i) even += "\xd0\x96", odd += "\xd0\x96";  // two bytes each
  testing::internal::CaptureStderr();
  Diagnostics::warning() << even << " and " << odd << " (" << 42 << ")";
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "zelbrin-client: " + even.substr(0, 4096) +
                                                        "\xe2\x80\xa6 and " + odd.substr(0, 4095) +
                                                        "\xe2\x80\xa6 (42)\n");
}

// The journal files each line by the severity mark in front of it; any other reader of standard
// error (a terminal, a file, a child that inherited JOURNAL_STREAM with its standard error
// redirected) gets plain lines. Each line names the program, also the lines of a text from a job
// that holds line breaks or NUL bytes, which the journal would otherwise take as lines of ours.
TEST(Diagnostics, EveryLineNamesTheProgramAndTheJournalGetsItsSeverity) {
  const char* inherited = std::getenv("JOURNAL_STREAM");
  const std::string before = inherited != nullptr ? inherited : "";
  testing::internal::CaptureStderr();  // standard error becomes a file
  struct stat file {};
  ::fstat(STDERR_FILENO, &file);
  const std::string stream = std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino);
  ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
  Diagnostics::error() << "e";
  Diagnostics::warning() << "w";
  Diagnostics::notice() << "n";
  Diagnostics::info() << "i";
  Diagnostics::debug() << "d\n<0>forged" << std::string_view("\0x", 2) << "\n";
  for (const std::string& other : {stream + "1", "1" + stream, std::to_string(file.st_dev)}) {
    ::setenv("JOURNAL_STREAM", other.c_str(), 1);
    Diagnostics::error() << "plain";
  }
  ::unsetenv("JOURNAL_STREAM");
  Diagnostics::rejected("ZelbrinOpen", "why");
  if (inherited != nullptr) ::setenv("JOURNAL_STREAM", before.c_str(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "<3>zelbrin-client: e\n<4>zelbrin-client: w\n<5>zelbrin-client: n\n"
            "<6>zelbrin-client: i\n<7>zelbrin-client: d\n<7>zelbrin-client: <0>forged\n"
            "<7>zelbrin-client: x\n"
            "zelbrin-client: plain\nzelbrin-client: plain\nzelbrin-client: plain\n"
            "zelbrin-client: ignoring a \"ZelbrinOpen\" job: why\n");
}

// The target of an open-on-share job comes from the server: it names a file inside one share of
// one host, and nothing else.
TEST(Shares, TargetsNameAFileInsideOneShareAndLoginsGoToTheirServerOnly) {
  const auto url = [](std::string_view unc) {
    const UncReading reading = ShareTarget::fromUnc(unc);
    return reading.target ? reading.target->fileUrl() : std::string();
  };
  EXPECT_EQ(url("\\\\srv\\docs\\a\\b.pdf"), "smb://srv/docs/a/b.pdf");
  EXPECT_EQ(url("\\\\docs\\docs\\docs\\\\x.pdf"), "smb://docs/docs/docs/x.pdf");
  EXPECT_EQ(url("//srv/Team Docs/R&D #1.pdf"), "smb://srv/Team%20Docs/R%26D%20%231.pdf");
  for (const char* bad : {"\\\\srv", "\\\\srv\\", "srv\\docs\\x", "\\\\srv\\docs\\..\\..\\etc",
                          "\\\\a@b\\docs\\x", "\\\\srv\\docs\\x\ty"}) {
    EXPECT_EQ(url(bad), "") << bad;
  }
  EXPECT_EQ(Base64::strictlyDecoded("XFxzcnY="), "\\\\srv");
  for (const char* bad : {"XFxz\ncnY=", "XFxzcnY", "XF=zcnY=", "XFxzcnY==="}) {
    EXPECT_EQ(Base64::strictlyDecoded(bad), std::nullopt) << bad;
  }

  ServerLogin login;
  login.set("\\\\FILES\\docs", "ann", "secret");
  EXPECT_EQ(login.forHost("files").value_or(ShareLogin{}).password, "secret");
  EXPECT_EQ(login.forHost("elsewhere"), std::nullopt);
}

}  // namespace
