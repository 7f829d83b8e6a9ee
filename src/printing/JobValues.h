#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/JobText.h"

// The current job settings of the clipboard channel and the few values that job intake and
// printing hand each other. One instance lives as long as the agent; a job overwrites only what
// it carries, everything else keeps the value of earlier jobs.
struct JobValues {
  std::string jobTray;
  std::string jobDuplex;
  std::string jobColor;
  std::string jobCollate = "false";
  std::int32_t jobCopies = 1;
  // 1 one-sided, 2 long edge, 3 short edge; 0 until a job names a known duplex value.
  std::int32_t duplexMode = 0;

  bool defaultPrinterJob = false;
  // The "Dialog" switch as a default-printer print found it: the dialog shows unless it is off.
  bool dialogOption = false;
  std::optional<std::string> selectedLocalPrinter;
  // Set by the printer prompt when it returns no printer; cleared at the end of every tick.
  bool printerPromptCancelled = false;

  // Sets the duplex mode from a duplex value; an unknown value keeps (and returns) the last one.
  std::int32_t getDuplexNumber(std::string_view duplex) {
    if (const std::optional<std::int32_t> mode = JobText::duplexNumber(duplex)) duplexMode = *mode;
    return duplexMode;
  }
};
