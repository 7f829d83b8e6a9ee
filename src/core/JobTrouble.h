#pragma once

#include <string>
#include <vector>

#include "core/UserText.h"

// A print job of ours that CUPS accepted and then did not print, or that has waited too long: what
// CUPS says of it, and those words put for the user.
struct JobTrouble {
  enum class State { Waiting, Stopped, Cancelled, Aborted };
  State state = State::Waiting;
  std::string document;
  std::string printer;
  // The job's state reasons, then its printer's (CUPS's keywords, with or without their
  // -error/-warning/-report ending).
  std::vector<std::string> reasons;
  // job-printer-state-message, else printer-state-message: often a filter's or backend's words.
  std::string cupsMessage;
};

namespace JobTroubleText {
inline constexpr const char* kContext = "JobTrouble";
// "Report.pdf" was not printed on Office: the printer is out of paper. (CUPS: …)
UserText describe(const JobTrouble& trouble);
}  // namespace JobTroubleText
