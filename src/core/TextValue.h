#pragma once

#include <cstdint>
#include <string_view>

// How the settings values of a job text are read as numbers and flags.
namespace TextValue {

// Leading white space, an optional sign, then decimal digits up to the first other character;
// no digit gives 0. Out-of-range values saturate.
std::int32_t integerValue(std::string_view text);

// After leading white space, an optional sign and leading zeros: true when the first character
// is Y, y, T, t or a digit from 1 to 9.
bool boolValue(std::string_view text);

}  // namespace TextValue
