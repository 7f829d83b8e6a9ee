#pragma once

#include <cups/cups.h>

#include <span>

// Owns the destination list of one cupsGetDests2 call; the agent runs for weeks and asks CUPS
// on every job, so nothing it receives may leak.
class CupsDestinations {
 public:
  CupsDestinations() { count_ = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_); }
  ~CupsDestinations() { cupsFreeDests(count_, dests_); }
  CupsDestinations(const CupsDestinations&) = delete;
  CupsDestinations& operator=(const CupsDestinations&) = delete;

  std::span<cups_dest_t> all() const {
    return {dests_, static_cast<std::size_t>(count_ > 0 ? count_ : 0)};
  }
  int count() const { return count_; }
  cups_dest_t* raw() const { return dests_; }

 private:
  cups_dest_t* dests_ = nullptr;
  int count_ = 0;
};
