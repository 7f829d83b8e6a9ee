#include "config/XMLUtil.h"

#include <filesystem>
#include <iostream>

#include "platform/Paths.h"

std::string XMLUtil::getSavePath() const {
  const std::string path = paths_.documentsDirectory() + "/" + kSupportFolderName;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) {
    std::cerr << "zelbrin-client: cannot create support folder " << path << ": " << error.message()
              << '\n';
  }
  return path;
}
