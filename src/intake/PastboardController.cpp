#include "intake/PastboardController.h"

#include <exception>
#include <iostream>

#include "intake/Crypto.h"
#include "intake/JobText.h"
#include "intake/PrintJobProcess.h"
#include "intake/TextValue.h"
#include "platform/Clipboard.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Ticker.h"

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
  const std::string folder =
      services_.paths.documentsDirectory() + "/" + std::string(kRedirectedFolderName);
  const std::string marker = folder + "/" + std::string(kReadyMarkerName);
  if (!FileSystem::exists(marker)) {
    PrepareDataForPrint();
    return;
  }
  const std::string jobFile = folder + "/" + std::string(kJobFileName);
  handleFolderJob(jobFile);
  // The job file first: a marker left alone would make the next tick read a half-gone job.
  FileSystem::remove(jobFile);
  FileSystem::remove(marker);
}

void PastboardController::handleFolderJob(const std::string& jobFile) {
  const std::optional<std::string> text = FileSystem::readRegularFile(jobFile);
  if (!text) {
    std::cerr << "zelbrin-client: ready marker without a readable " << kJobFileName
              << "; job dropped\n";
    return;
  }
  if (!JobText::isValidUtf8(*text)) {
    std::cerr << "zelbrin-client: " << kJobFileName << " is not UTF-8 text; job dropped\n";
    return;
  }
  const std::string_view keyword = JobText::keyword(*text);
  const JobText::Kind kind = JobText::classify(keyword);
  if (kind != JobText::Kind::UserDefinedDriver && kind != JobText::Kind::UserDefinedPdf) {
    services_.folderJobs.PreProcessDocumentZelbrin(*text);
    return;
  }
  UserDefined(JobText::upperCased(keyword), *text);
  // Sending the resolved job arrives with the printer pairs; until a printer is resolved there
  // is nothing to send.
}

bool PastboardController::clipboardUnchangedSinceLastLook() const {
  if (!lookedAtClipboard_ || services_.clipboard.changeCount() != lastChangeCount_) return false;
  // Unchanged text: the last look ended the dispatch early (no job text, or a digest equal to
  // the stored one) and would do so again, unless the stored digest has moved since.
  return !lastLookDigest_ || lastLookDigest_ == hashTemp_;
}

void PastboardController::PrepareDataForPrint() {
  if (clipboardUnchangedSinceLastLook()) return;
  lookedAtClipboard_ = true;
  lastChangeCount_ = services_.clipboard.changeCount();
  lastLookDigest_.reset();

  std::optional<std::string> text = services_.clipboard.text();
  if (!text || !JobText::hasSeparator(*text)) return;

  std::string digest = md5(*text);
  lastLookDigest_ = digest;
  if (digest == hashTemp_) return;
  hashTemp_ = std::move(digest);

  importedStringFile_.reset();
  pdfFile_.reset();

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
  // Printing, saving and opening the parsed command plug in here.
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
  const std::string upper = JobText::upperCased(duplex);
  if (upper == "NONE") {
    services_.job.duplexMode = 1;
  } else if (upper == "DUPLEXNOTUMBLE") {
    services_.job.duplexMode = 2;
  } else if (upper == "DUPLEXTUMBLE") {
    services_.job.duplexMode = 3;
  }
  return services_.job.duplexMode;
}

bool PastboardController::isZbComand() const {
  if (!importedStringFile_) return false;
  const std::string& command = *importedStringFile_;
  return command == JobText::kZelbrinPrinter || command == JobText::kZelbrinDefault ||
         command == JobText::kZelbrinSave || command == JobText::kZelbrinOpen;
}

void PastboardController::UserDefined(std::string_view keyword, std::string_view /*text*/) {
  // Pairing server printers with local ones arrives with the printer pair store; until then a
  // user-defined job resolves no printer and nothing is sent.
  std::cerr << "zelbrin-client: \"" << printable(keyword)
            << "\" job received; this version has no user-defined printers\n";
}
