#pragma once

#include "ports/Shares.h"

// Windows shares through GIO and GVfs on the session bus. GVfs mounts a share for the whole
// session and serves its files under $XDG_RUNTIME_DIR/gvfs (FUSE). Each call runs on a thread of
// its own while the desktop's events go on being served, so the tray menu answers while a
// server takes its time; the call itself returns only when done.
class GioShares final : public Shares {
 public:
  std::optional<std::string> unavailable() override;
  std::optional<std::string> mountedAt(const std::string& shareUrl) override;
  Mounting mount(const std::string& shareUrl, const std::optional<ShareLogin>& login) override;
  std::optional<std::string> localFile(const std::string& fileUrl,
                                       const std::string& copyFolder) override;
};
