#pragma once

#include <functional>
#include <string>
#include <vector>

// A warning attached to a window (a sheet): it does not block, and reports when it is closed.
class Alert {
 public:
  // In English, each text marked QT_TRANSLATE_NOOP("Alert", …): the alert shows it translated.
  struct Message {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;  // the first one is the default
  };

  virtual ~Alert() = default;
  // didEnd receives the index of the button that closed the alert (0 for the first); closing it
  // any other way counts as the last button.
  virtual void beginSheet(const Message& message, std::function<void(int returnCode)> didEnd) = 0;
};
