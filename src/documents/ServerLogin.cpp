#include "documents/ServerLogin.h"

#include <algorithm>

namespace {

std::string lowerCased(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return lower;
}

// The host of what a user types as a server: host, \\host\share, //host/share or smb://host/.
std::string hostOf(std::string_view server) {
  if (server.rfind("smb://", 0) == 0 || server.rfind("SMB://", 0) == 0) server.remove_prefix(6);
  while (!server.empty() &&
         (server.front() == '\\' || server.front() == '/' || server.front() == ' ')) {
    server.remove_prefix(1);
  }
  return lowerCased(server.substr(0, server.find_first_of("\\/ ")));
}

}  // namespace

void ServerLogin::set(std::string server, std::string user, std::string password) {
  host_ = hostOf(server);
  login_ = {std::move(user), std::move(password)};
}

std::optional<ShareLogin> ServerLogin::forHost(std::string_view host) const {
  if (host_.empty() || login_.user.empty() || lowerCased(host) != host_) return std::nullopt;
  return login_;
}
