#pragma once

#include <string>

class Paths;

// Home of the agent's files: ~/Documents/com.kestrova.ZelbrinClient.
class XMLUtil {
 public:
  static constexpr const char* kSupportFolderName = "com.kestrova.ZelbrinClient";

  explicit XMLUtil(const Paths& paths) : paths_(paths) {}

  // The support folder, created with any missing parents; no trailing separator. A folder that
  // cannot be created is reported on standard error, and the path is returned all the same so
  // that the write that follows fails and is reported too.
  std::string getSavePath() const;

 private:
  const Paths& paths_;
};
