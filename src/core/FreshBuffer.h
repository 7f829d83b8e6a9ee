#pragma once

#include <cstddef>
#include <string>

namespace FreshBuffer {

// Reserves room for a large result about to be written once, front to back. A large allocation
// comes straight from mmap and every page faults on first touch; on some virtual machines that
// costs several times more than decoding or decrypting into it. Transparent huge pages (THP is
// often in "madvise" mode) and populating the range in one call avoid most of it.
void reserve(std::string& buffer, std::size_t size);

}  // namespace FreshBuffer
