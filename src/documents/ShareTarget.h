#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct UncReading;

// A file on a Windows share, named by its UNC path \\host\share\dir\file.ext.
struct ShareTarget {
  std::string host;
  std::string share;
  std::vector<std::string> below;  // the path under the share, one entry per folder or file

  // The target of a UNC path; nothing, with the reason, when the text is no UNC path with a host
  // and a share, or names a place outside the share.
  static UncReading fromUnc(std::string_view text);

  // "smb://host/share/", the share percent-encoded.
  std::string shareUrl() const;
  // The share URL followed by the path under it, each part percent-encoded.
  std::string fileUrl() const;
};

struct UncReading {
  std::optional<ShareTarget> target;
  std::string problem;
};
