#pragma once

#include <cups/cups.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

#include "platform/CupsKnowledge.h"

// Keeps the agent's knowledge of the destinations fresh from CUPS's own events: a printer and job
// subscription read with Get-Notifications, as often as CUPS asks to be asked. Worker thread
// only.
class CupsWatch {
 public:
  // Subscribes where there is no subscription yet, then reads everything afresh.
  CupsKnowledge reload(http_t* http);
  // Asks for the events since the last look. Returns the knowledge read afresh when a printer
  // came, went or changed, when CUPS answers again after a silence, or when its subscription is
  // gone (CUPS restarted); a silent CUPS returns a knowledge that says so, once. Nothing when
  // nothing changed.
  std::optional<CupsKnowledge> check(http_t* http);
  // Whether CUPS answered the last look.
  bool reachable() const { return reachable_; }
  // Whether any event came (or may have been missed) since this was last asked.
  bool takeNews() { return std::exchange(news_, false); }
  // When CUPS wants to be asked again.
  std::chrono::seconds interval() const { return interval_; }
  // Ends the subscription (the agent ends).
  void cancel(http_t* http);

 private:
  bool subscribe(http_t* http);
  CupsKnowledge silent(std::string error);
  CupsKnowledge stamped(CupsKnowledge knowledge);

  int subscriptionId_ = 0;
  int nextSequence_ = 1;
  bool reachable_ = true;
  bool news_ = false;
  std::uint64_t generation_ = 0;
  std::chrono::seconds interval_{60};
};
