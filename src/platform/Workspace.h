#pragma once

// The desktop around the agent.
class Workspace {
 public:
  virtual ~Workspace() = default;
  // Brings the agent's windows in front of the user's other windows.
  virtual void activateApplication() = 0;
};
