#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "intake/FolderCarrier.h"
#include "printing/JobValues.h"

class Clipboard;
class Paths;
class PrintJobProcess;
class PrintSystem;
class PrinterProcess;
class PrinterPrompt;
class SavePanel;
class TableViewControler;
class Ticker;
class WindowsDriverPrint;
class Workspace;
class XMLUtil;

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
    PrinterPrompt& prompt;
    SavePanel& savePanel;
    XMLUtil& utilXML;
    TableViewControler& tableView;
  };

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
  // Tray, duplex, colour, copies and collate of a user-defined PDF job; nothing when the text
  // is too short to hold them.
  std::optional<std::vector<std::string>> getValueFromUserDefinedPDFString(
      std::string_view text) const;

  // The printer prompt: runs it modally and hands its answer to the button actions.
  void RunModalWindow();
  void startBtn(const std::optional<std::string>& selected);
  void cancelBtn();

  // The save command: asks where, then writes the document (never decrypted).
  void saveFile(const std::string& name, Clipboard& pasteboard);
  // The open command: opens the temporary copy, or the web link a text file holds.
  void openFile(const std::string& path);

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
  const std::optional<std::string>& ServerPrinter() const { return ServerPrinter_; }
  const JobValues& jobValues() const { return services_.job; }

 private:
  void tick();
  void handleFolderJob(const std::optional<std::string>& text);
  bool clipboardUnchangedSinceLastLook() const;
  // Parses a product command (settings, command, remainder). False when it must be rejected.
  bool readProductCommand(std::string text, std::string_view keyword);
  // The command phase: what the parsed command asks for.
  void carryOutCommand();
  // Writes the decrypted payload of a product command to the job temporary folder. Returns the
  // payload only Base64-decoded: that is the document the print commands use.
  std::string prepareDocument();
  bool hasResolvedPrinter() const;
  void userDefinedPdf(std::string_view keyword, std::string_view text);
  void userDefinedDriver(std::string_view keyword, std::string_view text);
  // Asks the user for the local printer of a server printer; the answer lands in the job values.
  std::optional<std::string> askForPrinter(std::string_view serverPrinter, bool raw);
  void sendFolderUserDefinedJob(const std::string& keyword);
  static void reject(std::string_view keyword, std::string_view why);

  Services services_;
  FolderCarrier folder_{services_.paths};
  bool tickRunning_ = false;

  std::optional<std::string> hashTemp_;
  std::optional<std::string> importedStringFile_;
  std::optional<std::string> pdfFile_;
  std::optional<std::string> settingsBlock_;
  std::optional<std::string> macPrinterName_;
  std::optional<std::string> name_;
  std::optional<std::string> tempFolderPath_;
  std::optional<std::string> tempURL_;
  std::optional<std::string> file_;
  std::optional<std::string> ServerPrinter_;
  // Whether this job's payload decrypted into the temporary copy: a copy left by an earlier job
  // under the same name must never be opened in its place.
  bool tempCopyWritten_ = false;

  // What the last look at the clipboard (a read that got an answer) found, so that an unchanged
  // clipboard is not read again.
  bool lookedAtClipboard_ = false;
  std::uint64_t lastChangeCount_ = 0;
  std::optional<std::string> lastLookDigest_;
};
