#pragma once

#include "ports/SavePanel.h"

class QtSavePanel final : public SavePanel {
 public:
  std::optional<std::string> run(const std::string& suggestedName) override;
  std::optional<std::string> runIn(const std::string& startFolder,
                                   const std::string& suggestedName) override;
};
