#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/UserText.h"
#include "ports/PrintSystem.h"

// What the print dialog starts with.
struct PrintDialogRequest {
  std::string printerName;  // preselected printer; empty: the dialog's own choice
  std::int32_t copies = 1;
  bool collate = false;
  std::int32_t duplexMode = 1;    // 1 one-sided, 2 long edge, 3 short edge
  bool pageSetup = false;         // offer the paper settings too
  bool bringToFront = false;      // raise and activate above the user's other windows
  std::optional<PageSize> media;  // the job's paper; nothing leaves it to the queue
  std::string documentName;       // named in the title; may be empty
  std::optional<int> pageCount;   // the page range goes up to it; nothing when it is not known
};

// What the user chose.
struct PrintDialogChoice {
  std::string printerName;  // as the print system accepts it (a queue name is fine)
  std::int32_t copies = 1;
  bool collate = false;
  std::int32_t duplexMode = 1;
  std::optional<std::string> pageRanges;  // "2-5"; nothing for all pages
  std::optional<PageSize> media;          // only when the user chose another paper size
  OptionList options;  // every further choice (tray, quality, pages per sheet, ...)
};

// The print dialog, behind a seam so that tests can pre-answer it.
class PrintDialog {
 public:
  virtual ~PrintDialog() = default;
  // Runs modally; nothing when the user cancels.
  virtual std::optional<PrintDialogChoice> run(const PrintDialogRequest& request) = 0;
};

// Shows how far a large job has got: read, then sent to the printing system.
class ProgressIndicator {
 public:
  // Below this a job is read and sent before a progress window could even be seen.
  static constexpr std::size_t kWorthShowing = 4 * 1024 * 1024;

  virtual ~ProgressIndicator() = default;
  // Shows the window, or relabels the one that is up. A total of 0: how far is not known.
  virtual void begin(const UserText& label, std::size_t total) = 0;
  virtual void advance(std::size_t done) = 0;
  virtual void end() = 0;
};
