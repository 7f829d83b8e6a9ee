#include "core/FileSystem.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace FileSystem {

namespace {

std::int64_t nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

Stamp stampOf(const struct stat& info) {
  return Stamp{.device = static_cast<std::uint64_t>(info.st_dev),
               .inode = static_cast<std::uint64_t>(info.st_ino),
               .size = static_cast<std::int64_t>(info.st_size),
               .modified = nanoseconds(info.st_mtim),
               .changed = nanoseconds(info.st_ctim),
               .regular = S_ISREG(info.st_mode)};
}

}  // namespace

std::optional<Stamp> stamp(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return stampOf(info);
}

std::optional<std::string> readRegularFile(const std::string& path) {
  std::optional<StampedContent> read = readRegularFileStamped(path);
  if (!read) return std::nullopt;
  return std::move(read->content);
}

std::optional<StampedContent> readRegularFileStamped(const std::string& path, bool followLinks) {
  const int fd =
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW));
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
  // The stamp after reading: a writer still busy with the file shows in it.
  const bool restat = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (failed || !restat) return std::nullopt;
  content.resize(done);
  return StampedContent{std::move(content), stampOf(info)};
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

Removal removeIfUnchanged(const std::string& path, const Stamp& expected) {
  const std::optional<Stamp> now = stamp(path);
  if (!now) return Removal::Gone;
  if (*now != expected) return Removal::Changed;
  if (::unlink(path.c_str()) == 0) return Removal::Removed;
  return errno == ENOENT ? Removal::Gone : Removal::Failed;
}

std::optional<Hold> Hold::take(const std::string& path, const Stamp& expected) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  Hold hold(fd);
  struct stat info {};
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &info) != 0 ||
      stampOf(info) != expected) {
    return std::nullopt;
  }
  // Held now; the file may still have been replaced between the stamp and the open.
  if (const std::optional<Stamp> now = stamp(path); !now || *now != expected) return std::nullopt;
  return hold;
}

Hold& Hold::operator=(Hold&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Hold::~Hold() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace FileSystem
