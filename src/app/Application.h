#pragma once

#include <memory>

#include "config/CheckBox.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "intake/JobValues.h"
#include "intake/PastboardController.h"
#include "intake/PrintJobProcess.h"
#include "platform/CupsPrintSystem.h"
#include "platform/QtClipboard.h"
#include "platform/QtPrintDialog.h"
#include "platform/QtTicker.h"
#include "platform/QtWorkspace.h"
#include "platform/StandardPaths.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"

// The composition root: builds the long-lived objects in order, connects them, wakes them, and
// tears them down in reverse (members are destroyed in reverse order of declaration).
class Application {
 public:
  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Wakes the objects in their start-up order; the job timer runs from here on.
  void start();

 private:
  // Platform services.
  StandardPaths paths_;
  QtClipboard clipboard_;
  QtTicker ticker_;
  CupsPrintSystem printSystem_;
  QtPrintDialog printDialog_;
  QtProgressIndicator progress_;
  QtWorkspace workspace_;

  // Shared job state and the settings store.
  JobValues jobValues_;
  XMLUtil util_;
  // First-start states of the four switches, until the options window shows them.
  PlainCheckBox mappedSettingsBox_{1};
  PlainCheckBox dialogBox_{0};
  PlainCheckBox logBox_{0};
  PlainCheckBox redirectedFolderBox_{1};
  TableViewControler tableView_;

  // Printing.
  PrinterProcess printer_;
  WindowsDriverPrint rawPrinter_;

  // Job intake.
  PrintJobProcess folderJobs_;
  PastboardController pastboard_;
};
