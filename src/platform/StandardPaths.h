#pragma once

#include "ports/Paths.h"

// The XDG user folders through QStandardPaths, looked up once: the one-second tick asks for the
// Documents folder every time and must not re-read user-dirs.dirs for it.
class StandardPaths final : public Paths {
 public:
  StandardPaths();

  std::string documentsDirectory() const override { return documents_; }
  std::string desktopDirectory() const override { return desktop_; }
  std::optional<std::string> temporaryDirectory() const override;

 private:
  std::string documents_;
  std::string desktop_;
};
