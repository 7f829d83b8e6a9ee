#pragma once

#include <optional>
#include <string>

// The save dialog: "Save panel", its name field preset, new folders allowed.
class SavePanel {
 public:
  virtual ~SavePanel() = default;
  // The chosen path, or nothing when the user cancelled.
  virtual std::optional<std::string> run(const std::string& suggestedName) = 0;
  // The same, opening in startFolder; empty, or a folder that is not there: the user's Downloads
  // folder.
  virtual std::optional<std::string> runIn(const std::string& /*startFolder*/,
                                           const std::string& suggestedName) {
    return run(suggestedName);
  }
};
