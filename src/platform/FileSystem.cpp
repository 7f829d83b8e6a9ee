#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace FileSystem {

std::optional<std::string> readRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string content(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t done = 0;
  bool failed = false;
  for (;;) {
    if (done == content.size()) content.resize(content.size() + 4096);  // it grew meanwhile
    const ssize_t got = ::read(fd, content.data() + done, content.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed = true;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (failed) return std::nullopt;
  content.resize(done);
  return content;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace FileSystem
