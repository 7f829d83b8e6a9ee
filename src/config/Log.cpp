#include "config/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/XMLUtil.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"
#include "core/Utf8.h"
#include "ports/Paths.h"

namespace {

constexpr std::string_view kNull = "(null)";

// The text as ASCII. An accented letter in a document name must not cost the whole entry.
void appendAscii(std::string& out, std::string_view text) {
  char escape[16];
  while (!text.empty()) {
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80) {
      out += text.front();
      text.remove_prefix(1);
    } else if (const auto decoded = Utf8::decode(text)) {
      const auto [length, code] = *decoded;
      std::snprintf(escape, sizeof escape, code > 0xFFFF ? "\\U%08X" : "\\u%04X",
                    static_cast<unsigned>(code));
      out += escape;
      text.remove_prefix(length);
    } else {
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(lead));
      out += escape;
      text.remove_prefix(1);
    }
  }
}

std::string makeEntry(std::optional<std::string_view> type, std::optional<std::string_view> data) {
  std::string entry = "\r ";
  appendAscii(entry, Diagnostics::clipped(type.value_or(kNull)));
  entry += " --> ";
  appendAscii(entry, Diagnostics::clipped(data.value_or(kNull)));
  entry += ' ';
  return entry;
}

void reportFailure(const std::string& path, const char* why) {
  Diagnostics::error() << "couldn't write out file to " << path << ", error is " << why;
}

// Appends to the end of the file, so that an entry costs the same however long the log has
// grown. A failed write is cut back off, leaving the file as it was.
void appendToFile(const std::string& path, std::string_view bytes) {
  // Non-blocking, so that a FIFO put in the file's place cannot hang the tick.
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
  if (fd < 0) return reportFailure(path, std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return reportFailure(path, "not a regular file");
  }
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = written < 0 ? errno : EIO;
      [[maybe_unused]] const int cut = ::ftruncate(fd, info.st_size);
      ::close(fd);
      return reportFailure(path, std::strerror(error));
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (::close(fd) != 0) reportFailure(path, std::strerror(errno));
}

}  // namespace

std::string Log::logFilePath() const {
  return XMLUtil::supportFolder(paths_.documentsDirectory()) + "/" + kLogFileName;
}

void Log::WriteLogData(std::optional<std::string_view> data,
                       std::optional<std::string_view> type) const {
  appendToFile(logFilePath(), makeEntry(type, data));
}

void Log::Logging(std::optional<std::string_view> data,
                  std::optional<std::string_view> type) const {
  WriteLogData(data, type);
}

void Log::deleteLogFile() const {
  // Only our own file goes: a link or anything else put there is not ours to remove.
  const std::string path = logFilePath();
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) FileSystem::remove(path);
}
