#pragma once

#include <string>

#include "core/UserText.h"

// Desktop notifications: what the user at the desk sees of a job that went wrong, and of
// anything else the agent has to tell while it has no window open.
class Notifier {
 public:
  struct Notice {
    // In English; the notifier shows them in the user's language.
    UserText title;
    UserText text;
    // A failure stays until the user closes it; anything else may go away by itself.
    bool failure = true;
    // A printer is missing, gone or refused the job: the notice offers the printer settings.
    bool aboutPrinter = false;
    // A job in this CUPS queue is stuck or failed: the notice also offers the print queue.
    std::string queue = {};
  };

  virtual ~Notifier() = default;
  virtual void notify(const Notice& notice) = 0;
};
