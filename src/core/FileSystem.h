#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The few whole-file operations the agent needs, with the checks every caller wants.
namespace FileSystem {

// Which file stands at a path, and in which state: any write or replacement changes it.
struct Stamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified = 0;  // nanoseconds
  std::int64_t changed = 0;   // nanoseconds
  bool regular = false;       // a plain file, not a folder, device or pipe
  bool operator==(const Stamp&) const = default;
};

// The stamp of what stands at the path (a link is followed); nothing when nothing does.
std::optional<Stamp> stamp(const std::string& path);

struct StampedContent {
  std::string content;
  Stamp stamp;  // of the file as it was read
};
// Like readRegularFile, with the stamp of the file that was read. Without followLinks a symbolic
// link is not read at all.
std::optional<StampedContent> readRegularFileStamped(const std::string& path,
                                                     bool followLinks = true);

// The whole content of a regular file; nothing when it is missing, unreadable, a folder or any
// other kind of file (a FIFO would block the tick for good).
std::optional<std::string> readRegularFile(const std::string& path);
// Whether anything stands at the path (a link counts when its target exists).
bool exists(const std::string& path);
// Deletes a file; false when it could not be deleted (a missing file included).
bool remove(const std::string& path);

enum class Removal { Removed, Gone, Changed, Failed };
// Deletes the file only while it is still the one with this stamp: a file written anew in the
// meantime is left for whoever reads it next. Failed sets errno.
Removal removeIfUnchanged(const std::string& path, const Stamp& expected);

// An exclusive hold on a file among the processes that ask for one (flock): two agents of one
// user on two displays share the redirected folder, and a job must be carried out by one of
// them. Released when the hold is destroyed.
class Hold {
 public:
  // Nothing when another process holds the file, or when the file at the path is no longer the
  // one with this stamp (it was removed or replaced meanwhile).
  static std::optional<Hold> take(const std::string& path, const Stamp& expected);
  Hold(Hold&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Hold& operator=(Hold&& other) noexcept;
  ~Hold();
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  explicit Hold(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace FileSystem
