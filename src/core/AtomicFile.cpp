#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/Diagnostics.h"
#include "core/FileName.h"

namespace AtomicFile {

namespace {

constexpr std::string_view kMarker = ".tmp-";
constexpr std::string_view kRandom = "XXXXXX";  // what mkstemp replaces with letters and digits

bool fail(const std::string& path, const char* step, const std::string& temporary) {
  const int error = errno;
  Diagnostics::error() << "cannot write " << path << " (" << step << "): " << std::strerror(error);
  if (!temporary.empty()) ::unlink(temporary.c_str());
  errno = error;  // for the caller's own message
  return false;
}

// The temporary name for a file name: ".NAME.tmp-XXXXXX", with NAME cut short where the whole
// would not fit the folder's file system. A document may be named up to the limit itself.
std::string temporaryPattern(const std::string& folder, std::string_view fileName) {
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : FileName::kMaxBytes;
  const std::size_t added = 1 + kMarker.size() + kRandom.size();
  const std::string name =
      room > added ? FileName::shortened(fileName, room - added) : std::string("x");
  return folder + "." + name + std::string(kMarker) + std::string(kRandom);
}

}  // namespace

bool write(const std::string& path, std::string_view content, unsigned mode) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string pattern =
      temporaryPattern(path.substr(0, nameStart), std::string_view(path).substr(nameStart));
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fail(path, "create", "");
  const std::string temporary(name.data());
  const auto abandon = [&](const char* step) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return fail(path, step, temporary);
  };

  const char* data = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return abandon("write");
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  // mkstemp makes 0600; settings files are readable like any of the user's documents.
  if (::fchmod(fd, static_cast<mode_t>(mode)) != 0 || ::fsync(fd) != 0) return abandon("flush");
  if (::close(fd) != 0) return fail(path, "close", temporary);
  if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(path, "rename", temporary);
  return true;
}

bool isTemporaryName(std::string_view fileName) {
  const std::size_t tail = kMarker.size() + kRandom.size();
  if (fileName.size() < 2 + tail || fileName.front() != '.') return false;
  const std::string_view marker = fileName.substr(fileName.size() - tail, kMarker.size());
  const std::string_view random = fileName.substr(fileName.size() - kRandom.size());
  return marker == kMarker && std::all_of(random.begin(), random.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
         });
}

}  // namespace AtomicFile
