#pragma once

// The job monitor as zelbrin-client has it, for the benchmarks that run a job through it, and
// the figures they take of it.

#include <chrono>
#include <fstream>
#include <string>

#include "config/Log.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "documents/DocumentCommands.h"
#include "documents/OpenPrintJob.h"
#include "documents/ServerLogin.h"
#include "intake/MD5HashCompare.h"
#include "intake/PastboardController.h"
#include "intake/PrintJobProcess.h"
#include "platform/CupsPrintSystem.h"
#include "platform/QtFileTypes.h"
#include "platform/StandardPaths.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"
#include "support/Fakes.h"

// Every window answered in advance; the real CUPS, files and clipboard.
struct Monitor {
  explicit Monitor(Clipboard& clipboard, Ticker& ticker, FolderWatch& folderWatch)
      : controller({clipboard, paths, cups, ticker, folderWatch, folderJobs, job, printer, raw,
                    workspace, prompt, documents, util, settings, notifier, process, process}) {
    settings.WriteSettings(TableViewControler::kDialog, "0");
    process.state = LoginItems::State::On;  // a benchmark adds no login item
  }
  StandardPaths paths;
  XMLUtil util{paths};
  TableViewControler settings{paths, util};
  CupsPrintSystem cups;
  ScriptedPrintDialog dialog;  // never shown: the default-printer job runs without it
  RecordingProgress progress;
  RecordingWorkspace workspace;
  JobValues job;
  PrinterProcess printer{{cups, dialog, progress, paths}};
  WindowsDriverPrint raw{cups, paths};
  ScriptedPrompt prompt;
  ScriptedSavePanel savePanel;
  NoShares shares;
  ServerLogin login;
  QtFileTypes fileTypes;
  DocumentCommands documents{savePanel, workspace, fileTypes, paths};
  SavePrintJob saver{documents};
  OpenPrintJob opener{{documents, shares, paths, login}};
  Log log{paths};
  PrintJobProcess folderJobs{{cups, log, MD5HashCompare::sharedInstance(), printer, saver, opener}};
  RecordingNotifier notifier;
  FakeProcess process;
  PastboardController controller;
};

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// This process image's own high-water mark, in MiB. getrusage's would also count the pages of the
// parent that started us, which the kernel carries across exec.
inline double peakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}
