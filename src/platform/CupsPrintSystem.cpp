#include "platform/CupsPrintSystem.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/Diagnostics.h"
#include "platform/CupsJobFollow.h"
#include "platform/CupsJobOptions.h"
#include "platform/CupsSubmission.h"
#include "platform/CupsWatch.h"
#include "platform/CupsWorker.h"

namespace {

// Big enough to keep the transfer efficient, small enough for a smooth progress bar.
constexpr std::size_t kChunkSize = 256 * 1024;

// How long after CUPS last answered a job takes the kept knowledge as it is.
constexpr std::chrono::seconds kFreshFor{2};

// gzip of zero bytes: header, an empty final deflate block, CRC-32 and length (both 0).
constexpr unsigned char kEmptyGzip[] = {0x1f, 0x8b, 0x08, 0, 0, 0, 0, 0, 0, 0x03,
                                        0x03, 0x00, 0,    0, 0, 0, 0, 0, 0, 0};

std::chrono::seconds stuckLimit() {
  const char* value = std::getenv("ZELBRIN_JOB_STUCK_SECONDS");
  if (value == nullptr || *value == '\0') return CupsPrintSystem::kStuckAfter;
  char* end = nullptr;
  const long seconds = std::strtol(value, &end, 10);
  if (*end != '\0' || seconds < 0) {
    Diagnostics::warning() << "ZELBRIN_JOB_STUCK_SECONDS is not a number of seconds; using "
                           << CupsPrintSystem::kStuckAfter.count();
    return CupsPrintSystem::kStuckAfter;
  }
  return std::chrono::seconds(seconds);
}

// When the user's own choice of default printer last changed: `lpoptions -d` writes it into a
// file, and CUPS announces nothing of it. Zero where neither file exists.
std::int64_t userDefaultStamp() {
  std::int64_t stamp = 0;
  const char* home = std::getenv("HOME");
  const char* root = std::getenv("CUPS_SERVERROOT");
  for (const std::string& path :
       {std::string(home != nullptr ? home : "") + "/.cups/lpoptions",
        std::string(root != nullptr ? root : "/etc/cups") + "/lpoptions"}) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
      stamp ^=
          static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    }
  }
  return stamp;
}

}  // namespace

CupsPrintSystem::CupsPrintSystem()
    : receiver_(std::make_unique<QObject>()),
      watch_(std::make_shared<CupsWatch>()),
      jobs_(std::make_shared<CupsJobFollow>(stuckLimit())),
      worker_(std::make_unique<CupsWorker>(CupsServer{})) {
  knowledge_.answered = true;  // not asked yet: nothing says it is silent
  // Read at once, so that the first job finds it all known, then kept fresh.
  worker_->post([this, watch = watch_](http_t* http) {
    deliver(watch->reload(http));
    watchOnWorker();
  });
}

CupsPrintSystem::~CupsPrintSystem() {
  // The subscription ends with the agent rather than with its lease.
  worker_->ask<bool>(
      [watch = watch_](http_t* http, const CupsWorker::Relay&) {
        watch->cancel(http);
        return true;
      },
      std::chrono::milliseconds(1000));
  // Stopped before the receiver goes, nothing is delivered to it any more; work still on the
  // thread meanwhile reaches the worker through worker_, which stays set until then.
  worker_->stop();
}

std::string CupsPrintSystem::unreachable(const std::string& detail) const {
  return "The print server at " + worker_->server().address() + " is not reachable: " + detail;
}

CupsKnowledge CupsPrintSystem::silentNow() const {
  // No list: an empty one from a silent CUPS makes jobs wait rather than fail.
  CupsKnowledge knowledge;
  knowledge.answered = false;
  knowledge.status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
  knowledge.error = "it does not answer";
  knowledge.generation = 0;  // whatever the worker finds later is newer
  return knowledge;
}

void CupsPrintSystem::apply(CupsKnowledge knowledge) {
  if (loaded_ && knowledge.generation != 0 && knowledge.generation < knowledge_.generation) return;
  // Said once when the scheduler stops answering and once when it is back, not on every look.
  if (knowledge.answered != knowledge_.answered) {
    if (knowledge.answered) {
      Diagnostics::notice() << "the print service (CUPS) answers again";
    } else {
      Diagnostics::warning() << unreachable(knowledge.error)
                             << "; print jobs wait until it answers";
    }
  }
  if (knowledge.answered) heard_ = std::chrono::steady_clock::now();
  knowledge_ = std::move(knowledge);
  loaded_ = true;
}

const CupsKnowledge& CupsPrintSystem::knowledge() {
  const std::int64_t userDefault = userDefaultStamp();
  if (loaded_ && knowledge_.answered && userDefault == userDefault_) {
    // A job that comes long after CUPS was last heard of first asks for its news: one request
    // that both shows CUPS still answers (else the job waits, as it always did) and brings a
    // printer added a moment ago, before CUPS's own interval for asking is up.
    if (std::chrono::steady_clock::now() - heard_ >= kFreshFor) checkForChanges();
    return knowledge_;
  }
  userDefault_ = userDefault;
  std::optional<CupsKnowledge> read = worker_->ask<CupsKnowledge>(
      [this, watch = watch_](http_t* http, const CupsWorker::Relay&) {
        CupsKnowledge knowledge = watch->reload(http);
        if (!knowledge.answered) worker_->dropConnection();
        return knowledge;
      },
      kAnswerBudget);
  apply(read ? std::move(*read) : silentNow());
  return knowledge_;
}

void CupsPrintSystem::deliver(CupsKnowledge knowledge) {
  if (!knowledge.answered) worker_->dropConnection();
  QMetaObject::invokeMethod(
      receiver_.get(),
      [this, knowledge = std::move(knowledge)]() mutable { apply(std::move(knowledge)); },
      Qt::QueuedConnection);
}

void CupsPrintSystem::watchOnWorker() {
  // One look, its findings sent over, the next look when CUPS asks for it.
  worker_->postLater(watch_->interval(), [this, watch = watch_](http_t* http) {
    if (std::optional<CupsKnowledge> found = watch->check(http)) {
      deliver(std::move(*found));
    }
    if (watch->takeNews()) lookAtJobs(http);
    watchOnWorker();
  });
}

void CupsPrintSystem::checkForChanges() {
  using Look =
      std::pair<std::optional<CupsKnowledge>, bool>;  // what changed; whether CUPS answered
  std::optional<Look> look = worker_->ask<Look>(
      [this, watch = watch_](http_t* http, const CupsWorker::Relay&) {
        std::optional<CupsKnowledge> knowledge = watch->check(http);
        if (!watch->reachable()) worker_->dropConnection();
        // After the answer: the caller (often a job) does not wait for the jobs' states.
        if (watch->takeNews())
          worker_->post([this](http_t* connection) { lookAtJobs(connection); });
        return Look{std::move(knowledge), watch->reachable()};
      },
      kAnswerBudget);
  if (!look) {
    apply(silentNow());
    return;
  }
  if (look->first) apply(std::move(*look->first));
  if (look->second) {
    heard_ = std::chrono::steady_clock::now();
  } else if (knowledge_.answered) {
    apply(silentNow());  // silent again, which the watch says only once
  }
}

void CupsPrintSystem::cancelLeftoverJobs() {
  // Nobody waits for it: the agent starts whatever CUPS does.
  worker_->post([server = worker_->server()](http_t* http) { ::cancelLeftoverJobs(http, server); });
}

std::vector<std::string> CupsPrintSystem::printerNames() {
  std::vector<std::string> names;
  for (const CupsQueue& queue : knowledge().queues) names.push_back(queue.printerName);
  return names;
}

std::optional<std::string> CupsPrintSystem::defaultPrinter() {
  const CupsKnowledge& known = knowledge();
  if (!known.defaultQueue) return std::nullopt;
  const CupsQueue* queue = known.byQueue(*known.defaultQueue);
  if (queue == nullptr) return std::nullopt;
  return queue->printerName;
}

std::optional<std::string> CupsPrintSystem::queueFor(const std::string& printerName) {
  const CupsQueue* queue = knowledge().resolve(printerName);
  if (queue == nullptr) return std::nullopt;
  return queue->queue;
}

std::optional<std::string> CupsPrintSystem::printerOfQueue(const std::string& queue) {
  const CupsQueue* found = knowledge().byQueue(queue);
  if (found == nullptr) return std::nullopt;
  return found->printerName;
}

std::optional<std::vector<std::string>> CupsPrintSystem::inputSlots(
    const std::string& printerName) {
  const CupsQueue* queue = knowledge().resolve(printerName);
  if (queue == nullptr) return std::nullopt;
  return queue->inputSlots;
}

bool CupsPrintSystem::acceptsRaw(const std::string& printerName) {
  const CupsQueue* queue = knowledge().resolve(printerName);
  return queue != nullptr && queue->acceptsRaw;
}

PrintSubmission CupsPrintSystem::printPdf(const std::string& printerName, std::string_view pdf,
                                          const PrintOptions& options,
                                          const PrintProgress& progress) {
  PrintSubmission result;
  const CupsKnowledge& known = knowledge();
  if (!known.answered) {
    result.error = unreachable(known.error);
    return result;
  }
  const CupsQueue* found = known.resolve(printerName);
  if (found == nullptr && known.defaultQueue) found = known.byQueue(*known.defaultQueue);
  if (found == nullptr) {
    result.error = printerName.empty()
                       ? "There is no default printer"
                       : "No printer is named \"" + printerName + "\" and there is no default";
    return result;
  }
  const CupsQueue queue = *found;

  // The caller waits until CUPS has it all (each request is bounded by the connection's own
  // timeout), so the work may use the caller's buffer: a PDF can be large and is never copied.
  const JobOutcome outcome = *worker_->ask<JobOutcome>(
      [&](http_t* http, const CupsWorker::Relay& relay) {
        CupsOptions cupsOptions;
        addPdfOptions(cupsOptions, options, queue.media);
        const auto writeBody = [&](http_t* connection) -> std::optional<std::string> {
          std::size_t sent = 0;
          while (sent < pdf.size()) {
            const std::size_t length = std::min(kChunkSize, pdf.size() - sent);
            if (cupsWriteRequestData(connection, pdf.data() + sent, length) !=
                HTTP_STATUS_CONTINUE) {
              return lastCupsError();
            }
            sent += length;
            if (progress) relay([&progress, sent, total = pdf.size()] { progress(sent, total); });
          }
          return std::nullopt;
        };
        JobOutcome job = submitJob(http, worker_->server(), queue, options.jobName, CUPS_FORMAT_PDF,
                                   cupsOptions, false, writeBody);
        if (!job.submitted) worker_->dropConnection();
        return job;
      },
      std::nullopt);
  if (outcome.reachedCups) heard_ = std::chrono::steady_clock::now();
  if (!outcome.reachedCups) {
    result.error = unreachable(outcome.error);
    knowledge_.answered = false;  // asked afresh before the next job
    return result;
  }
  result.submitted = outcome.submitted;
  result.jobId = outcome.jobId;
  result.error = outcome.error;
  if (outcome.submitted)
    follow(outcome.jobId, queue.queue, queue.printerName, options.jobName, false);
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

  const CupsKnowledge& known = knowledge();
  // Without an answer from the scheduler, "no such printer" would be a false statement.
  if (!known.answered) {
    return refuse(RawSubmission::Result::PrinterUnavailable, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE,
                  unreachable(known.error));
  }
  // Raw data is meant for one particular printer: never the default in its place.
  const CupsQueue* found = known.resolve(printerName);
  if (found == nullptr) {
    return refuse(RawSubmission::Result::NotAPrinter, IPP_STATUS_ERROR_NOT_FOUND,
                  "No printer is named \"" + printerName + "\"");
  }
  if (!found->formatsListed) {
    return refuse(RawSubmission::Result::FormatsUnavailable, IPP_STATUS_OK,
                  "The printer does not list the formats it accepts");
  }
  if (!found->acceptsRaw) {
    return refuse(RawSubmission::Result::RawNotSupported, IPP_STATUS_OK,
                  "The printer does not accept raw data");
  }
  const CupsQueue queue = *found;

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
  const bool gzipped = length == 0 && queue.acceptsGzip;
  const auto writeBody = [&](http_t* connection) -> std::optional<std::string> {
    if (gzipped) {
      if (cupsWriteRequestData(connection, reinterpret_cast<const char*>(kEmptyGzip),
                               sizeof kEmptyGzip) != HTTP_STATUS_CONTINUE) {
        return lastCupsError();
      }
      return std::nullopt;
    }
    while (length > 0) {
      if (cupsWriteRequestData(connection, chunk.data(), length) != HTTP_STATUS_CONTINUE) {
        return lastCupsError();
      }
      length = readChunk();
    }
    if (file.bad()) return "Reading " + filePath + " failed";
    return std::nullopt;
  };
  // As with a PDF, the caller waits until it is done, so its file and buffer may be used.
  const JobOutcome outcome = *worker_->ask<JobOutcome>(
      [&](http_t* http, const CupsWorker::Relay&) {
        const CupsOptions noJobOptions;
        JobOutcome job = submitJob(http, worker_->server(), queue, jobName, CUPS_FORMAT_RAW,
                                   noJobOptions, gzipped, writeBody);
        if (!job.submitted) worker_->dropConnection();
        return job;
      },
      std::nullopt);
  if (outcome.reachedCups) heard_ = std::chrono::steady_clock::now();
  if (!outcome.reachedCups) {
    knowledge_.answered = false;
    return refuse(RawSubmission::Result::PrinterUnavailable, outcome.status,
                  unreachable(outcome.error));
  }
  if (!outcome.submitted) {
    return refuse(RawSubmission::Result::SubmitFailed, outcome.status, outcome.error);
  }
  follow(outcome.jobId, queue.queue, queue.printerName, jobName, true);
  result.result = RawSubmission::Result::Submitted;
  result.status = static_cast<int>(IPP_STATUS_OK);
  result.jobId = outcome.jobId;
  return result;
}
