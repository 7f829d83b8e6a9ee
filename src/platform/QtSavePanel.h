#pragma once

#include "ports/SavePanel.h"

class QtSavePanel final : public SavePanel {
 public:
  explicit QtSavePanel(std::string startFolder) : startFolder_(std::move(startFolder)) {}
  std::optional<std::string> run(const std::string& suggestedName) override;

 private:
  std::string startFolder_;
};
