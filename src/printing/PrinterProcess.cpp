#include "printing/PrinterProcess.h"

#include <algorithm>

#include "config/TableViewControler.h"
#include "core/AgentStatus.h"
#include "core/Base64.h"
#include "core/Diagnostics.h"
#include "core/FileName.h"
#include "core/JobFailure.h"
#include "core/TextValue.h"
#include "core/Utf8.h"
#include "ports/Paths.h"
#include "ports/PrintDialog.h"
#include "printing/InputSlot.h"
#include "printing/JobValues.h"
#include "printing/PdfDocument.h"
#include "printing/Settings.h"

namespace {

bool isDuplexMode(std::int32_t mode) { return mode >= 1 && mode <= 3; }

// The document's name as users see it in their print queue and in our windows; empty when the
// job names none.
std::string shownName(const std::optional<std::string>& documentName) {
  if (!documentName) return {};
  // The server's path to the file means nothing here, and escape sequences would reach every
  // terminal and queue window that shows it.
  return Utf8::withoutControls(FileName::lastComponent(*documentName));
}

std::string jobNameFor(const std::optional<std::string>& documentName) {
  const std::string shown = shownName(documentName);
  return shown.empty() ? "Zelbrin Client" : shown;
}

std::string withoutFullStop(std::string text) {
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

void notReadable(const std::string& name) {
  Diagnostics::error() << "the document is not a readable PDF; nothing printed";
  JobFailure::report("unreadable",
                     QT_TRANSLATE_NOOP("JobFailure",
                                       "\"%1\" was not printed: it is not a PDF document that can "
                                       "be read. Print it again from the remote session."),
                     {name});
}

// The dialog starts with the job's own settings, and names and spans its document.
void startFrom(const std::string& printer, const PrintOptions& options,
               const std::optional<std::string>& documentName, const PdfDocument::Reading& pdf,
               PrintDialogRequest& dialog) {
  dialog.printerName = printer;
  dialog.copies = options.copies.value_or(1);
  dialog.collate = options.collate;
  dialog.duplexMode = options.duplexMode.value_or(1);
  dialog.media = options.media;
  dialog.documentName = shownName(documentName);
  dialog.pageCount = pdf.pageCount;
}

// The job's paper size from page 1. A document whose page 1 has no usable media box still
// prints, on the queue's own paper size.
std::optional<PageSize> mediaOf(const PdfDocument::Reading& pdf) {
  if (!pdf.firstPageSize) {
    Diagnostics::warning() << "page 1 has no usable media box; printing without a paper size";
  }
  return pdf.firstPageSize;
}

}  // namespace

std::optional<std::string> PrinterProcess::slotFor(const std::string& printer,
                                                   std::string_view tray) {
  const std::string target =
      printer.empty() ? services_.printSystem.defaultPrinter().value_or("") : printer;
  if (target.empty()) return std::nullopt;
  return InputSlot::choose(tray, services_.printSystem.inputSlots(target));
}

void PrinterProcess::printClipboardDocument(const ClipboardPrint& request, JobValues& job) {
  const std::optional<std::string> defaultPrinter = services_.printSystem.defaultPrinter();
  const std::string& wanted =
      request.printerName.empty() ? defaultPrinter.value_or("") : request.printerName;
  // A name no printer bears leaves the choice to CUPS: its default destination.
  std::string printer =
      (!wanted.empty() && services_.printSystem.hasPrinter(wanted)) ? wanted : std::string();

  PrintOptions options;
  options.collate = TextValue::boolValue(request.collate);
  if (request.collate == "true") options.copies = request.copies;
  Diagnostics::debug() << request.collate << " - collate,"
                      << static_cast<std::uint32_t>(request.copies) << " - copies";

  const PdfDocument::Reading pdf = PdfDocument::read(request.document);
  if (!pdf.readable) {
    notReadable(jobNameFor(request.documentName));
    job.defaultPrinterJob = false;
    return;
  }
  if (request.chkState) {
    if (isDuplexMode(request.duplex)) options.duplexMode = request.duplex;
    options.inputSlot = slotFor(printer, request.tray);
    options.media = mediaOf(pdf);
  }
  options.jobName = jobNameFor(request.documentName);

  if (!request.printerName.empty()) {
    submit(printer, request.document, options);
    return;
  }

  PrintDialogRequest dialog;
  bool show = false;
  if (job.defaultPrinterJob) {
    show = job.dialogOption;
    job.defaultPrinterJob = false;
  } else if (defaultPrinter && !request.dialog) {
    show = false;
  } else {
    // Asked for, or there is no default printer to print on without asking.
    show = true;
    dialog.pageSetup = true;
    dialog.bringToFront = true;
  }
  if (show) {
    startFrom(printer, options, request.documentName, pdf, dialog);
    if (!askUser(dialog, printer, options)) return;
  }
  submit(printer, request.document, options);
}

void PrinterProcess::SendToPrinter(const std::string& /*unused*/, Settings& settings) {
  const std::string printer =
      (settings.PrinterName && services_.printSystem.hasPrinter(*settings.PrinterName))
          ? *settings.PrinterName
          : "";
  const std::string documents = services_.paths.documentsDirectory();
  const bool mapped = TableViewControler::isOn(documents, TableViewControler::kMappedSettings);
  const std::string pdf = Base64::dataFromBase64String(settings.Job.value_or(""));
  const std::string collate = settings.Collate.value_or("");

  PrintOptions options;
  options.collate = TextValue::boolValue(collate);
  if (collate == "true") options.copies = settings.Copies;
  options.jobName = jobNameFor(settings.DocumentName);

  const PdfDocument::Reading document = PdfDocument::read(pdf);
  if (document.readable) {
    if (mapped) {
      // Only a job that names its printer (a default-printer job) gets a tray.
      if (!printer.empty()) {
        options.inputSlot = InputSlot::choose(settings.Tray.value_or(""),
                                              services_.printSystem.inputSlots(printer));
      }
      options.media = mediaOf(document);
      options.duplexMode = Settings::DuplexNumber(settings.Duplex.value_or(""));
    }
    const bool show = settings.ServerPrinterType == "ZelbrinDefault"
                          ? TableViewControler::isOn(documents, TableViewControler::kDialog)
                          : settings.ShowPrintPanel;
    std::string target = printer;
    bool go = true;
    if (show) {
      PrintDialogRequest dialog;
      startFrom(printer, options, settings.DocumentName, document, dialog);
      dialog.pageSetup = true;
      go = askUser(dialog, target, options);
    }
    if (go) submit(target, pdf, options);
  } else {
    notReadable(options.jobName);
  }
  settings.Job = std::string();
}

std::string PrinterProcess::shownPrinter(const std::string& printer) {
  // The dialog's choice is a queue, "" is CUPS's default: named as the prompt and the pairs do.
  const std::optional<std::string> name = printer.empty()
                                              ? services_.printSystem.defaultPrinter()
                                              : services_.printSystem.printerOfQueue(printer);
  return name.value_or(printer.empty() ? "the default printer" : printer);
}

bool PrinterProcess::askUser(const PrintDialogRequest& request, std::string& printer,
                             PrintOptions& options) {
  std::optional<PrintDialogChoice> choice;
  {
    const AgentStatus::Choice waiting;
    choice = services_.dialog.run(request);
  }
  if (!choice) {
    AgentStatus::jobDone(
        request.documentName,
        QT_TRANSLATE_NOOP("AgentStatus", "not printed: the print dialog was cancelled"));
    return false;
  }
  printer = choice->printerName;
  // Only what the user changed overrides the job: an untouched field keeps the queue's own
  // default where the job set none.
  if (choice->copies != request.copies) options.copies = choice->copies;
  if (choice->collate != request.collate) options.collate = choice->collate;
  if (choice->duplexMode != request.duplexMode) options.duplexMode = choice->duplexMode;
  options.pageRanges = choice->pageRanges;
  if (choice->media) options.media = choice->media;
  options.extraOptions = choice->options;
  return true;
}

void PrinterProcess::submit(const std::string& printer, std::string_view pdf,
                            const PrintOptions& options) {
  const bool showProgress = pdf.size() >= ProgressIndicator::kWorthShowing;
  if (showProgress)
    services_.progress.begin(
        UserText("PrinterProcess", QT_TRANSLATE_NOOP("PrinterProcess", "Sending %1 to the printer"),
                 {options.jobName}),
        pdf.size());
  const PrintSubmission result = services_.printSystem.printPdf(
      printer, pdf, options, [&](std::size_t sent, std::size_t /*total*/) {
        if (showProgress) services_.progress.advance(sent);
      });
  if (showProgress) services_.progress.end();
  if (result.submitted) {
    AgentStatus::jobDone(options.jobName, QT_TRANSLATE_NOOP("AgentStatus", "printed on %1"),
                         {shownPrinter(printer)});
    return;
  }
  Diagnostics::error() << "printing failed: " << result.error;
  // The reason comes from CUPS as it is.
  JobFailure::report("print:" + printer,
                     QT_TRANSLATE_NOOP("JobFailure",
                                       "\"%1\" was not printed: %2. Check that the printer and "
                                       "its print service are running, then print again."),
                     {options.jobName, withoutFullStop(result.error)});
}
