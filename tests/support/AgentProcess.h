#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Runs a program of ours as a separate process with a private HOME and TMPDIR; DISPLAY and
// CUPS_SERVER come from the test environment. Stopped (SIGTERM, then SIGKILL) on destruction.
class AgentProcess {
 public:
  // extraEnvironment entries ("NAME=value") are added last and win.
  AgentProcess(const std::string& program, const std::filesystem::path& home,
               std::vector<std::string> arguments = {},
               const std::vector<std::string>& extraEnvironment = {});
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  bool running();
  // Stops the process and returns what it wrote to standard error.
  std::string stop();
  std::string standardError() const;
  // The exit status once it has ended by itself; -1 while running or when killed.
  int exitStatus() const { return exitStatus_; }

 private:
  int exitStatus_ = -1;
  pid_t pid_ = -1;
  std::filesystem::path errorLog_;
};

// Polls the condition every 20 ms until it holds or the time is up.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Runs a shell command and returns its standard output; the exit status goes to *status.
std::string runCommand(const std::string& command, int* status = nullptr);
