#pragma once

#include "config/Log.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "documents/DocumentCommands.h"
#include "documents/OpenPrintJob.h"
#include "documents/ServerLogin.h"
#include "intake/MD5HashCompare.h"
#include "intake/PastboardController.h"
#include "platform/QtFileTypes.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"
#include "support/Fakes.h"

// The job controller with every platform service faked, in a private home folder. File types
// come from the real MIME database: it needs no display, and a fake would only echo the test.
struct IntakeHarness {
  std::filesystem::path drive() const { return home.path() / "Documents" / "ZbDataDrive"; }
  void putFolderJob(std::string_view text) const {
    writeFile(drive() / "pjob.data", text);
    writeFile(drive() / "pjobd.data", "");
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  FakeClipboard clipboard;
  FakeTicker ticker;
  FakeFolderWatch folderWatch;
  RecordingPrintSystem printSystem;
  ScriptedPrintDialog dialog;
  RecordingProgress progress;
  RecordingWorkspace workspace;
  JobValues job;
  PrinterProcess printer{{printSystem, dialog, progress, paths}};
  WindowsDriverPrint rawPrinter{printSystem, paths};
  ScriptedPrompt prompt;
  ScriptedSavePanel savePanel;
  XMLUtil utilXML{paths};
  TableViewControler tableView{paths, utilXML};
  NoShares shares;
  ServerLogin login;
  QtFileTypes fileTypes;
  DocumentCommands documents{savePanel, workspace, fileTypes, paths};
  SavePrintJob saver{documents};
  OpenPrintJob opener{{documents, shares, paths, login}};
  Log log{paths};
  MD5HashCompare digests;
  RecordingFolderJobs folderJobs{{printSystem, log, digests, printer, saver, opener}};
  RecordingNotifier notifier;
  FakeProcess process;
  PastboardController controller{{clipboard, paths, printSystem, ticker, folderWatch, folderJobs,
                                  job, printer, rawPrinter, workspace, prompt, documents, utilXML,
                                  tableView, notifier, process, process}};
};
