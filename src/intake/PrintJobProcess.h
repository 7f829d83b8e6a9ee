#pragma once

#include <optional>
#include <string_view>

#include "printing/Settings.h"

class Log;
class MD5HashCompare;
class OpenPrintJob;
class PrintSystem;
class PrinterProcess;
class SavePrintJob;

// Dispatcher of the jobs that arrive through the redirected folder (other than the user-defined
// ones, which the monitor routes itself): every job is logged; a print job whose payload is the
// last one's is dropped, while open, save and open-link jobs always run; the keyword, in its
// exact casing, decides where the job goes.
class PrintJobProcess {
 public:
  struct Services {
    PrintSystem& printSystem;
    const Log& log;
    MD5HashCompare& digests;
    PrinterProcess& printer;
    SavePrintJob& saver;
    OpenPrintJob& opener;
  };

  explicit PrintJobProcess(const Services& services) : services_(services) {}
  virtual ~PrintJobProcess() = default;

  // False when the job waits (a print job while the print service does not answer): its files
  // stay for a later tick, nothing is logged or remembered of it.
  virtual bool PreProcessDocumentZelbrin(std::string_view text);
  // The job's settings; nothing when the text lacks a field they need.
  std::optional<Settings> ReadDocument(std::string_view text);

 private:
  Services services_;
};
