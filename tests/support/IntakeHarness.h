#pragma once

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "intake/PastboardController.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"
#include "support/Fakes.h"

// The job controller with every platform service faked, in a private home folder.
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
  RecordingPrintSystem printSystem;
  ScriptedPrintDialog dialog;
  RecordingProgress progress;
  RecordingWorkspace workspace;
  RecordingFolderJobs folderJobs;
  JobValues job;
  PrinterProcess printer{{printSystem, dialog, progress, paths}};
  WindowsDriverPrint rawPrinter{printSystem, paths};
  ScriptedPrompt prompt;
  ScriptedSavePanel savePanel;
  XMLUtil utilXML{paths};
  TableViewControler tableView{paths, utilXML};
  PastboardController controller{{clipboard, paths, printSystem, ticker, folderJobs, job, printer,
                                  rawPrinter, workspace, prompt, savePanel, utilXML, tableView}};
};
