#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace InputSlot {

// The InputSlot value for a tray text, or nothing when none applies. A tray is "Default" or a
// 1-based slot number; a number past the end (a negative one included) picks the last slot.
std::optional<std::string> choose(std::string_view tray,
                                  const std::optional<std::vector<std::string>>& slots);

}  // namespace InputSlot
