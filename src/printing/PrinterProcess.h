#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ports/PrintSystem.h"

class Paths;
class PrintDialog;
class ProgressIndicator;
struct JobValues;
struct PrintDialogRequest;
struct Settings;

// Prints PDF documents: the bytes go to CUPS unchanged with the job's options, through the
// print dialog when the job or the user's switches ask for it.
class PrinterProcess {
 public:
  struct Services {
    PrintSystem& printSystem;
    PrintDialog& dialog;
    ProgressIndicator& progress;
    const Paths& paths;
  };

  // Everything the clipboard routine is given; tray, duplex, collate and copies are the current
  // job settings.
  struct ClipboardPrint {
    std::string_view document;
    bool dialog = false;
    std::string tray;
    std::int32_t duplex = 0;
    std::string printerName;  // "" means the default printer
    bool chkState = false;    // the "MappedSettings" switch: duplex, input slot and paper size
    std::string collate;
    std::int32_t copies = 1;
    std::string documentName;  // for the job's name in the print queue; may be empty
  };

  explicit PrinterProcess(const Services& services) : services_(services) {}

  // The clipboard routine. Returns once CUPS has the document, or the dialog was cancelled, or
  // the bytes were no PDF; the caller then finishes the same way in every case.
  void printClipboardDocument(const ClipboardPrint& request, JobValues& job);

  // The folder routine. The first argument is not used. Empties the record's Job afterwards.
  void SendToPrinter(const std::string& unused, Settings& settings);

 private:
  std::optional<std::string> slotFor(const std::string& printer, std::string_view tray);
  // Shows the dialog; false when the user cancelled. Folds the user's choices into the options.
  bool askUser(const PrintDialogRequest& request, std::string& printer, PrintOptions& options);
  void submit(const std::string& printer, std::string_view pdf, const PrintOptions& options);
  // A printer as users know it, for telling where a job went.
  std::string shownPrinter(const std::string& printer);

  Services services_;
};
