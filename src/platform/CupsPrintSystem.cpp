#include "platform/CupsPrintSystem.h"

#include "platform/CupsDestinations.h"

std::vector<std::string> CupsPrintSystem::printerNames() {
  const CupsDestinations dests;
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(dests.count()));
  for (const cups_dest_t& dest : dests.all()) {
    // lpoptions instances are option presets of a queue, not printers of their own.
    if (dest.instance != nullptr) continue;
    const char* info = cupsGetOption("printer-info", dest.num_options, dest.options);
    names.emplace_back((info != nullptr && *info != '\0') ? info : dest.name);
  }
  return names;
}
