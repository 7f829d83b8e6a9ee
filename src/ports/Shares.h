#pragma once

#include <optional>
#include <string>

// A user name and password for a share that refuses anonymous access. Held in memory only.
struct ShareLogin {
  std::string user;
  std::string password;
};

// Windows shares as the desktop reaches them. Every call may take as long as the network does;
// implementations keep the desktop responsive meanwhile, but return only when done.
class Shares {
 public:
  struct Mounting {
    bool mounted = false;
    int code = 0;  // the platform's error code when not mounted
    std::string message;
  };

  virtual ~Shares() = default;

  // Why shares cannot be reached at all here (no session bus, no GVfs), or nothing.
  virtual std::optional<std::string> unavailable() = 0;
  // Where a mounted share of that URL ("smb://host/share/") is: its local folder, or its own URL
  // when it has none. Nothing when no mounted volume serves that host and share.
  virtual std::optional<std::string> mountedAt(const std::string& shareUrl) = 0;
  // Mounts the share, anonymously first; the login, when there is one, if the server asks again.
  // A share that is mounted already counts as mounted.
  virtual Mounting mount(const std::string& shareUrl, const std::optional<ShareLogin>& login) = 0;
  // A local file with the bytes of the file at that URL: the mounted share's own path, or a copy
  // written into copyFolder. Nothing when the file cannot be read.
  virtual std::optional<std::string> localFile(const std::string& fileUrl,
                                               const std::string& copyFolder) = 0;
};
