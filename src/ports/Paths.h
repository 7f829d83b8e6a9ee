#pragma once

#include <optional>
#include <string>

// Where the user's folders are. Paths carry no trailing separator unless stated.
class Paths {
 public:
  virtual ~Paths() = default;

  virtual std::string documentsDirectory() const = 0;
  virtual std::string desktopDirectory() const = 0;
  // The private per-user temporary folder; its text ends with "/". Nothing when it cannot be
  // had safely (see PrivateTempDirectory).
  virtual std::optional<std::string> temporaryDirectory() const = 0;
};
