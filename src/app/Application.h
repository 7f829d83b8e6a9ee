#pragma once

#include <QMenu>
#include <memory>

#include "app/AppDelegate.h"
#include "app/LaunchAtLoginController.h"
#include "app/OpenLocalyServer.h"
#include "app/OptionsWindow.h"
#include "app/TrayNotifier.h"
#include "app/ViewPDF.h"
#include "config/Log.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/AgentStatus.h"
#include "documents/DocumentCommands.h"
#include "documents/OpenPrintJob.h"
#include "documents/ServerLogin.h"
#include "intake/PastboardController.h"
#include "intake/PrintJobProcess.h"
#include "platform/CupsPrintSystem.h"
#include "platform/DbusNotifier.h"
#include "platform/GioShares.h"
#include "platform/InotifyFolderWatch.h"
#include "platform/QtFileTypes.h"
#include "platform/QtPrintDialog.h"
#include "platform/QtPrinterPrompt.h"
#include "platform/QtProcess.h"
#include "platform/QtSavePanel.h"
#include "platform/QtTicker.h"
#include "platform/QtWorkspace.h"
#include "platform/StandardPaths.h"
#include "platform/XdgLoginItems.h"
#include "ports/Clipboard.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"

class QDialog;
namespace Ui {
class AboutWindow;
}

// The composition root, in the part a Cocoa program leaves to its main interface file: it makes
// the services, the windows and the long-lived controllers (each constructed with what it
// needs), hands every controller its widgets and wires the controls to its actions, and then
// wakes the controllers in order. Members are destroyed in reverse order of declaration, so the
// controllers go before the windows and services they use.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Wakes the controllers: the switches are settled before the first tick can read them, the
  // status item comes up, then the job timer starts.
  void start();
  // A second start of the agent asked this one to show itself.
  void showOptions() { appDelegate_.openOptionWindow(); }
  // What the prompt's restart button does.
  void restart() { pastboard_.Restart(); }

 private:
  void connectStatusMenu();
  // The "Recent jobs" submenu, made afresh from the print system's list.
  void fillRecentJobs(QMenu* menu);
  void saveCopy(int jobId, const std::string& document);
  static std::unique_ptr<Clipboard> chooseClipboard();

  // What the agent is doing, for the status menu: the parts report to it from the start.
  AgentStatus status_;

  // Platform services.
  StandardPaths paths_;
  // One channel per session, chosen at start: Wayland data control, else X11, else Qt's.
  std::unique_ptr<Clipboard> clipboard_ = chooseClipboard();
  QtTicker ticker_;
  InotifyFolderWatch folderWatch_;
  CupsPrintSystem printSystem_;
  QtPrintDialog printDialog_;
  QtProgressIndicator progress_;
  QtWorkspace workspace_;
  QtFileTypes fileTypes_;
  QtSavePanel savePanel_;
  GioShares shares_;
  XdgLoginItems loginItems_;
  QtProcess process_;

  // Windows and the status menu.
  OptionsWindow optionsWindow_;
  std::unique_ptr<QDialog> about_;
  std::unique_ptr<Ui::AboutWindow> aboutUi_;
  QMenu statusMenu_;
  QtPrinterPrompt prompt_;

  // Shared job state, the settings store and the options window's controller.
  JobValues jobValues_;
  XMLUtil util_;
  TableViewControler tableView_;

  // Printing.
  PrinterProcess printer_;
  WindowsDriverPrint rawPrinter_;

  // Documents: saving and opening, files on shares.
  ServerLogin serverLogin_;
  DocumentCommands documents_;
  SavePrintJob saver_;
  OpenPrintJob opener_;

  // Job intake and the rest of the interface's controllers.
  Log log_;
  PrintJobProcess folderJobs_;
  AppDelegate appDelegate_;
  // Notices go to the desktop's notification service; the tray only where none answers.
  TrayNotifier trayNotifier_{appDelegate_};
  DbusNotifier notifier_{[this](const Notifier::Notice& notice, const std::string& why) {
                           trayNotifier_.notify(notice, why);
                         },
                         [this] { appDelegate_.openOptionWindow(); }};
  LaunchAtLoginController launchAtLogin_;
  PastboardController pastboard_;
  OpenLocalyServer openLocalyServer_;
  ViewPDF viewPDF_;
};
