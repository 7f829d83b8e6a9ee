#pragma once

#include <cstddef>

// How much of a job text the agent reads at most, from either carrier. A text that size holds a
// document of some 380 MB; anything larger is another program's doing and is dropped unread.
namespace JobLimits {

inline constexpr std::size_t kDefaultMaxJobTextBytes = std::size_t{512} << 20;

// 512 MiB, or ZELBRIN_MAX_JOB_MIB mebibytes when that variable holds a positive number.
std::size_t maxJobTextBytes();

}  // namespace JobLimits
