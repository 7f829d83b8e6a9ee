#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Clipboard;
class PrintSystem;
class PrinterPrompt;
class TableViewControler;
class XMLUtil;
struct JobValues;

// A job for a server printer ("USERDEFINEDPDF*" or "USERDEFINEDDRIVER"), once its local printer
// is known.
struct UserDefinedJob {
  bool raw = false;
  std::string data;  // raw printer data as Base64; a PDF decoded
  std::string name;  // the PDF's name in the print queue
  // The local printer to use; nothing when the job is not to be printed.
  std::optional<std::string> printer;
  // The user cancelled the prompt during this job.
  bool promptCancelled = false;
};

// User-defined printers: a server printer that the user has paired once with a local printer
// prints there from then on; an unpaired one asks in the printer prompt, a pair whose local
// printer is gone is forgotten.
class PrinterPairing {
 public:
  struct Services {
    Clipboard& clipboard;
    PrintSystem& printSystem;
    PrinterPrompt& prompt;
    XMLUtil& utilXML;
    TableViewControler& tableView;
    JobValues& job;
  };
  static constexpr std::string_view kNoLocalPrinter = "No local printer";

  explicit PrinterPairing(const Services& services) : services_(services) {}

  // Resolves the local printer of a user-defined job text and reads its settings into the job
  // values; nothing when there is no printer at all or the text is rejected.
  std::optional<UserDefinedJob> UserDefined(std::string_view keyword, std::string_view text);
  // Tray, duplex, colour, copies and collate of a user-defined PDF job; nothing when the text is
  // too short to hold them.
  static std::optional<std::vector<std::string>> getValueFromUserDefinedPDFString(
      std::string_view text);
  bool doesPrinterExist(const std::optional<std::string>& name);

  // The printer prompt: runs it modally and hands its answer to the button actions.
  void RunModalWindow();
  void startBtn(const std::optional<std::string>& selected);
  void cancelBtn();

 private:
  std::optional<UserDefinedJob> userDefinedPdf(std::string_view keyword, std::string_view text);
  std::optional<UserDefinedJob> userDefinedDriver(std::string_view keyword, std::string_view text);
  // Asks the user for the local printer of a server printer, offering first one that can take
  // the job, and naming the job's document (none for raw data); the answer also lands in the job
  // values.
  std::optional<std::string> askForPrinter(std::string_view serverPrinter, bool raw,
                                           std::string_view documentName = {});
  // A printer name that a job may be sent to.
  static std::optional<std::string> usable(const std::optional<std::string>& name);
  struct Paired {
    std::string name;  // the printer name to print on, or the stored one when it is gone
    bool installed = false;
  };
  // The printer of the pair under the key: the queue it was made for, under its name of today.
  Paired pairedPrinter(const std::string& key, std::string_view server);
  // Stores the user's choice; when it cannot be stored, says so once (until a pair is stored).
  void storePair(const std::string& key, std::string_view server, const std::string& printer);

  Services services_;
  bool toldUnsaved_ = false;
};
