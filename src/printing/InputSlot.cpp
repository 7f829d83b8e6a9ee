#include "printing/InputSlot.h"

#include <cstdint>

#include "core/TextValue.h"

namespace InputSlot {

std::optional<std::string> choose(std::string_view tray,
                                  const std::optional<std::vector<std::string>>& slots) {
  if (!slots || slots->empty()) return std::nullopt;
  if (tray == "Default") return std::string("Default");
  // Read as unsigned, so a negative tray clamps to the last slot instead of naming none.
  std::uint64_t n = static_cast<std::uint32_t>(TextValue::integerValue(tray));
  if (n > slots->size()) n = slots->size();
  if (n == 0) return std::nullopt;
  return (*slots)[n - 1];
}

}  // namespace InputSlot
