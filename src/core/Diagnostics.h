#pragma once

#include <sstream>
#include <string>
#include <string_view>

// The agent's own messages, one line each on standard error (the desktop session's journal keeps
// them): Diagnostics::say() << "what happened" << detail;
namespace Diagnostics {

// Collects one message and writes it, with its line break, in one piece when the statement ends.
class Line {
 public:
  explicit Line(std::string_view prefix) { text_ << prefix; }
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  template <typename T>
  Line& operator<<(const T& value) {
    text_ << value;
    return *this;
  }

 private:
  std::ostringstream text_;
};

// A message of the agent's, behind "zelbrin-client: ".
inline Line say() { return Line("zelbrin-client: "); }
// A line of a fixed wording that other tools or people rely on, exactly as given.
inline Line line() { return Line(""); }

// At most forty characters of a text from another machine, anything unprintable as "?".
std::string printable(std::string_view text);
// A job that is not carried out because a piece of it is missing.
void rejected(std::string_view keyword, std::string_view why);

}  // namespace Diagnostics
