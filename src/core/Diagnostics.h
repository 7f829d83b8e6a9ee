#pragma once

#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

// The program's own messages, one line each on standard error (the desktop session's journal
// keeps them), each with how much it matters: Diagnostics::error() << "what failed" << detail;
//
//   error    a job that failed, data that could not be written, a part that stopped working
//   warning  a job text refused or skipped, a cleanup that failed, a part that works less well
//   notice   a normal event worth seeing: the print service is back, the agent ends mid-job
//   info     what the agent found at start-up
//   debug    chatter that helps following a job
//
// Every line starts with the program's name ("zelbrin-client: "); where standard error is the
// journal, the journal's severity mark ("<3>" to "<7>") goes in front of it.
namespace Diagnostics {

// A text from a job or a file can be of any length; a line on standard error or an entry of the
// log holds at most this much of it, so that a 50 MB document name cannot flood either.
inline constexpr std::size_t kFieldLimit = 4096;

// The text, or its first kFieldLimit bytes or fewer, ending on a UTF-8 character boundary,
// followed by "…" where it was cut.
std::string clipped(std::string_view text);

// The syslog levels, which the journal reads from a line's "<N>" mark.
enum class Severity { Error = 3, Warning = 4, Notice = 5, Info = 6, Debug = 7 };

// The name in front of every line; "zelbrin-client" unless a tool of ours names itself.
void setProgramName(std::string_view name);

// Writes the message in one piece to standard error: every line of it (a text from a job may
// hold line breaks) behind the program's name, and behind the severity mark where standard error
// is the journal. That is where systemd's JOURNAL_STREAM ("DEVICE:INODE") names the very stream
// on standard error: a child whose standard error was redirected inherits the variable but not
// the stream.
void write(Severity severity, std::string_view message);

// Collects one message and writes it when the statement ends.
class Line {
 public:
  explicit Line(Severity severity) : severity_(severity) {}
  ~Line() { write(severity_, text_.str()); }
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
  Severity severity_;
  std::ostringstream text_;
};

inline Line error() { return Line(Severity::Error); }
inline Line warning() { return Line(Severity::Warning); }
inline Line notice() { return Line(Severity::Notice); }
inline Line info() { return Line(Severity::Info); }
inline Line debug() { return Line(Severity::Debug); }

// At most forty characters of a text from another machine, anything unprintable as "?".
std::string printable(std::string_view text);
// A job that is not carried out because a piece of it is missing.
void rejected(std::string_view keyword, std::string_view why);

}  // namespace Diagnostics
