#pragma once

#include "ports/Workspace.h"

class QtWorkspace final : public Workspace {
 public:
  void activateApplication() override;
  bool openFile(const std::string& path) override;
  bool openUrl(const std::string& url) override;
};
