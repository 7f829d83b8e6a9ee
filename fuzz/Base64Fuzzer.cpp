// The payload decoders: the lenient one of every job, in each instruction-set variant, and the
// strict one.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using Base64::detail::Isa;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string decoded = Base64::dataFromBase64String(text);
  // Buffers of exactly the documented size, so that a byte written past it is caught.
  std::vector<unsigned char> scalar((size + 3) / 4 * 3), other(scalar.size());
  const std::size_t n = Base64::detail::decodeWith(Isa::Scalar, data, size, scalar.data());
  if (decoded != std::string_view(reinterpret_cast<const char*>(scalar.data()), n)) std::abort();
  for (const Isa isa : {Isa::Ssse3, Isa::Avx2}) {
    if (!Base64::detail::isaSupported(isa)) continue;
    if (Base64::detail::decodeWith(isa, data, size, other.data()) != n ||
        !std::equal(other.begin(), other.begin() + n, scalar.begin())) {
      std::abort();
    }
  }
  if (const auto strict = Base64::strictlyDecoded(text); strict && *strict != decoded) std::abort();
  if (Base64::strictlyDecoded(Base64::encode(text)) != text) std::abort();
  return 0;
}
