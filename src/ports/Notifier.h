#pragma once

#include <string>

// Desktop notifications: what the user at the desk sees of a job that went wrong.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void notify(const std::string& title, const std::string& text) = 0;
};
