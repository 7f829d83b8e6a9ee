#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "intake/PrintJobProcess.h"
#include "ports/Clipboard.h"
#include "ports/Paths.h"
#include "ports/Ticker.h"

// An in-memory clipboard: what another program puts there, and our own writes in order.
class FakeClipboard final : public Clipboard {
 public:
  Content read() override {
    ++reads;
    if (unansweredReads == 0) return {true, content};
    --unansweredReads;
    return {false, std::nullopt};
  }
  void clear() override { write(std::nullopt); }
  void setText(const std::string& text) override { write(text); }
  std::uint64_t changeCount() const override { return changes; }
  void put(std::optional<std::string> text) {
    content = std::move(text);
    ++changes;
  }

  std::optional<std::string> content;
  std::uint64_t changes = 0;
  int reads = 0;
  int unansweredReads = 0;  // the next reads that get no answer, as from an owner too slow
  std::vector<std::optional<std::string>> history;

 private:
  void write(std::optional<std::string> text) {
    put(text);
    history.push_back(std::move(text));
  }
};

class FakeTicker final : public Ticker {
 public:
  void start(std::chrono::milliseconds every, std::function<void()> onTick) override {
    interval = every;
    callback = std::move(onTick);
  }
  void fire() { callback(); }
  std::chrono::milliseconds interval{0};
  std::function<void()> callback;
};

class FixedPaths final : public Paths {
 public:
  explicit FixedPaths(std::filesystem::path home) : home_(std::move(home)) {}
  std::string documentsDirectory() const override { return (home_ / "Documents").string(); }
  std::string desktopDirectory() const override { return (home_ / "Desktop").string(); }
  std::optional<std::string> temporaryDirectory() const override {
    std::filesystem::create_directories(home_ / "tmp");
    return (home_ / "tmp").string() + "/";
  }

 private:
  std::filesystem::path home_;
};

class RecordingFolderJobs final : public PrintJobProcess {
 public:
  void PreProcessDocumentZelbrin(std::string_view text) override {
    received.emplace_back(text);
    if (duringJob) duringJob();
  }
  std::vector<std::string> received;
  std::function<void()> duringJob;  // runs inside the job, as a modal window's event loop would
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelbrin-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs the scope as an ordinary user when the tests run as root, for whom no folder is read-only.
class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() : wasRoot_(::geteuid() == 0) {
    if (wasRoot_ && ::seteuid(65534) != 0) std::perror("seteuid");
  }
  ~AsUnprivilegedUser() {
    if (wasRoot_ && ::seteuid(0) != 0) std::perror("seteuid");
  }
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

 private:
  bool wasRoot_;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

inline void writeFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(content.data(), content.size());
}
