#pragma once

#include <string>

// The programs the desktop starts when the user logs in. A program is known by the absolute
// path of its executable, so a copy started from another folder is another login item.
class LoginItems {
 public:
  enum class State { Missing, On, Off };  // Off: the user turned the entry off

  virtual ~LoginItems() = default;
  virtual State stateOf(const std::string& program) const = 0;
  // Adds an entry for the program, or turns its entry on or off. False when it could not be
  // written (the reason went to standard error).
  virtual bool set(const std::string& program, bool on) = 0;
  // The folder in which changes made elsewhere show.
  virtual std::string folder() const = 0;
};
