#pragma once

#include <optional>
#include <string>
#include <vector>

// The small floating window that asks which local printer a server printer should print on.
class PrinterPrompt {
 public:
  struct Answer {
    bool cancelled = false;
    std::optional<std::string> selected;  // OK without a selection leaves it empty
  };

  virtual ~PrinterPrompt() = default;
  // Replaces the printer list (in the order given) and selects the first entry.
  virtual void setPrinters(const std::vector<std::string>& names) = 0;
  // The job that asks, told before prepare(): its document's name (empty where it has none, as
  // raw printer data) and the default printer, which the list marks. The answer stays the
  // printer's name.
  virtual void describeJob(const std::string& /*documentName*/,
                           const std::optional<std::string>& /*defaultPrinter*/) {}
  // Names the server printer that the prompt asks about, and selects the local printer offered
  // first (nothing: no entry is selected).
  virtual void prepare(const std::string& serverPrinter,
                       const std::optional<std::string>& preselected) = 0;
  // Brings the agent to the front, floats the prompt above other windows and runs it modally.
  virtual Answer run() = 0;
};
