#pragma once

#include <cups/cups.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/JobTrouble.h"
#include "core/RecentJobs.h"

// The jobs of ours that CUPS took, followed until they end: one that ends unprinted, or that is
// held or stopped for longer than the limit, is told once. Looked at only when
// CUPS's events say something happened, and at a stuck job's limit. Worker thread only.
class CupsJobFollow {
 public:
  using Clock = std::chrono::steady_clock;

  struct Told {
    JobTrouble trouble;
    std::string queue;
  };
  struct Seen {
    int id = 0;
    RecentJob::State state = RecentJob::State::Printing;
    bool documentKept = false;
  };
  struct Look {
    std::vector<Told> told;
    std::vector<Seen> seen;  // every followed job's state
    // When to look again: a stuck job reaches its limit then. Nothing when a look is already due
    // by then, or no job is stuck.
    std::optional<std::chrono::milliseconds> again;
  };

  explicit CupsJobFollow(std::chrono::seconds stuckAfter) : stuckAfter_(stuckAfter) {}

  void follow(int jobId, std::string queue, std::string printer, std::string document);
  bool following() const { return !jobs_.empty(); }
  // Reads the state of every followed job.
  Look look(http_t* http);
  // The look asked for by `again` is being made.
  void due() { armedFor_.reset(); }

 private:
  struct Job {
    int id = 0;
    std::string queue;
    std::string printer;
    std::string document;
    std::optional<Clock::time_point> stuckSince;
    bool told = false;
  };

  const std::chrono::seconds stuckAfter_;
  std::vector<Job> jobs_;
  std::optional<Clock::time_point> armedFor_;
};
