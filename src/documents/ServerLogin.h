#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ports/Shares.h"

// The server, user name and password of the server-options window. They live in memory only
// and are offered to that one server alone: a job text names any host it likes, and a password
// must never go to a host the user did not name.
class ServerLogin {
 public:
  void set(std::string server, std::string user, std::string password);
  // The login for a share on this host, when the user named it as the server.
  std::optional<ShareLogin> forHost(std::string_view host) const;

 private:
  std::string host_;  // lower case
  ShareLogin login_;
};
