#pragma once

#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

// The agent's own messages, one line each on standard error (the desktop session's journal keeps
// them): Diagnostics::say() << "what happened" << detail;
namespace Diagnostics {

// A text from a job or a file can be of any length; a line on standard error or an entry of the
// log holds at most this much of it, so that a 50 MB document name cannot flood either.
inline constexpr std::size_t kFieldLimit = 4096;

// The text, or its first kFieldLimit bytes or fewer, ending on a UTF-8 character boundary,
// followed by "…" where it was cut.
std::string clipped(std::string_view text);

// Collects one message and writes it, with its line break, in one piece when the statement ends.
class Line {
 public:
  explicit Line(std::string_view prefix) { text_ << prefix; }
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  // Every text is one field of the line and is clipped; numbers and the like go in as they are.
  template <typename T>
  Line& operator<<(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
      const std::string_view text = value;
      if (text.size() <= kFieldLimit) {
        text_ << text;
      } else {
        text_ << clipped(text);
      }
    } else {
      text_ << value;
    }
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
