#include "intake/PastboardController.h"

#include <exception>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/AgentStatus.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "core/JobText.h"
#include "core/Shutdown.h"
#include "core/Utf8.h"
#include "intake/PrintJobProcess.h"
#include "intake/ProductCommand.h"
#include "ports/Clipboard.h"
#include "ports/FolderWatch.h"
#include "ports/LoginItems.h"
#include "ports/Paths.h"
#include "ports/PrintDialog.h"
#include "ports/PrintSystem.h"
#include "ports/Process.h"
#include "ports/Ticker.h"
#include "printing/JobValues.h"
#include "printing/WindowsDriverPrint.h"

namespace {

// Ends a tick whichever way it leaves: the next tick may start, a cancelled prompt does not
// outlive the job it belonged to, and the job's progress window goes.
class TickScope {
 public:
  TickScope(bool& running, bool& promptCancelled, ProgressIndicator* progress)
      : running_(running), promptCancelled_(promptCancelled), progress_(progress) {
    running_ = true;
  }
  ~TickScope() {
    if (progress_ != nullptr) progress_->end();
    promptCancelled_ = false;
    running_ = false;
  }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;

 private:
  bool& running_;
  bool& promptCancelled_;
  ProgressIndicator* progress_;
};

}  // namespace

PastboardController::PastboardController(const Services& services)
    : services_(services),
      clipboard_(services.clipboard, services.paths.documentsDirectory() + "/" +
                                         XMLUtil::kSupportFolderName + "/" +
                                         std::string(kClipboardDigestFileName)),
      commands_(CommandDispatcher::Services{
          .clipboard = replies_,
          .carrier = clipboard_,
          .printSystem = services.printSystem,
          .printer = services.printer,
          .documents = services.documents,
          .workspace = services.workspace,
          .paths = services.paths,
          .job = services.job,
      }),
      pairing_(PrinterPairing::Services{
          .clipboard = replies_,
          .printSystem = services.printSystem,
          .prompt = services.prompt,
          .utilXML = services.utilXML,
          .tableView = services.tableView,
          .job = services.job,
      }) {}

void PastboardController::awakeFromNib() {
  const std::string program = services_.process.executablePath();
  if (services_.loginItems.stateOf(program) == LoginItems::State::Missing) {
    services_.loginItems.set(program, true);
  }
  getPasteboardContent();
}

void PastboardController::Restart() { services_.process.relaunch(); }

void PastboardController::getPasteboardContent() {
  services_.ticker.start(std::chrono::milliseconds(1000), [this] { MonitorSharedFolder(); });
  services_.clipboard.onChangedByOthers([this] { jobMayHaveArrived(); });
  services_.folderWatch.watch(folder_.folder(), std::string(FolderCarrier::kReadyMarkerName),
                              [this] { jobMayHaveArrived(); });
}

void PastboardController::jobMayHaveArrived() {
  services_.ticker.soon([this] {
    if (tickRunning_) {
      arrivedDuringTick_ = true;
      return;
    }
    MonitorSharedFolder();
  });
}

void PastboardController::MonitorSharedFolder() {
  // A modal window of the running job is up, or the agent is on its way out.
  if (tickRunning_ || Shutdown::underway()) return;
  {
    const TickScope scope(tickRunning_, services_.job.printerPromptCancelled, services_.progress);
    const JobFailure::Scope failures;
    // Until a clipboard job is taken, replies (a prompt's cancel) answer what is there now.
    replies_.answering(services_.clipboard.takenByOthers());
    try {
      tick();
    } catch (const Shutdown::Interrupted&) {
      // The job waited for the user when the agent was told to end: its folder files and its
      // clipboard text are where they were, and the next agent carries it out.
      clipboard_.putBack();
      Diagnostics::notice() << "the agent is ending; the job under way is left for its next start";
      return;
    } catch (const std::exception& error) {
      // A job must never take the agent down; the timer goes on with the next tick.
      Diagnostics::error() << "job abandoned: " << error.what();
      JobFailure::report("abandoned",
                         QT_TRANSLATE_NOOP("JobFailure", "A job was not carried out: %1"),
                         {error.what()});
    }
    clipboard_.keep();
    const std::optional<JobFailure::Failure>& failure = failures.failure();
    notices_.jobEnded(failure);
    // As CUPS last answered, whoever asked it during the tick.
    AgentStatus::printServiceAnswers(services_.printSystem.serviceAnswered());
    if (failure && !failure->jobCarriedOut && services_.printSystem.serviceAnswered()) {
      AgentStatus::jobFailed(failure->message);
    }
  }
  if (arrivedDuringTick_) {
    arrivedDuringTick_ = false;
    jobMayHaveArrived();
  }
}

void PastboardController::pickingUp(std::uint64_t size) {
  if (services_.progress == nullptr || size < ProgressIndicator::kWorthShowing) return;
  services_.progress->begin(
      UserText("PastboardController",
               QT_TRANSLATE_NOOP("PastboardController", "Reading a job of %1 MB…"),
               {std::to_string(size >> 20)}),
      0);
}

void PastboardController::askSilentPrintService() {
  if (services_.printSystem.serviceAnswered()) return;
  // A frozen CUPS keeps each question waiting for seconds: not at every tick.
  const auto now = std::chrono::steady_clock::now();
  if (now < nextServiceQuestion_) return;
  nextServiceQuestion_ = now + std::chrono::seconds(10);
  services_.printSystem.printerNames();
}

void PastboardController::tick() {
  const std::optional<FolderCarrier::Job> job =
      folder_.ready([this](std::uint64_t size) { pickingUp(size); });
  if (!job) {
    PrepareDataForPrint();
    return;
  }
  if (job->tooLarge) {
    Diagnostics::warning() << FolderCarrier::kJobFileName
                       << " is over the job size limit; dropped unread";
  } else if (!handleFolderJob(job->text)) {
    return;  // the job waits in the folder
  }
  folder_.finish(*job);
}

bool PastboardController::printServiceAnswers() {
  services_.printSystem.printerNames();
  if (services_.printSystem.serviceAnswered()) return true;
  JobFailure::printServiceDown("");
  return false;
}

bool PastboardController::handleFolderJob(const std::optional<std::string>& text) {
  const std::string jobFile(FolderCarrier::kJobFileName);
  if (!text) {
    Diagnostics::warning() << "ready marker without a readable " << jobFile << "; job dropped";
    return true;
  }
  if (!Utf8::isValid(*text)) {
    Diagnostics::warning() << jobFile << " is not UTF-8 text; job dropped";
    return true;
  }
  const std::string_view keyword = JobText::keyword(*text);
  const JobText::Kind kind = JobText::classify(keyword);
  if (kind != JobText::Kind::UserDefinedDriver && kind != JobText::Kind::UserDefinedPdf) {
    return services_.folderJobs.PreProcessDocumentZelbrin(*text);
  }
  // Without an answer from CUPS every pair would look stale and be forgotten.
  if (!printServiceAnswers()) return false;
  if (const auto job = pairing_.UserDefined(JobText::upperCased(keyword), *text)) {
    // CUPS may have stopped while the prompt was up.
    if (job->printer && !printServiceAnswers()) return false;
    sendUserDefined(*job, nullptr);
  }
  return true;
}

void PastboardController::PrepareDataForPrint() {
  std::optional<std::string> text = clipboard_.take();
  if (!text) {
    askSilentPrintService();
    return;
  }
  pickingUp(text->size());
  replies_.answering(clipboard_.generation());
  const std::string keyword(JobText::keyword(*text));
  switch (JobText::classify(keyword)) {
    case JobText::Kind::UserDefinedDriver:
    case JobText::Kind::UserDefinedPdf:
      if (!printServiceAnswers()) {
        clipboard_.forgetLastJob();  // read again on the next tick
        return;
      }
      if (const auto job = pairing_.UserDefined(keyword, *text)) {
        if (services_.printSystem.printerNames().empty()) {
          if (!services_.printSystem.serviceAnswered()) {
            // CUPS stopped while the prompt was up: the job waits like any other.
            JobFailure::printServiceDown(job->name);
            clipboard_.forgetLastJob();
            return;
          }
          Diagnostics::error() << "no local printer; \"" << Diagnostics::printable(keyword)
                             << "\" job not carried out";
          JobFailure::noPrinter(job->name);
          return;
        }
        sendUserDefined(*job, &replies_);
      }
      return;
    case JobText::Kind::Product:
      if (const auto command = ProductCommand::read(std::move(*text), keyword)) {
        commands_.carryOut(*command);
      }
      return;
    case JobText::Kind::Other:
      return;
  }
}

void PastboardController::sendUserDefined(const UserDefinedJob& job, Clipboard* pasteboard) {
  if (!job.printer) return;
  if (job.raw) {
    // From the folder, a cancelled prompt sends nothing even to a pair that could not be
    // forgotten.
    if (pasteboard == nullptr && job.promptCancelled) return;
    services_.rawPrinter.printWindowsDriver(job.data, *job.printer);
    return;
  }
  const JobValues& values = services_.job;
  const bool mapped = TableViewControler::isOn(services_.paths.documentsDirectory(),
                                               TableViewControler::kMappedSettings);
  commands_.printing(job.data, false, pasteboard, values.jobTray, values.duplexMode, *job.printer,
                     mapped, values.jobCollate, values.jobCopies, job.name);
}
