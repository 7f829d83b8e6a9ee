#include "documents/ShareTarget.h"

#include <cstdio>

namespace {

bool isHostCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

bool hasControl(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f) return true;
  }
  return false;
}

std::string percentEncoded(std::string_view text) {
  std::string encoded;
  for (const char c : text) {
    if (isHostCharacter(c) || c == '~') {
      encoded += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
      encoded += escape;
    }
  }
  return encoded;
}

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = text.find('/', start);
    parts.push_back(text.substr(start, slash - start));
    if (slash == std::string_view::npos) return parts;
    start = slash + 1;
  }
}

}  // namespace

UncReading ShareTarget::fromUnc(std::string_view text) {
  std::string converted(text);
  for (char& c : converted) {
    if (c == '\\') c = '/';
  }
  const std::vector<std::string_view> parts = split(converted);
  if (parts.size() < 4 || !parts[0].empty() || !parts[1].empty() || parts[2].empty() ||
      parts[3].empty()) {
    return {std::nullopt, "it is neither a web link nor a UNC path with a host and a share"};
  }
  for (const char c : parts[2]) {
    if (!isHostCharacter(c)) return {std::nullopt, "the host name is not a plain name"};
  }
  if (hasControl(converted)) return {std::nullopt, "it holds control characters"};
  ShareTarget target;
  target.host = parts[2];
  target.share = parts[3];
  for (std::size_t i = 4; i < parts.size(); ++i) {
    // A doubled separator reads as one; a step up would leave the share.
    if (parts[i].empty() || parts[i] == ".") continue;
    if (parts[i] == "..") return {std::nullopt, "it leads out of the share"};
    target.below.emplace_back(parts[i]);
  }
  return {std::move(target), ""};
}

std::string ShareTarget::shareUrl() const {
  return "smb://" + host + "/" + percentEncoded(share) + "/";
}

std::string ShareTarget::fileUrl() const {
  std::string url = shareUrl();
  for (std::size_t i = 0; i < below.size(); ++i) {
    if (i > 0) url += '/';
    url += percentEncoded(below[i]);
  }
  return url;
}
