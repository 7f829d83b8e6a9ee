#include "core/FreshBuffer.h"

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace FreshBuffer {

void reserve(std::string& buffer, std::size_t size) {
  buffer.reserve(size);
#ifdef __linux__
  if (size < (std::size_t{4} << 20)) return;
  static const auto pageMask = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)) - 1;
  const std::uintptr_t lead = reinterpret_cast<std::uintptr_t>(buffer.data()) & pageMask;
  char* const begin = buffer.data() - lead;
  const std::size_t length = (lead + size + pageMask) & ~pageMask;
  // Advice only: a kernel that refuses either call leaves the pages to fault one by one.
  madvise(begin, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
  madvise(begin, length, MADV_POPULATE_WRITE);
#endif
#endif
}

}  // namespace FreshBuffer
