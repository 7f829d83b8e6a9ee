#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Size of a page in PostScript points.
struct PageSize {
  double width = 0;
  double height = 0;
};

// Options by their CUPS names, as name and value.
using OptionList = std::vector<std::pair<std::string, std::string>>;

// What a PDF job asks of the printing system. Every value that is absent is left to the queue.
struct PrintOptions {
  bool collate = false;                // always sent, both ways: some queues default to collated
  std::optional<std::int32_t> copies;  // only when the copy count applies
  std::optional<std::int32_t> duplexMode;  // 1 one-sided, 2 long edge, 3 short edge
  std::optional<std::string> inputSlot;    // a choice of the queue's InputSlot option, or "Default"
  std::optional<PageSize> media;           // the document's first page
  std::optional<std::string> pageRanges;   // "1-3,5", as chosen in the print dialog
  std::string jobName = "Zelbrin Client";  // what users see in their print queue
  OptionList extraOptions;  // chosen in the print dialog; they win over the values above
};

struct PrintSubmission {
  bool submitted = false;
  int jobId = 0;
  std::string error;  // what went wrong, for the log, when not submitted
};

// Outcome of a raw submission; the caller words the message for each refusal.
struct RawSubmission {
  enum class Result {
    Submitted,
    NotAPrinter,         // no printer bears that name
    PrinterUnavailable,  // listed, but CUPS would not hand over the destination
    FormatsUnavailable,  // the printer's accepted formats could not be read
    RawNotSupported,     // the printer does not accept application/vnd.cups-raw
    SubmitFailed,
  };
  Result result = Result::SubmitFailed;
  int status = 0;  // the IPP status where CUPS gave one
  int jobId = 0;
  std::string error;
};

// Called while a document streams to the printing system: bytes sent so far, and in all.
using PrintProgress = std::function<void(std::size_t sent, std::size_t total)>;

// The local printing system. A printer name is what users see: a queue's description, or its
// queue name when it has none. Wherever a printer name is taken, a queue name is accepted too.
class PrintSystem {
 public:
  virtual ~PrintSystem() = default;

  virtual std::vector<std::string> printerNames() = 0;
  // Whether the print service answered the last printerNames(): an empty list from a service
  // that is down or frozen means "not now", not "no printer".
  virtual bool serviceAnswered() const { return true; }
  // Whether a printer of exactly that name is installed.
  bool hasPrinter(const std::string& name) {
    const std::vector<std::string> names = printerNames();
    return std::find(names.begin(), names.end(), name) != names.end();
  }
  // The queue a printer name reaches now, and the printer name of a queue; nothing when there is
  // none. A pair keeps the queue it reached when it was made, so that it keeps reaching it when
  // another queue comes to share its description. Where names are queues, both are the name.
  virtual std::optional<std::string> queueFor(const std::string& printerName) {
    return hasPrinter(printerName) ? std::optional(printerName) : std::nullopt;
  }
  virtual std::optional<std::string> printerOfQueue(const std::string& queue) {
    return hasPrinter(queue) ? std::optional(queue) : std::nullopt;
  }
  // The default printer, named as printerNames() names it; nothing when there is none.
  virtual std::optional<std::string> defaultPrinter() = 0;
  // The choices of the printer's InputSlot option; nothing when it offers none.
  virtual std::optional<std::vector<std::string>> inputSlots(const std::string& printerName) = 0;
  // Sends the PDF bytes unchanged, with the options; an empty or unknown printer name means the
  // default destination. Returns once CUPS has the whole document.
  virtual PrintSubmission printPdf(const std::string& printerName, std::string_view pdf,
                                   const PrintOptions& options, const PrintProgress& progress) = 0;
  // Whether the printer takes application/vnd.cups-raw (false when it cannot be asked).
  virtual bool acceptsRaw(const std::string& printerName) = 0;
  // Sends the file's bytes unchanged as application/vnd.cups-raw to the named printer, after
  // checking that it exists and accepts that format. The file is not needed once this returns.
  virtual RawSubmission printRaw(const std::string& printerName, const std::string& filePath,
                                 const std::string& jobName) = 0;
};
