#pragma once

#include <string>

// The desktop around the agent.
class Workspace {
 public:
  virtual ~Workspace() = default;
  // Brings the agent's windows in front of the user's other windows.
  virtual void activateApplication() = 0;
  // Opens a document with the application the desktop associates with it.
  virtual bool openFile(const std::string& path) = 0;
  // Opens a link with the desktop's handler.
  virtual bool openUrl(const std::string& url) = 0;
};
