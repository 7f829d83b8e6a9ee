#pragma once

#include "ports/Process.h"

// The agent's process through Qt. The relaunch helper "zelbrin-relaunch" lies beside the agent's
// executable in the build folder, and in ../libexec/zelbrin-client/ from it once installed.
class QtProcess final : public Process {
 public:
  static constexpr const char* kRelaunchHelper = "zelbrin-relaunch";

  std::string executablePath() const override;
  bool relaunch() override;
};
