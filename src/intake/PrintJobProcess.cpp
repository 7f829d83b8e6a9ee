#include "intake/PrintJobProcess.h"

#include "config/Log.h"
#include "core/Diagnostics.h"
#include "core/JobText.h"
#include "documents/OpenPrintJob.h"
#include "intake/MD5HashCompare.h"
#include "printing/PrinterProcess.h"

void PrintJobProcess::PreProcessDocumentZelbrin(std::string_view text) {
  std::optional<Settings> settings = ReadDocument(text);
  if (!settings) {
    Diagnostics::rejected(JobText::keyword(text), "the folder job lacks a field it must carry");
    return;
  }
  Settings& job = *settings;
  services_.log.LogSettings(job);

  const std::string& keyword = *job.ServerPrinterType;
  const std::string digest = services_.digests.md5(job.Job.value_or(""));
  const bool runsAlways = keyword == JobText::kZelbrinOpen || keyword == JobText::kZelbrinSave ||
                          keyword == JobText::kZelbrinOpenUrl;
  if (digest == services_.digests.hashTemp() && !runsAlways) return;
  services_.digests.setHashTemp(digest);

  if (keyword == JobText::kZelbrinPrinter || keyword == JobText::kZelbrinDefault) {
    services_.printer.SendToPrinter("", job);
  } else if (keyword == JobText::kZelbrinOpen) {
    services_.opener.OpenDocument(job);
  } else if (keyword == JobText::kZelbrinSave) {
    services_.saver.SaveDocument(job);
  } else if (keyword == JobText::kZelbrinOpenUrl) {
    services_.opener.OpenDocumentURL(job);
  }
}

std::optional<Settings> PrintJobProcess::ReadDocument(std::string_view text) {
  return Settings::GetPrintSettings(text, services_.printSystem);
}
