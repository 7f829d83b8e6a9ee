#include "intake/PastboardController.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>

#include "core/AtomicFile.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "documents/OpenPolicy.h"
#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/FileName.h"
#include "core/JobText.h"
#include "intake/PrintJobProcess.h"
#include "core/TextValue.h"
#include "core/Utf8.h"
#include "ports/Clipboard.h"
#include "core/FileSystem.h"
#include "ports/Paths.h"
#include "ports/PrintSystem.h"
#include "ports/SavePanel.h"
#include "ports/Ticker.h"
#include "ports/Workspace.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"

namespace {

// Ends a tick whichever way it leaves: the next tick may start, and a cancelled prompt does not
// outlive the job it belonged to.
class TickScope {
 public:
  TickScope(bool& running, bool& promptCancelled)
      : running_(running), promptCancelled_(promptCancelled) {
    running_ = true;
  }
  ~TickScope() {
    promptCancelled_ = false;
    running_ = false;
  }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;

 private:
  bool& running_;
  bool& promptCancelled_;
};

// Job texts come from another machine: keep what we echo to the log short and printable.
std::string printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 40)) {
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return out;
}

bool hasBatExtension(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && dot > 0 && JobText::upperCased(name.substr(dot + 1)) == "BAT";
}

}  // namespace

PastboardController::PastboardController(const Services& services) : services_(services) {}

void PastboardController::awakeFromNib() { getPasteboardContent(); }

void PastboardController::getPasteboardContent() {
  services_.ticker.start(std::chrono::milliseconds(1000), [this] { MonitorSharedFolder(); });
}

void PastboardController::MonitorSharedFolder() {
  if (tickRunning_) return;  // a modal window of the running job is up
  const TickScope scope(tickRunning_, services_.job.printerPromptCancelled);
  try {
    tick();
  } catch (const std::exception& error) {
    // A job must never take the agent down; the timer goes on with the next tick.
    std::cerr << "zelbrin-client: job abandoned: " << error.what() << '\n';
  }
}

void PastboardController::tick() {
  const std::optional<FolderCarrier::Job> job = folder_.ready();
  if (!job) {
    PrepareDataForPrint();
    return;
  }
  handleFolderJob(job->text);
  folder_.finish(*job);
}

void PastboardController::handleFolderJob(const std::optional<std::string>& text) {
  if (!text) {
    std::cerr << "zelbrin-client: ready marker without a readable "
              << FolderCarrier::kJobFileName << "; job dropped\n";
    return;
  }
  if (!Utf8::isValid(*text)) {
    std::cerr << "zelbrin-client: " << FolderCarrier::kJobFileName
              << " is not UTF-8 text; job dropped\n";
    return;
  }
  const std::string_view keyword = JobText::keyword(*text);
  const JobText::Kind kind = JobText::classify(keyword);
  if (kind != JobText::Kind::UserDefinedDriver && kind != JobText::Kind::UserDefinedPdf) {
    services_.folderJobs.PreProcessDocumentZelbrin(*text);
    return;
  }
  const std::string upper = JobText::upperCased(keyword);
  UserDefined(upper, *text);
  sendFolderUserDefinedJob(upper);
}

void PastboardController::sendFolderUserDefinedJob(const std::string& keyword) {
  JobValues& job = services_.job;
  if (keyword == JobText::kUserDefinedDriver) {
    if (!job.printerPromptCancelled && hasResolvedPrinter()) {
      services_.rawPrinter.printWindowsDriver(job.rawJobData.value_or(""), *macPrinterName_);
    }
    return;
  }
  if (macPrinterName_ && *macPrinterName_ != kNoLocalPrinter) {
    const std::string mapped =
        TableViewControler::GetOptionsValue(services_.paths.documentsDirectory(),
                                            TableViewControler::kMappedSettings)
            .value_or("");
    printing(job.userDefinedPdfData.value_or(""), false, nullptr, job.jobTray, job.duplexMode,
             *macPrinterName_, mapped, job.jobCollate, job.jobCopies);
  }
}

bool PastboardController::clipboardUnchangedSinceLastLook() const {
  if (!lookedAtClipboard_ || services_.clipboard.changeCount() != lastChangeCount_) return false;
  // Unchanged text: the last look ended the dispatch early (no job text, or a digest equal to
  // the stored one) and would do so again, unless the stored digest has moved since.
  return !lastLookDigest_ || lastLookDigest_ == hashTemp_;
}

void PastboardController::PrepareDataForPrint() {
  if (clipboardUnchangedSinceLastLook()) return;
  const std::uint64_t changeCount = services_.clipboard.changeCount();
  Clipboard::Content content = services_.clipboard.read();
  // Without an answer nothing was seen: the job that may be on offer is read on a later tick.
  if (!content.answered) return;
  lookedAtClipboard_ = true;
  lastChangeCount_ = changeCount;
  lastLookDigest_.reset();

  std::optional<std::string>& text = content.text;
  if (!text || !JobText::hasSeparator(*text)) return;

  std::string digest = md5(*text);
  lastLookDigest_ = digest;
  if (digest == hashTemp_) return;
  hashTemp_ = std::move(digest);

  importedStringFile_.reset();
  pdfFile_.reset();
  name_.reset();

  const std::string keyword(JobText::keyword(*text));
  switch (JobText::classify(keyword)) {
    case JobText::Kind::UserDefinedDriver:
    case JobText::Kind::UserDefinedPdf:
      UserDefined(keyword, *text);
      break;
    case JobText::Kind::Product:
      if (!readProductCommand(std::move(*text), keyword)) return;
      break;
    case JobText::Kind::Other:
      return;
  }
  carryOutCommand();
}

bool PastboardController::readProductCommand(std::string text, std::string_view keyword) {
  const std::optional<std::vector<std::string>> values = getValueFromMapedSettings(text);
  if (!values) {
    reject(keyword, "its settings block is incomplete");
    return false;
  }
  std::optional<std::string> block;
  if (!values->empty()) {
    block = JobText::settingsBlock((*values)[0], (*values)[1], (*values)[2]);
    // The text is ours: cut the block out in place rather than copying a large payload.
    JobText::eraseAll(text, *block);
  }
  const std::size_t first = text.find(JobText::kSeparator);
  // The command phase reads the document name and the payload: fields 1 and 2 of the remainder.
  if (first == std::string::npos ||
      JobText::fieldView(std::string_view(text).substr(first)).size() < 3) {
    reject(keyword, "it lacks the document name or the payload");
    return false;
  }

  if (!values->empty()) {
    JobValues& job = services_.job;
    job.jobTray = (*values)[0];
    job.jobDuplex = (*values)[1];
    job.jobColor = (*values)[2];
    if (values->size() > 3) job.jobCollate = (*values)[3];
    if (values->size() > 4) job.jobCopies = TextValue::integerValue((*values)[4]);
    getDuplexNumber(job.jobDuplex);
    settingsBlock_ = std::move(block);
  }
  importedStringFile_ = text.substr(0, first);
  text.erase(0, first);
  pdfFile_ = std::move(text);
  return true;
}

void PastboardController::carryOutCommand() {
  if (!importedStringFile_) return;
  Clipboard& clipboard = services_.clipboard;
  JobValues& job = services_.job;
  const std::string command = *importedStringFile_;
  const std::string upper = JobText::upperCased(command);

  if (command == JobText::kZelbrinSave) {
    const auto fields = JobText::fieldView(*pdfFile_);
    file_ = std::string(fields[2]);
    saveFile(std::string(fields[1]), clipboard);
  }
  if (services_.printSystem.printerNames().empty()) {
    std::cerr << "zelbrin-client: no local printer; \"" << printable(command)
              << "\" job not carried out\n";
    return;
  }

  std::string document;
  if (isZbComand()) document = prepareDocument();

  const std::string documents = services_.paths.documentsDirectory();
  if (command == JobText::kZelbrinPrinter) {
    printing(document, true, &clipboard, job.jobTray, job.duplexMode, "", "0", job.jobCollate,
             job.jobCopies);
  } else if (command == JobText::kZelbrinDefault) {
    services_.workspace.activateApplication();
    job.defaultPrinterJob = true;
    job.dialogOption =
        TableViewControler::GetOptionsValue(documents, TableViewControler::kDialog).value_or("");
    printing(document, false, &clipboard, job.jobTray, job.duplexMode, "", "0", job.jobCollate,
             job.jobCopies);
    clipboard.setText("");
  } else if (upper == JobText::kUserDefinedDriver && hasResolvedPrinter()) {
    printWindowsDriver(job.rawJobData.value_or(""), *macPrinterName_, clipboard);
  } else if (upper == JobText::kUserDefinedPdf && hasResolvedPrinter()) {
    const std::string mapped =
        TableViewControler::GetOptionsValue(documents, TableViewControler::kMappedSettings)
            .value_or("");
    printing(job.userDefinedPdfData.value_or(""), false, &clipboard, job.jobTray, job.duplexMode,
             *macPrinterName_, mapped, job.jobCollate, job.jobCopies);
  } else if (command == JobText::kZelbrinOpen) {
    openFile(tempURL_.value_or(""));
    hashTemp_.reset();
  }
  if (isZbComand()) returnStringIntoClipboard(clipboard);
}

std::string PastboardController::prepareDocument() {
  tempCopyWritten_ = false;
  const auto fields = JobText::fieldView(*pdfFile_);
  name_ = std::string(fields[1]);
  const std::string_view dataToDecrypt = fields[2];
  std::string document = Base64::dataFromBase64String(dataToDecrypt);

  const std::optional<std::string> temporary = services_.paths.temporaryDirectory();
  if (!temporary) return document;
  tempFolderPath_ = *temporary + XMLUtil::kSupportFolderName;
  std::error_code ignored;
  std::filesystem::create_directories(*tempFolderPath_, ignored);
  std::string fileName = FileName::plain(*name_);
  if (hasBatExtension(fileName)) fileName = fileName.substr(0, fileName.rfind('.')) + ".txt";
  tempURL_ = *tempFolderPath_ + "/" + fileName;
  if (const std::optional<std::string> plain = AesCBCDecryption(document)) {
    tempCopyWritten_ = AtomicFile::write(*tempURL_, *plain, 0600);
  }
  return document;
}

bool PastboardController::hasResolvedPrinter() const {
  return macPrinterName_ && !macPrinterName_->empty() && *macPrinterName_ != kNoLocalPrinter;
}

bool PastboardController::doesPrinterExist(const std::optional<std::string>& name) {
  return name && services_.printSystem.hasPrinter(*name);
}

void PastboardController::printing(std::string_view document, bool dialog, Clipboard* pasteboard,
                                   const std::string& tray, std::int32_t duplex,
                                   const std::string& printerName, const std::string& chkState,
                                   const std::string& collate, std::int32_t copies) {
  PrinterProcess::ClipboardPrint request;
  request.document = document;
  request.dialog = dialog;
  request.tray = tray;
  request.duplex = duplex;
  request.printerName = printerName;
  request.chkState = chkState;
  request.collate = collate;
  request.copies = copies;
  request.documentName = name_.value_or("");
  services_.printer.printClipboardDocument(request, services_.job);
  if (pasteboard != nullptr) returnStringIntoClipboard(*pasteboard);
}

void PastboardController::printWindowsDriver(std::string_view rawData,
                                             const std::string& printerName,
                                             Clipboard& /*pasteboard*/) {
  services_.rawPrinter.printWindowsDriver(rawData, printerName);
}

void PastboardController::reject(std::string_view keyword, std::string_view why) {
  std::cerr << "zelbrin-client: ignoring a \"" << printable(keyword) << "\" job: " << why << '\n';
}

void PastboardController::returnStringIntoClipboard(Clipboard& clipboard) {
  clipboard.clear();
  clipboard.setText("");
}

std::string PastboardController::md5(std::string_view text) const { return Crypto::md5Hex(text); }

std::optional<std::string> PastboardController::AesCBCDecryption(std::string_view data) const {
  return Crypto::aesCbcDecrypt(data);
}

std::optional<std::vector<std::string>> PastboardController::getValueFromMapedSettings(
    std::string_view text) const {
  return JobText::productSettings(text);
}

std::int32_t PastboardController::getDuplexNumber(std::string_view duplex) {
  // An unknown value keeps the last known mode.
  if (const std::optional<std::int32_t> mode = JobText::duplexNumber(duplex)) {
    services_.job.duplexMode = *mode;
  }
  return services_.job.duplexMode;
}

bool PastboardController::isZbComand() const {
  if (!importedStringFile_) return false;
  const std::string& command = *importedStringFile_;
  return command == JobText::kZelbrinPrinter || command == JobText::kZelbrinDefault ||
         command == JobText::kZelbrinSave || command == JobText::kZelbrinOpen;
}

void PastboardController::saveFile(const std::string& name, Clipboard& pasteboard) {
  pasteboard.clear();
  returnStringIntoClipboard(pasteboard);
  const std::optional<std::string> path = services_.savePanel.run(FileName::plain(name));
  if (!path) return;
  returnStringIntoClipboard(pasteboard);
  // Never decrypted: the save command's payload is the document itself.
  if (!AtomicFile::write(*path, Base64::dataFromBase64String(file_.value_or("")))) {
    std::cerr << "zelbrin-client: the document was not saved\n";
  }
}

void PastboardController::openFile(const std::string& path) {
  if (!tempCopyWritten_) {
    std::cerr << "zelbrin-client: the document to open did not decrypt; nothing opened\n";
    return;
  }
  const std::size_t dot = path.rfind('.');
  if (dot != std::string::npos && JobText::upperCased(path.substr(dot + 1)) == "TXT") {
    const std::optional<std::string> text = FileSystem::readRegularFile(path);
    if (text) {
      if (const std::optional<std::string> link = OpenPolicy::linkInText(*text)) {
        if (OpenPolicy::isWebLink(*link)) {
          services_.workspace.openUrl(*link);
        } else {
          std::cerr << "zelbrin-client: not opening \"" << printable(*link)
                    << "\": only http and https links are opened\n";
        }
        return;
      }
    }
  }
  if (const std::optional<std::string> why = OpenPolicy::refusal(path)) {
    std::cerr << "zelbrin-client: not opening " << path << ": " << *why << '\n';
    return;
  }
  services_.workspace.openFile(path);
}
