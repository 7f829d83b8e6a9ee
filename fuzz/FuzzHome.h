#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "ports/Paths.h"

// A home folder of its own for the targets that go through the support files, made once per
// process and removed at exit. In /dev/shm where there is one: the stores fsync every write, and
// on a disk that would make each input cost milliseconds.
class FuzzHome final : public Paths {
 public:
  FuzzHome() {
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "zelbrin-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    home_ = pattern;
    std::filesystem::create_directories(support());
  }
  ~FuzzHome() override {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }
  std::filesystem::path support() const {
    return home_ / "Documents" / "com.kestrova.ZelbrinClient";
  }
  std::string documentsDirectory() const override { return (home_ / "Documents").string(); }
  std::string desktopDirectory() const override { return (home_ / "Desktop").string(); }
  std::optional<std::string> temporaryDirectory() const override { return std::nullopt; }

 private:
  std::filesystem::path home_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

inline std::string readFile(const std::filesystem::path& path) {
  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}
