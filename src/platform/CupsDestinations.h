#pragma once

#include <cups/cups.h>

#include <cerrno>
#include <cstring>
#include <span>
#include <string>

#include "platform/CupsHandles.h"

// Owns the destination list of one cupsGetDests2 call; the agent runs for weeks and asks CUPS
// on every job, so nothing it receives may leak.
class CupsDestinations {
 public:
  // Asked over a connection of our own, whose waits are bounded.
  CupsDestinations() {
    const CupsConnection http = connectToScheduler();
    if (!http) {
      status_ = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
      error_ = std::strerror(errno);
      return;
    }
    count_ = cupsGetDests2(http.get(), &dests_);
    // Read at once: the next libcups call overwrites it.
    status_ = cupsLastError();
    error_ = cupsLastErrorString() != nullptr ? cupsLastErrorString() : "";
    // A request given up on after the timeout leaves errno's "Success" as its text.
    if (!answered() && (error_.empty() || error_ == "Success")) error_ = "it does not answer";
  }
  ~CupsDestinations() { cupsFreeDests(count_, dests_); }
  CupsDestinations(const CupsDestinations&) = delete;
  CupsDestinations& operator=(const CupsDestinations&) = delete;

  std::span<cups_dest_t> all() const {
    return {dests_, static_cast<std::size_t>(count_ > 0 ? count_ : 0)};
  }
  int count() const { return count_; }
  cups_dest_t* raw() const { return dests_; }

  // False when the list is empty because the scheduler could not be asked, as opposed to a
  // scheduler without printers (which answers client-error-not-found).
  bool answered() const {
    return count_ > 0 || status_ <= IPP_STATUS_OK_EVENTS_COMPLETE ||
           status_ == IPP_STATUS_ERROR_NOT_FOUND;
  }
  ipp_status_t status() const { return status_; }
  const std::string& error() const { return error_; }

 private:
  cups_dest_t* dests_ = nullptr;
  int count_ = 0;
  ipp_status_t status_ = IPP_STATUS_OK;
  std::string error_;
};
