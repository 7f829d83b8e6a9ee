#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "intake/JobValues.h"

class Clipboard;
class Paths;
class PrintJobProcess;
class PrintSystem;
class PrinterProcess;
class Ticker;
class WindowsDriverPrint;
class Workspace;

// The central controller of job intake. A one-second tick looks into the redirected folder and,
// when no folder job is ready, at the clipboard; it carries out at most one job per tick, and
// never starts a tick while another one is still running (a modal window inside a job runs a
// nested event loop in which the timer keeps firing).
class PastboardController {
 public:
  struct Services {
    Clipboard& clipboard;
    const Paths& paths;
    PrintSystem& printSystem;
    Ticker& ticker;
    PrintJobProcess& folderJobs;
    JobValues& job;
    PrinterProcess& printer;
    WindowsDriverPrint& rawPrinter;
    Workspace& workspace;
  };

  static constexpr std::string_view kRedirectedFolderName = "ZbDataDrive";
  static constexpr std::string_view kJobFileName = "pjob.data";
  static constexpr std::string_view kReadyMarkerName = "pjobd.data";
  static constexpr std::string_view kNoLocalPrinter = "No local printer";

  explicit PastboardController(const Services& services);

  // Called once after start-up; schedules the job timer.
  void awakeFromNib();
  void getPasteboardContent();

  // One tick.
  void MonitorSharedFolder();
  // The clipboard dispatcher.
  void PrepareDataForPrint();
  // Empties the clipboard: clear, then the empty plain text.
  void returnStringIntoClipboard(Clipboard& clipboard);

  std::string md5(std::string_view text) const;
  std::optional<std::string> AesCBCDecryption(std::string_view data) const;
  // Tray, duplex, colour, then collate and copies when present; empty without a settings block;
  // nothing when the settings are too incomplete to read.
  std::optional<std::vector<std::string>> getValueFromMapedSettings(std::string_view text) const;
  // The duplex number of a duplex text; an unknown text keeps (and returns) the current one.
  std::int32_t getDuplexNumber(std::string_view duplex);
  bool isZbComand() const;
  // Resolves the local printer of a user-defined job and fills the job values.
  void UserDefined(std::string_view keyword, std::string_view text);
  // Whether a printer of exactly that name is installed.
  bool doesPrinterExist(const std::optional<std::string>& name);

  // The clipboard print routine: prints the PDF, then empties the given clipboard (if any).
  void printing(std::string_view document, bool dialog, Clipboard* pasteboard,
                const std::string& tray, std::int32_t duplex, const std::string& printerName,
                const std::string& chkState, const std::string& collate, std::int32_t copies);
  // Sends a Base64 raw payload unchanged to the named printer. The clipboard is not read.
  void printWindowsDriver(std::string_view rawData, const std::string& printerName,
                          Clipboard& pasteboard);

  // Current state, read by the printing side and by tests.
  const std::optional<std::string>& hashTemp() const { return hashTemp_; }
  const std::optional<std::string>& importedStringFile() const { return importedStringFile_; }
  const std::optional<std::string>& pdfFile() const { return pdfFile_; }
  const std::optional<std::string>& settingsBlock() const { return settingsBlock_; }
  const std::optional<std::string>& macPrinterName() const { return macPrinterName_; }
  const std::optional<std::string>& tempURL() const { return tempURL_; }
  const JobValues& jobValues() const { return services_.job; }

 private:
  void tick();
  void handleFolderJob(const std::string& jobFile);
  bool clipboardUnchangedSinceLastLook() const;
  // Parses a product command (settings, command, remainder). False when it must be rejected.
  bool readProductCommand(std::string text, std::string_view keyword);
  // The command phase: what the parsed command asks for.
  void carryOutCommand();
  // Writes the decrypted payload of a product command to the job temporary folder. Returns the
  // payload only Base64-decoded: that is the document the print commands use.
  std::string prepareDocument();
  bool hasResolvedPrinter() const;
  static void reject(std::string_view keyword, std::string_view why);

  Services services_;
  bool tickRunning_ = false;

  std::optional<std::string> hashTemp_;
  std::optional<std::string> importedStringFile_;
  std::optional<std::string> pdfFile_;
  std::optional<std::string> settingsBlock_;
  std::optional<std::string> macPrinterName_;
  std::optional<std::string> name_;
  std::optional<std::string> tempFolderPath_;
  std::optional<std::string> tempURL_;

  // What the last look at the clipboard found, so that an unchanged clipboard is not read again.
  bool lookedAtClipboard_ = false;
  std::uint64_t lastChangeCount_ = 0;
  std::optional<std::string> lastLookDigest_;
};
