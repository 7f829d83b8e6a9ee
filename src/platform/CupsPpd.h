#pragma once

#include <cups/cups.h>

#include <optional>
#include <string>
#include <vector>

// What only a queue's PPD tells.
namespace CupsPpd {

// The choices of the queue's InputSlot option; nothing when it has no PPD or offers none.
std::optional<std::vector<std::string>> inputSlots(http_t* http, const char* queue);

}  // namespace CupsPpd
