#pragma once

#include <exception>

// The agent is ending: the user quit, asked for a restart, or the session sent a signal. The
// event loops then close every modal window as if it had been cancelled; a job that was waiting
// for the user must not take that for the user's answer, so the window's owner throws
// `Interrupted` instead, and the job is left exactly as it came for the next agent.
namespace Shutdown {

struct Interrupted : std::exception {
  const char* what() const noexcept override { return "the agent is ending"; }
};

// Called before the event loops are told to quit.
void begin();
bool underway();
// Throws Interrupted once the agent is ending.
void throwIfUnderway();

}  // namespace Shutdown
