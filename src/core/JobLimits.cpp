#include "core/JobLimits.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace JobLimits {

std::size_t maxJobTextBytes() {
  static const std::size_t limit = [] {
    const char* text = std::getenv("ZELBRIN_MAX_JOB_MIB");
    std::size_t mebibytes = 0;
    if (text == nullptr ||
        std::from_chars(text, text + std::strlen(text), mebibytes).ec != std::errc() ||
        mebibytes == 0 || mebibytes > (std::size_t{1} << 20)) {
      return kDefaultMaxJobTextBytes;
    }
    return mebibytes << 20;
  }();
  return limit;
}

}  // namespace JobLimits
