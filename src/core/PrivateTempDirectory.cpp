#include "core/PrivateTempDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Diagnostics.h"

namespace PrivateTempDirectory {

std::optional<std::string> ensure(const char* tmpdirEnvironmentValue) {
  std::string base = (tmpdirEnvironmentValue != nullptr && *tmpdirEnvironmentValue != '\0')
                         ? tmpdirEnvironmentValue
                         : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::string folder = base + "/zelbrin-client-" + std::to_string(::getuid());

  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    Diagnostics::error() << "cannot create temporary folder " << folder << ": "
                       << std::strerror(errno);
    return std::nullopt;
  }
  // lstat, not stat: a link planted under our name must not redirect our documents.
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) {
    Diagnostics::error() << "cannot inspect temporary folder " << folder << ": "
                       << std::strerror(errno);
    return std::nullopt;
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    Diagnostics::error() << "refusing temporary folder " << folder
                       << ": it is not a folder owned by this user";
    return std::nullopt;
  }
  if ((info.st_mode & 0777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
    Diagnostics::error() << "cannot make temporary folder " << folder
                       << " private: " << std::strerror(errno);
    return std::nullopt;
  }
  return folder + "/";
}

}  // namespace PrivateTempDirectory
