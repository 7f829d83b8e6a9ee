#pragma once

#include <QProcess>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Runs a program of ours as a separate process with a private HOME, TMPDIR and XDG folders;
// DISPLAY and CUPS_SERVER come from the test environment. Stopped on destruction.
class AgentProcess {
 public:
  // extraEnvironment entries ("NAME=value") win over the rest.
  AgentProcess(const std::string& program, const std::filesystem::path& home,
               const std::vector<std::string>& arguments = {},
               const std::vector<std::string>& extraEnvironment = {});
  ~AgentProcess() { stop(); }

  bool running() {
    process_.waitForFinished(0);
    return process_.state() != QProcess::NotRunning;
  }
  qint64 processId() const { return process_.processId(); }
  // The exit status once it has ended by itself; -1 while running or when it crashed.
  int exitStatus() const;
  // Stops the process and returns what it wrote to standard error.
  std::string stop();
  std::string standardError() const;
  std::string standardOutput() const;

 private:
  QProcess process_;
  std::filesystem::path errorLog_;
  std::filesystem::path outputLog_;
};

// Polls the condition every 20 ms, letting Qt's events through, until it holds or time is up.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit);

// Runs a shell command and returns its standard output; the exit status goes to *status.
std::string runCommand(const std::string& command, int* status = nullptr);
