#pragma once

#include "ports/LoginItems.h"

// Login items as XDG autostart entries: desktop entries in $XDG_CONFIG_HOME/autostart (by default
// ~/.config/autostart). An entry starts a program when the first word of its Exec line is the
// program's path; it is off when the user set Hidden=true or X-GNOME-Autostart-enabled=false,
// which is what the desktops' own settings write.
class XdgLoginItems final : public LoginItems {
 public:
  // The folder is looked up once, from the environment.
  XdgLoginItems();
  explicit XdgLoginItems(std::string folder) : folder_(std::move(folder)) {}

  State stateOf(const std::string& program) const override;
  bool set(const std::string& program, bool on) override;
  std::string folder() const override { return folder_; }

 private:
  std::string folder_;
};
