#pragma once

#include <chrono>
#include <cstdint>

#include "intake/ClipboardCarrier.h"
#include "intake/ClipboardReplies.h"
#include "intake/CommandDispatcher.h"
#include "intake/FailureNotices.h"
#include "intake/FolderCarrier.h"
#include "intake/PrinterPairing.h"

class Clipboard;
class DocumentCommands;
class FolderWatch;
class LoginItems;
class Notifier;
class Paths;
class PrintJobProcess;
class Process;
class ProgressIndicator;
class PrintSystem;
class PrinterProcess;
class PrinterPrompt;
class TableViewControler;
class Ticker;
class WindowsDriverPrint;
class Workspace;
class XMLUtil;
struct JobValues;

// The job monitor. A one-second tick looks into the redirected folder and, when no folder job is
// ready, at the clipboard; it carries out at most one job per tick, and never starts a tick
// while another one is still running (a modal window inside a job runs a nested event loop in
// which the timer keeps firing). Besides, a tick runs as soon as a job may have arrived: another
// program took the clipboard, or the folder's ready marker appeared. Such news during a tick is
// kept, and a tick follows right after. The work is done by the carriers, the command dispatcher
// and the printer pairing; what outlives a tick is theirs: the digests, the job settings carried
// over from job to job, the prompt's answer.
class PastboardController {
 public:
  struct Services {
    Clipboard& clipboard;
    const Paths& paths;
    PrintSystem& printSystem;
    Ticker& ticker;
    FolderWatch& folderWatch;
    PrintJobProcess& folderJobs;
    JobValues& job;
    PrinterProcess& printer;
    WindowsDriverPrint& rawPrinter;
    Workspace& workspace;
    PrinterPrompt& prompt;
    DocumentCommands& documents;
    XMLUtil& utilXML;
    TableViewControler& tableView;
    Notifier& notifier;
    LoginItems& loginItems;
    Process& process;
    // Shows a large job from the moment it is picked up; none: no progress is shown.
    ProgressIndicator* progress = nullptr;
  };

  // In the support folder: the digest of the last clipboard job carried out.
  static constexpr std::string_view kClipboardDigestFileName = "LastClipboardJob.md5";

  explicit PastboardController(const Services& services);

  // Called once after start-up: makes sure the agent starts at login (an entry the user removed
  // comes back; one the user turned off stays off), then schedules the job timer.
  void awakeFromNib();
  // The prompt's restart button: the agent is started again by the relaunch helper.
  void Restart();
  void getPasteboardContent();

  // One tick.
  void MonitorSharedFolder();
  // The clipboard dispatcher.
  void PrepareDataForPrint();

 private:
  void tick();
  void jobMayHaveArrived();
  // False when the job waits in the folder for a later tick.
  bool handleFolderJob(const std::optional<std::string>& text);
  // Whether CUPS answers now; when it does not, the job is told to wait.
  bool printServiceAnswers();
  // A large job is being picked up: its progress shows from now on, until the tick ends.
  void pickingUp(std::uint64_t size);
  // An idle tick asks a CUPS that did not answer again, now and then, so that the status line
  // does not keep saying it is silent once it is back.
  void askSilentPrintService();
  // Prints a user-defined job on its local printer; the clipboard is emptied after a PDF that
  // came from it.
  void sendUserDefined(const UserDefinedJob& job, Clipboard* pasteboard);

  Services services_;
  bool tickRunning_ = false;
  std::chrono::steady_clock::time_point nextServiceQuestion_;
  bool arrivedDuringTick_ = false;
  ClipboardReplies replies_{services_.clipboard};
  FolderCarrier folder_{services_.paths};
  ClipboardCarrier clipboard_;
  FailureNotices notices_{services_.notifier};
  CommandDispatcher commands_;
  PrinterPairing pairing_;
};
