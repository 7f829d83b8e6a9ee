#pragma once

#include <cups/cups.h>

#include "ports/PrintSystem.h"

class CupsDestinations;

// The printing system of the machine, through libcups. Every call asks the scheduler afresh:
// queues come and go while the agent runs.
class CupsPrintSystem final : public PrintSystem {
 public:
  std::vector<std::string> printerNames() override;
  bool serviceAnswered() const override { return answered_; }
  std::optional<std::string> defaultPrinter() override;
  std::optional<std::vector<std::string>> inputSlots(const std::string& printerName) override;
  PrintSubmission printPdf(const std::string& printerName, std::string_view pdf,
                           const PrintOptions& options, const PrintProgress& progress) override;
  bool acceptsRaw(const std::string& printerName) override;
  RawSubmission printRaw(const std::string& printerName, const std::string& filePath,
                         const std::string& jobName) override;

  // The queue a printer name stands for, by the rules every call above follows; nothing when no
  // printer bears that name. For code that speaks to CUPS by queue, such as Qt's print dialog.
  std::optional<std::string> queueFor(const std::string& printerName) override;
  std::optional<std::string> printerOfQueue(const std::string& queue) override;

 private:
  // The queue a printer name stands for: descriptions first, then queue names, both compared
  // exactly. Instances of lpoptions are never matched.
  static const cups_dest_t* resolve(const CupsDestinations& dests, const std::string& name);

  bool answered_ = true;
};
