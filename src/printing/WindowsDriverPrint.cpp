#include "printing/WindowsDriverPrint.h"

#include <cerrno>
#include <cstring>

#include "core/AgentStatus.h"
#include "core/AtomicFile.h"
#include "core/Base64.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"
#include "core/JobFailure.h"
#include "ports/Paths.h"
#include "ports/PrintSystem.h"

namespace {
constexpr const char* kRawFormat = "application/vnd.cups-raw";
}

void WindowsDriverPrint::printWindowsDriver(std::string_view rawData,
                                            const std::string& printerName) {
  const std::optional<std::string> folder = paths_.temporaryDirectory();
  if (!folder) {
    Diagnostics::error() << "no private temporary folder; raw job not sent";
    return;
  }
  const std::string path = *folder + "temp.txt";
  // Printer-ready data may hold anything a document holds: readable by this user only.
  if (!AtomicFile::write(path, Base64::dataFromBase64String(rawData), 0600)) return;

  const RawSubmission result = printSystem_.printRaw(printerName, path, "Zelbrin Client");
  // printRaw has streamed the bytes to CUPS, which spools its own copy: printer data is not left
  // lying around, whether the job went or not.
  if (!FileSystem::remove(path) && errno != ENOENT) {
    Diagnostics::warning() << "cannot remove " << path << ": " << std::strerror(errno);
  }
  if (result.result != RawSubmission::Result::Submitted) {
    JobFailure::report("raw:" + printerName,
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "A job for \"%1\" was not printed: the printer did not "
                                         "take it. Check that it is switched on and still "
                                         "installed, then print again."),
                       {printerName});
  }
  switch (result.result) {
    case RawSubmission::Result::Submitted:
      AgentStatus::jobDone("printer data", QT_TRANSLATE_NOOP("AgentStatus", "sent to %1"),
                           {printerName});
      return;
    case RawSubmission::Result::NotAPrinter:
      Diagnostics::error()
          << "Either got an error from PMSessionGetDestinationType or the print destination "
             "wasn't kPMDestinationPrinter";
      return;
    case RawSubmission::Result::PrinterUnavailable:
      Diagnostics::error() << "Got an error from PMSessionGetCurrentPrinter (" << result.status
                          << ")";
      return;
    case RawSubmission::Result::FormatsUnavailable:
      // Nothing says what the printer accepts: CUPS itself is out of reach.
      Diagnostics::error() << "cannot read the formats that " << printerName
                         << " accepts: " << result.error;
      return;
    case RawSubmission::Result::RawNotSupported:
      Diagnostics::error() << "MIME type " << kRawFormat << " isn't supported by the printer";
      return;
    case RawSubmission::Result::SubmitFailed:
      Diagnostics::error() << "PMPrinterPrintWithFile returned error " << result.status;
      return;
  }
}
