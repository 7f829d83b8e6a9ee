#include "core/Shutdown.h"

#include <atomic>

namespace {
// Set from the main thread only, but read from wherever a modal window returns.
std::atomic<bool> ending{false};
}  // namespace

void Shutdown::begin() { ending = true; }

bool Shutdown::underway() { return ending; }

void Shutdown::throwIfUnderway() {
  if (ending) throw Interrupted();
}
