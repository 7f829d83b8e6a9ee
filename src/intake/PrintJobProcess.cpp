#include "intake/PrintJobProcess.h"

#include "config/Log.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "core/JobText.h"
#include "documents/OpenPrintJob.h"
#include "intake/MD5HashCompare.h"
#include "ports/PrintSystem.h"
#include "printing/PrinterProcess.h"

bool PrintJobProcess::PreProcessDocumentZelbrin(std::string_view text) {
  std::optional<Settings> settings = ReadDocument(text);
  if (!settings) {
    Diagnostics::rejected(JobText::keyword(text), "the folder job lacks a field it must carry");
    return true;
  }
  Settings& job = *settings;
  const std::string& keyword = *job.ServerPrinterType;
  const bool prints = keyword == JobText::kZelbrinPrinter || keyword == JobText::kZelbrinDefault;
  if (prints && services_.printSystem.printerNames().empty() &&
      !services_.printSystem.serviceAnswered()) {
    JobFailure::printServiceDown(job.DocumentName.value_or(""));
    return false;
  }
  services_.log.LogSettings(job);

  const std::string digest = services_.digests.md5(job.Job.value_or(""));
  const bool runsAlways = keyword == JobText::kZelbrinOpen || keyword == JobText::kZelbrinSave ||
                          keyword == JobText::kZelbrinOpenUrl;
  if (digest == services_.digests.hashTemp() && !runsAlways) return true;
  services_.digests.setHashTemp(digest);

  if (prints) {
    services_.printer.SendToPrinter("", job);
  } else if (keyword == JobText::kZelbrinOpen) {
    services_.opener.OpenDocument(job);
  } else if (keyword == JobText::kZelbrinSave) {
    services_.saver.SaveDocument(job);
  } else if (keyword == JobText::kZelbrinOpenUrl) {
    services_.opener.OpenDocumentURL(job);
  }
  return true;
}

std::optional<Settings> PrintJobProcess::ReadDocument(std::string_view text) {
  return Settings::GetPrintSettings(text, services_.printSystem);
}
