#pragma once

#include <string_view>

// Dispatcher of the jobs that arrive through the redirected folder (other than the user-defined
// ones, which the monitor routes itself).
class PrintJobProcess {
 public:
  virtual ~PrintJobProcess() = default;
  virtual void PreProcessDocumentZelbrin(std::string_view text);
};
