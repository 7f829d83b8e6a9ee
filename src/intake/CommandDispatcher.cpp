#include "intake/CommandDispatcher.h"

#include "config/TableViewControler.h"
#include "core/Base64.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "core/JobText.h"
#include "core/TextValue.h"
#include "documents/DocumentCommands.h"
#include "intake/ClipboardCarrier.h"
#include "intake/ProductCommand.h"
#include "ports/Clipboard.h"
#include "ports/Paths.h"
#include "ports/PrintSystem.h"
#include "ports/Workspace.h"
#include "printing/JobValues.h"
#include "printing/PrinterProcess.h"

void CommandDispatcher::applySettings(const ProductCommand& command) {
  const auto& values = command.settings;
  if (values.empty()) return;
  JobValues& job = services_.job;
  job.jobTray = values[0];
  job.jobDuplex = values[1];
  job.jobColor = values[2];
  if (values.size() > 3) job.jobCollate = values[3];
  if (values.size() > 4) job.jobCopies = TextValue::integerValue(values[4]);
  job.getDuplexNumber(job.jobDuplex);
}

void CommandDispatcher::carryOut(const ProductCommand& command) {
  Clipboard& clipboard = services_.clipboard;
  JobValues& job = services_.job;
  const std::string& keyword = command.importedStringFile;
  applySettings(command);

  // A save needs no printer: it is done here, whatever CUPS says, and nothing is told of it.
  const bool save = keyword == JobText::kZelbrinSave;
  if (save) saveFile(command.name(), clipboard, command.payload());
  // One question to CUPS: the list, and whether it answered at all.
  const bool noPrinter = services_.printSystem.printerNames().empty();
  if (noPrinter && !services_.printSystem.serviceAnswered()) {
    if (save) return;
    // Not "no printer": the job stays on the clipboard and is carried out once CUPS answers.
    JobFailure::printServiceDown(command.name());
    services_.carrier.forgetLastJob();
    return;
  }
  if (noPrinter) {
    if (save) return;
    Diagnostics::error() << "no local printer; \"" << Diagnostics::printable(keyword)
                       << "\" job not carried out";
    JobFailure::noPrinter(command.name());
    return;
  }
  // Another casing is read like a command but carried out as none.
  if (!command.isZbComand()) return;

  const std::string document = Base64::dataFromBase64String(command.payload());
  // Every command leaves its decrypted copy; only the open command uses it.
  const std::optional<std::string> plain = DocumentCommands::AesCBCDecryption(document);
  // The open command's own copy tells the user why it could not be written.
  const std::optional<std::string> copy =
      !plain ? std::nullopt
      : keyword == JobText::kZelbrinOpen
          ? services_.documents.copyToOpen(command.name(), *plain)
          : services_.documents.writeOpenCopy(command.name(), *plain);
  const std::string name(command.name());
  if (keyword == JobText::kZelbrinPrinter) {
    printing(document, true, &clipboard, job.jobTray, job.duplexMode, "", false, job.jobCollate,
             job.jobCopies, name);
  } else if (keyword == JobText::kZelbrinDefault) {
    services_.workspace.activateApplication();
    job.defaultPrinterJob = true;
    job.dialogOption = !TableViewControler::isOff(services_.paths.documentsDirectory(),
                                                  TableViewControler::kDialog);
    printing(document, false, &clipboard, job.jobTray, job.duplexMode, "", false, job.jobCollate,
             job.jobCopies, name);
    clipboard.setText("");
  } else if (keyword == JobText::kZelbrinOpen) {
    services_.documents.open(copy);
    services_.carrier.forgetLastJob();
  }
  returnStringIntoClipboard(clipboard);
}

void CommandDispatcher::printing(std::string_view document, bool dialog, Clipboard* pasteboard,
                                 const std::string& tray, std::int32_t duplex,
                                 const std::string& printerName, bool chkState,
                                 const std::string& collate, std::int32_t copies,
                                 const std::string& name) {
  PrinterProcess::ClipboardPrint request;
  request.document = document;
  request.dialog = dialog;
  request.tray = tray;
  request.duplex = duplex;
  request.printerName = printerName;
  request.chkState = chkState;
  request.collate = collate;
  request.copies = copies;
  request.documentName = name;
  services_.printer.printClipboardDocument(request, services_.job);
  if (pasteboard != nullptr) returnStringIntoClipboard(*pasteboard);
}

void CommandDispatcher::saveFile(std::string_view name, Clipboard& pasteboard,
                                 std::string_view file) {
  pasteboard.clear();
  returnStringIntoClipboard(pasteboard);
  const std::optional<std::string> path = services_.documents.choosePlace(name);
  if (!path) return;
  returnStringIntoClipboard(pasteboard);
  services_.documents.save(*path, file);
}

void CommandDispatcher::returnStringIntoClipboard(Clipboard& clipboard) {
  clipboard.clear();
  clipboard.setText("");
}
