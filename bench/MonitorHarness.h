#pragma once

// The job monitor as zelbrin-client has it, for the benchmarks that run a job through it.

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
