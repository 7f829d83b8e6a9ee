#include "platform/CupsPrintSystem.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Diagnostics.h"
#include "platform/CupsDestinations.h"
#include "platform/CupsHandles.h"
#include "platform/CupsJobOptions.h"
#include "platform/CupsPpd.h"

namespace {

// Big enough to keep the transfer efficient, small enough for a smooth progress bar.
constexpr std::size_t kChunkSize = 256 * 1024;

// gzip of zero bytes: header, an empty final deflate block, CRC-32 and length (both 0).
constexpr unsigned char kEmptyGzip[] = {0x1f, 0x8b, 0x08, 0, 0, 0, 0, 0, 0, 0x03,
                                        0x03, 0x00, 0,    0, 0, 0, 0, 0, 0, 0};

// The description users know a queue by; its queue name when it has none.
std::string descriptionOf(const cups_dest_t& dest) {
  const char* info = cupsGetOption("printer-info", dest.num_options, dest.options);
  return (info != nullptr && *info != '\0') ? info : dest.name;
}

// The printer name of a queue: its description, with the queue name in parentheses where
// another queue has the same description (one printer model on USB and on the network), so that
// every name names exactly one queue.
std::string nameOf(const CupsDestinations& dests, const cups_dest_t& dest) {
  std::string name = descriptionOf(dest);
  for (const cups_dest_t& other : dests.all()) {
    if (other.instance != nullptr || &other == &dest || std::strcmp(other.name, dest.name) == 0) {
      continue;
    }
    if (descriptionOf(other) == name) return name + " (" + dest.name + ")";
  }
  return name;
}

// The queue itself where `dest` is an lpoptions instance of it.
const cups_dest_t* queueOf(const CupsDestinations& dests, const cups_dest_t* dest) {
  if (dest == nullptr || dest->instance == nullptr) return dest;
  for (const cups_dest_t& queue : dests.all()) {
    if (queue.instance == nullptr && std::strcmp(queue.name, dest->name) == 0) return &queue;
  }
  return dest;
}

std::string lastError() {
  const char* text = cupsLastErrorString();
  if (text != nullptr && *text != '\0') return text;
  return ippErrorString(cupsLastError());
}

bool succeeded(ipp_status_t status) { return status <= IPP_STATUS_OK_EVENTS_COMPLETE; }

// libcups words a refused connection as whatever errno holds after its clean-up (often "Bad
// file descriptor"); the server's address makes the log line useful.
std::string unreachable(const std::string& detail) {
  std::string server = cupsServer();
  if (server.empty() || server.front() != '/') server += ":" + std::to_string(ippPort());
  return "The print server at " + server + " is not reachable: " + detail;
}

struct JobOutcome {
  bool submitted = false;
  int jobId = 0;
  ipp_status_t status = IPP_STATUS_OK;
  std::string error;
};

// Writes the document body; returns an error text, or nothing when all was sent.
using BodyWriter = std::function<std::optional<std::string>(http_t*)>;

// A job that was created but not completed is cancelled on a fresh connection: the job's own
// connection may be stuck in the middle of a request.
void cancelJob(cups_dest_t* dest, int jobId) {
  const CupsConnection http = connectToScheduler();
  if (http) cupsCancelDestJob(http.get(), dest, jobId);
}

JobOutcome submitJob(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, const std::string& title,
                     const char* format, const CupsOptions& jobOptions,
                     const CupsOptions& documentOptions, const BodyWriter& writeBody) {
  JobOutcome outcome;
  int jobId = 0;
  const ipp_status_t created = cupsCreateDestJob(http, dest, info, &jobId, title.c_str(),
                                                 jobOptions.count(), jobOptions.data());
  if (!succeeded(created) || jobId <= 0) {
    outcome.status = cupsLastError();
    outcome.error = lastError();
    return outcome;
  }

  const auto fail = [&](std::string error) {
    outcome.status = cupsLastError();
    if (succeeded(outcome.status)) outcome.status = IPP_STATUS_ERROR_INTERNAL;
    outcome.error = std::move(error);
    cancelJob(dest, jobId);
    return outcome;
  };

  if (cupsStartDestDocument(http, dest, info, jobId, title.c_str(), format, documentOptions.count(),
                            documentOptions.data(), 1) != HTTP_STATUS_CONTINUE) {
    return fail(lastError());
  }
  if (const std::optional<std::string> error = writeBody(http)) return fail(*error);
  if (!succeeded(cupsFinishDestDocument(http, dest, info))) return fail(lastError());

  outcome.submitted = true;
  outcome.jobId = jobId;
  return outcome;
}

}  // namespace

const cups_dest_t* CupsPrintSystem::resolve(const CupsDestinations& dests,
                                            const std::string& name) {
  if (name.empty()) return nullptr;
  for (const cups_dest_t& dest : dests.all()) {
    if (dest.instance == nullptr && name == nameOf(dests, dest)) return &dest;
  }
  // A queue name; never a description that two queues share, which names neither.
  for (const cups_dest_t& dest : dests.all()) {
    if (dest.instance == nullptr && name == dest.name) return &dest;
  }
  return nullptr;
}

std::vector<std::string> CupsPrintSystem::printerNames() {
  const CupsDestinations dests;
  // Said once when the scheduler stops answering and once when it is back, not on every tick.
  if (dests.answered() != answered_) {
    answered_ = dests.answered();
    if (answered_) {
      Diagnostics::notice() << "the print service (CUPS) answers again";
    } else {
      Diagnostics::warning() << unreachable(dests.error()) << "; print jobs wait until it answers";
    }
  }
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(dests.count()));
  for (const cups_dest_t& dest : dests.all()) {
    // lpoptions instances are option presets of a queue, not printers of their own.
    if (dest.instance != nullptr) continue;
    names.push_back(nameOf(dests, dest));
  }
  return names;
}

std::optional<std::string> CupsPrintSystem::defaultPrinter() {
  const CupsDestinations dests;
  // The default may be an lpoptions instance; it is named after its queue, whose printer name
  // is one of printerNames() and resolves back to that very queue.
  const cups_dest_t* dest =
      queueOf(dests, cupsGetDest(nullptr, nullptr, dests.count(), dests.raw()));
  if (dest == nullptr) return std::nullopt;
  return nameOf(dests, *dest);
}

std::optional<std::string> CupsPrintSystem::queueFor(const std::string& printerName) {
  const CupsDestinations dests;
  const cups_dest_t* dest = resolve(dests, printerName);
  if (dest == nullptr) return std::nullopt;
  return std::string(dest->name);
}

std::optional<std::string> CupsPrintSystem::printerOfQueue(const std::string& queue) {
  const CupsDestinations dests;
  for (const cups_dest_t& dest : dests.all()) {
    if (dest.instance == nullptr && queue == dest.name) return nameOf(dests, dest);
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> CupsPrintSystem::inputSlots(
    const std::string& printerName) {
  const CupsDestinations dests;
  const cups_dest_t* dest = resolve(dests, printerName);
  if (dest == nullptr) return std::nullopt;
  return CupsPpd::inputSlots(dest->name);
}

PrintSubmission CupsPrintSystem::printPdf(const std::string& printerName, std::string_view pdf,
                                          const PrintOptions& options,
                                          const PrintProgress& progress) {
  PrintSubmission result;
  std::string queue;
  {
    const CupsDestinations dests;
    if (!dests.answered()) {
      result.error = unreachable(dests.error());
      return result;
    }
    const cups_dest_t* dest = resolve(dests, printerName);
    if (dest == nullptr) dest = cupsGetDest(nullptr, nullptr, dests.count(), dests.raw());
    if (dest == nullptr) {
      result.error = printerName.empty()
                         ? "There is no default printer"
                         : "No printer is named \"" + printerName + "\" and there is no default";
      return result;
    }
    queue = dest->name;
  }

  const CupsConnection http = connectToScheduler();
  if (!http) {
    result.error = unreachable(std::strerror(errno));
    return result;
  }
  const CupsDest dest(cupsGetNamedDest(http.get(), queue.c_str(), nullptr));
  if (!dest) {
    result.error = lastError();
    return result;
  }
  const CupsDestInfo info(cupsCopyDestInfo(http.get(), dest.get()));
  if (!info) {
    result.error = lastError();
    return result;
  }

  CupsOptions cupsOptions;
  addPdfOptions(cupsOptions, options, http.get(), dest.get(), info.get());

  // Straight from the caller's buffer: a PDF can be large and is never copied.
  const auto writeBody = [&](http_t* connection) -> std::optional<std::string> {
    std::size_t sent = 0;
    while (sent < pdf.size()) {
      const std::size_t length = std::min(kChunkSize, pdf.size() - sent);
      if (cupsWriteRequestData(connection, pdf.data() + sent, length) != HTTP_STATUS_CONTINUE) {
        return lastError();
      }
      sent += length;
      if (progress) progress(sent, pdf.size());
    }
    return std::nullopt;
  };
  const CupsOptions noDocumentOptions;
  const JobOutcome outcome = submitJob(http.get(), dest.get(), info.get(), options.jobName,
                                       CUPS_FORMAT_PDF, cupsOptions, noDocumentOptions, writeBody);
  result.submitted = outcome.submitted;
  result.jobId = outcome.jobId;
  result.error = outcome.error;
  return result;
}

RawSubmission CupsPrintSystem::printRaw(const std::string& printerName, const std::string& filePath,
                                        const std::string& jobName) {
  RawSubmission result;
  const auto refuse = [&](RawSubmission::Result why, ipp_status_t status, std::string error) {
    result.result = why;
    result.status = static_cast<int>(status);
    result.error = std::move(error);
    return result;
  };

  std::string queue;
  {
    const CupsDestinations dests;
    // Without an answer from the scheduler, "no such printer" would be a false statement.
    if (!dests.answered()) {
      return refuse(RawSubmission::Result::PrinterUnavailable, dests.status(),
                    unreachable(dests.error()));
    }
    // Raw data is meant for one particular printer: never the default in its place.
    const cups_dest_t* dest = resolve(dests, printerName);
    if (dest == nullptr) {
      return refuse(RawSubmission::Result::NotAPrinter, IPP_STATUS_ERROR_NOT_FOUND,
                    "No printer is named \"" + printerName + "\"");
    }
    queue = dest->name;
  }

  const CupsConnection http = connectToScheduler();
  if (!http) {
    return refuse(RawSubmission::Result::PrinterUnavailable, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE,
                  unreachable(std::strerror(errno)));
  }
  const CupsDest dest(cupsGetNamedDest(http.get(), queue.c_str(), nullptr));
  if (!dest) {
    return refuse(RawSubmission::Result::PrinterUnavailable, cupsLastError(), lastError());
  }
  const CupsDestInfo info(cupsCopyDestInfo(http.get(), dest.get()));
  if (!info) {
    return refuse(RawSubmission::Result::PrinterUnavailable, cupsLastError(), lastError());
  }
  if (cupsFindDestSupported(http.get(), dest.get(), info.get(), "document-format") == nullptr) {
    return refuse(RawSubmission::Result::FormatsUnavailable, IPP_STATUS_OK,
                  "The printer does not list the formats it accepts");
  }
  if (!cupsCheckDestSupported(http.get(), dest.get(), info.get(), "document-format",
                              CUPS_FORMAT_RAW)) {
    return refuse(RawSubmission::Result::RawNotSupported, IPP_STATUS_OK,
                  "The printer does not accept raw data");
  }

  std::ifstream file(filePath, std::ios::binary);
  if (!file) {
    return refuse(RawSubmission::Result::SubmitFailed, IPP_STATUS_OK,
                  "Cannot read " + filePath + ": " + std::strerror(errno));
  }
  // The first chunk is read before a job exists: an unreadable file creates no job, and an
  // empty one is known before the document starts.
  std::vector<char> chunk(kChunkSize);
  const auto readChunk = [&]() -> std::size_t {
    file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    return static_cast<std::size_t>(file.gcount());
  };
  std::size_t length = readChunk();
  if (file.bad()) {
    return refuse(RawSubmission::Result::SubmitFailed, IPP_STATUS_OK,
                  "Reading " + filePath + " failed");
  }

  // cupsd refuses a document without a single byte ("No file in print request"), yet an empty
  // job is still a job to the user. Its gzip form is not empty; cupsd unpacks it on the way to
  // the printer, which then receives exactly nothing.
  const bool empty = length == 0;
  CupsOptions documentOptions;
  if (empty && cupsCheckDestSupported(http.get(), dest.get(), info.get(), "compression", "gzip")) {
    documentOptions.add("compression", "gzip");
  }
  const bool gzipped = documentOptions.count() > 0;

  const auto writeBody = [&](http_t* connection) -> std::optional<std::string> {
    if (gzipped) {
      if (cupsWriteRequestData(connection, reinterpret_cast<const char*>(kEmptyGzip),
                               sizeof kEmptyGzip) != HTTP_STATUS_CONTINUE) {
        return lastError();
      }
      return std::nullopt;
    }
    while (length > 0) {
      if (cupsWriteRequestData(connection, chunk.data(), length) != HTTP_STATUS_CONTINUE) {
        return lastError();
      }
      length = readChunk();
    }
    if (file.bad()) return "Reading " + filePath + " failed";
    return std::nullopt;
  };
  const CupsOptions noJobOptions;
  const JobOutcome outcome = submitJob(http.get(), dest.get(), info.get(), jobName, CUPS_FORMAT_RAW,
                                       noJobOptions, documentOptions, writeBody);
  if (!outcome.submitted) {
    return refuse(RawSubmission::Result::SubmitFailed, outcome.status, outcome.error);
  }
  result.result = RawSubmission::Result::Submitted;
  result.status = static_cast<int>(IPP_STATUS_OK);
  result.jobId = outcome.jobId;
  return result;
}

bool CupsPrintSystem::acceptsRaw(const std::string& printerName) {
  const std::optional<std::string> queue = queueFor(printerName);
  if (!queue) return false;
  const CupsConnection http = connectToScheduler();
  if (!http) return false;
  const CupsDest dest(cupsGetNamedDest(http.get(), queue->c_str(), nullptr));
  if (!dest) return false;
  const CupsDestInfo info(cupsCopyDestInfo(http.get(), dest.get()));
  return info && cupsCheckDestSupported(http.get(), dest.get(), info.get(), "document-format",
                                        CUPS_FORMAT_RAW) != 0;
}
