#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "core/UserText.h"

// The last jobs of ours that CUPS took, newest first, with their state as CUPS last told it; for
// the status menu. Main thread only.
struct RecentJob {
  enum class State { Printing, Printed, Held, Stopped, Failed, Cancelled };
  int id = 0;
  std::string document;
  std::string printer;
  std::string queue;
  State state = State::Printing;
  std::chrono::system_clock::time_point time;  // when it reached its state
  bool documentKept = false;                   // CUPS still has its document (job-preserved)
  // Printer data for one printer model: printed again only on its own printer.
  bool raw = false;

  // Whether the user may want it printed again.
  bool unprinted() const { return state == State::Failed || state == State::Cancelled; }
  bool printableElsewhere() const { return documentKept && !raw; }
  static UserText stateText(State state);
};

class RecentJobs {
 public:
  static constexpr std::size_t kKept = 10;

  void add(RecentJob job);
  // A state CUPS told; a job no longer in the list is left out.
  void update(int id, RecentJob::State state, bool documentKept);
  const std::deque<RecentJob>& jobs() const { return jobs_; }
  const RecentJob* find(int id) const;
  // Called after every change.
  void onChange(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  std::deque<RecentJob> jobs_;
  std::function<void()> listener_;
};
