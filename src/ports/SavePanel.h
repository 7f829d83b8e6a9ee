#pragma once

#include <optional>
#include <string>

// The save dialog: "Save panel", its name field preset, new folders allowed.
class SavePanel {
 public:
  virtual ~SavePanel() = default;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> run(const std::string& suggestedName) = 0;
};
