#pragma once

#include <chrono>
#include <functional>

// A repeating timer on the main thread. It may fire again while a modal window runs inside the
// previous call, so callers guard against re-entry themselves.
class Ticker {
 public:
  virtual ~Ticker() = default;
  virtual void start(std::chrono::milliseconds interval, std::function<void()> onTick) = 0;
  // Runs `once` a few milliseconds from now, besides the repeating ticks. A call while one is
  // pending joins it, so a burst of calls runs it once.
  virtual void soon(std::function<void()> once) = 0;
};
