#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/UserText.h"

// What the agent is doing, in the one line that heads the status menu: watching for jobs, a job
// waiting for the user's choice in one of its windows, CUPS not answering, or what became of the
// last job. The parts that know report here as it happens, and the menu listens. As with a
// JobFailure scope, reports go to the holder that lives (the agent has one); without one they go
// nowhere. Main thread only.
class AgentStatus {
 public:
  AgentStatus();
  ~AgentStatus();
  AgentStatus(const AgentStatus&) = delete;
  AgentStatus& operator=(const AgentStatus&) = delete;

  // Whether CUPS answered when it was last asked.
  static void printServiceAnswers(bool answers);
  // What became of the job just carried out: its document (empty when it has no name) and the
  // result, an English template marked QT_TRANSLATE_NOOP("AgentStatus", …) such as
  // "printed on %1", with its arguments.
  static void jobDone(std::string_view document, const char* result,
                      std::vector<UserText> arguments = {});
  // A job that was not carried out, by the message the user is told; its first clause says what
  // happened to which document.
  static void jobFailed(const UserText& message);

  // While one lives, the running job waits for the user's answer in a window.
  class Choice {
   public:
    Choice();
    ~Choice();
    Choice(const Choice&) = delete;
    Choice& operator=(const Choice&) = delete;

   private:
    AgentStatus* status_;
  };

  // The line in the user's language (English without `translate`), fitted to a menu.
  std::string line(const UserText::Translator& translate = {}) const;
  bool waitingForChoice() const { return choices_ > 0; }
  // `listener` runs whenever line() may have changed; one listener, replaced by the next.
  void onChange(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  void changed() const;

  AgentStatus* outer_;
  bool serviceAnswers_ = true;
  int choices_ = 0;
  std::optional<UserText> lastJob_;
  std::function<void()> listener_;
};
