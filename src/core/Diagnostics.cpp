#include "core/Diagnostics.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace Diagnostics {

namespace {

std::string& programName() {
  static std::string name = "zelbrin-client";
  return name;
}

// Asked at every message, not once: standard error can be put elsewhere while we run.
// systemd writes both numbers in decimal.
bool standardErrorIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat info {};
  return stream != nullptr && ::fstat(STDERR_FILENO, &info) == 0 &&
         stream == std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

}  // namespace

void setProgramName(std::string_view name) { programName() = name; }

void write(Severity severity, std::string_view message) {
  const int savedErrno = errno;  // callers report errno after their message, too
  std::string head;
  if (standardErrorIsJournal()) head = "<" + std::to_string(static_cast<int>(severity)) + ">";
  head += programName() + ": ";
  while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
  // The journal also ends a line at a NUL byte; a text from a job must not start a line of its
  // own, unnamed or with a severity it chose.
  constexpr std::string_view kLineEnds("\n\0", 2);
  std::string text;
  for (std::size_t start = 0;;) {
    const std::size_t end = message.find_first_of(kLineEnds, start);
    text += head;
    text += message.substr(start, end - start);
    text += '\n';
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  // In one write, so that a message of several lines stays together beside other writers.
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(STDERR_FILENO, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  errno = savedErrno;
}

std::string clipped(std::string_view text) {
  if (text.size() <= kFieldLimit) return std::string(text);
  std::size_t end = kFieldLimit;
  // Back over the continuation bytes (10xxxxxx) of a character that would be split.
  for (int step = 0; step < 3 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++step) {
    --end;
  }
  return std::string(text.substr(0, end)) + "\xE2\x80\xA6";  // "…"
}

std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 40)) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

void rejected(std::string_view keyword, std::string_view why) {
  warning() << "ignoring a \"" << printable(keyword) << "\" job: " << why;
}

}  // namespace Diagnostics
