#include "config/LeftoverFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "config/XMLUtil.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "ports/Paths.h"

namespace LeftoverFiles {

int sweep(const std::string& folder, std::optional<std::chrono::seconds> maxAge) {
  std::string path = folder;
  // A trailing "/" would make open() follow a link in the folder's place.
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  DIR* entries = fd < 0 ? nullptr : ::fdopendir(fd);
  if (entries == nullptr) {
    if (errno != ENOENT) {
      Diagnostics::warning() << "cannot clear old files from " << path << ": " << std::strerror(errno);
    }
    if (fd >= 0) ::close(fd);
    return 0;
  }
  const std::time_t oldest = maxAge ? std::time(nullptr) - maxAge->count() : 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(entries)) {
    // Looked at and removed relative to the folder, never through a link: nothing outside it
    // can be reached.
    struct stat info {};
    if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) {
      continue;
    }
    const bool old = maxAge && info.st_mtime < oldest;
    if (!old && !AtomicFile::isTemporaryName(entry->d_name)) continue;
    if (::unlinkat(fd, entry->d_name, 0) == 0) {
      ++removed;
    } else if (errno != ENOENT) {
      Diagnostics::warning() << "cannot remove " << path << "/" << entry->d_name << ": "
                         << std::strerror(errno);
    }
  }
  ::closedir(entries);
  return removed;
}

void removeAtStart(const Paths& paths) {
  if (const std::optional<std::string> temporary = paths.temporaryDirectory()) {
    sweep(*temporary, kCopyLifetime);
    sweep(*temporary + XMLUtil::kSupportFolderName, kCopyLifetime);
  }
  sweep(XMLUtil::supportFolder(paths.documentsDirectory()), std::nullopt);
}

}  // namespace LeftoverFiles
