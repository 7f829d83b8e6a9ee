#pragma once

#include "platform/Workspace.h"

class QtWorkspace final : public Workspace {
 public:
  void activateApplication() override;
};
