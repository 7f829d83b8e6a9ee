#pragma once

#include <string>

// The running agent as a process.
class Process {
 public:
  virtual ~Process() = default;
  // The absolute path of the running executable.
  virtual std::string executablePath() const = 0;
  // Starts the relaunch helper, which waits for this process to end and starts the agent again,
  // and asks the application to quit. False when the helper could not be started; the agent then
  // stays (the reason went to standard error).
  virtual bool relaunch() = 0;
};
