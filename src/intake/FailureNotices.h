#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

#include "core/JobFailure.h"

class Notifier;

// Tells the user at the desk of a job that failed: one notification per job, and the same cause
// not again within a minute, so a queue of jobs for a missing printer does not become a storm.
class FailureNotices {
 public:
  explicit FailureNotices(Notifier& notifier) : notifier_(notifier) {}
  void jobEnded(const std::optional<JobFailure::Failure>& failure);

 private:
  Notifier& notifier_;
  std::map<std::string, std::chrono::steady_clock::time_point> lastTold_;
};
