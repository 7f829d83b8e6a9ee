#pragma once

#include "ports/Process.h"

// The agent's process through Qt. The relaunch helper "zelbrin-relaunch" is installed beside
// the agent's executable.
class QtProcess final : public Process {
 public:
  static constexpr const char* kRelaunchHelper = "zelbrin-relaunch";

  std::string executablePath() const override;
  bool relaunch() override;
};
