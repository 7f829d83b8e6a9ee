// The decryption of clipboard "open" payloads, which anyone who can reach the clipboard controls.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "core/Crypto.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The plaintext fits in the ciphertext (all but the last byte) less one block.
  if (const auto plain = Crypto::aesCbcDecrypt(bytes); plain && plain->size() + 17 > size) {
    std::abort();
  }
  // A payload made for any bytes gives them back, zero-filled to whole blocks.
  std::string filled(bytes);
  filled.resize(std::max<std::size_t>(16, (size + 15) / 16 * 16), '\0');
  if (Crypto::aesCbcDecrypt(Crypto::aesCbcEncryptPayload(bytes)) != filled) std::abort();
  return 0;
}
