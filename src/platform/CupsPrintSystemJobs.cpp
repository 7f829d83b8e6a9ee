#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "core/Diagnostics.h"
#include "core/JobTrouble.h"
#include "platform/CupsJobFollow.h"
#include "platform/CupsPrintSystem.h"
#include "platform/CupsWorker.h"
#include "ports/Notifier.h"

// The jobs of ours after CUPS took them: followed to their end, and printed again or copied from
// what CUPS kept.

void CupsPrintSystem::follow(int jobId, const std::string& queue, const std::string& printer,
                             const std::string& document, bool raw) {
  if (jobId <= 0) return;
  recent_.add(RecentJob{.id = jobId,
                        .document = document,
                        .printer = printer,
                        .queue = queue,
                        .state = RecentJob::State::Printing,
                        .time = std::chrono::system_clock::now(),
                        .documentKept = false,
                        .raw = raw});
  worker_->post([jobs = jobs_, jobId, queue, printer, document](http_t*) {
    jobs->follow(jobId, queue, printer, document);
  });
}

void CupsPrintSystem::lookAtJobs(http_t* http) {
  if (!jobs_->following()) return;
  CupsJobFollow::Look look = jobs_->look(http);
  if (look.again) {
    worker_->postLater(*look.again, [this](http_t* connection) {
      jobs_->due();
      lookAtJobs(connection);
    });
  }
  if (look.told.empty() && look.seen.empty()) return;
  QMetaObject::invokeMethod(
      receiver_.get(),
      [this, told = std::move(look.told), seen = std::move(look.seen)] {
        for (const CupsJobFollow::Seen& job : seen)
          recent_.update(job.id, job.state, job.documentKept);
        for (const CupsJobFollow::Told& job : told) {
          const UserText text = JobTroubleText::describe(job.trouble);
          Diagnostics::warning() << "print job on " << job.queue << ": " << text.english();
          if (notifier_ == nullptr) continue;
          notifier_->notify(Notifier::Notice{
              .title = UserText(JobTroubleText::kContext,
                                QT_TRANSLATE_NOOP("JobTrouble", "A print job needs attention")),
              .text = text,
              .failure = true,
              .aboutPrinter = true,
              .queue = job.queue,
          });
        }
      },
      Qt::QueuedConnection);
}

namespace {

ipp_t* jobRequest(ipp_op_t op, int jobId) {
  return userRequest(op, "job-uri", "ipp://localhost/jobs/" + std::to_string(jobId));
}

}  // namespace

bool CupsPrintSystem::printAgain(int jobId) {
  const RecentJob* job = recent_.find(jobId);
  if (job == nullptr) return false;
  const RecentJob again = *job;
  const std::optional<std::string> error = worker_->ask<std::string>(
      [jobId](http_t* http, const CupsWorker::Relay&) -> std::string {
        if (http == nullptr) return "it does not answer";
        const IppMessage response(
            cupsDoRequest(http, jobRequest(IPP_OP_RESTART_JOB, jobId), "/jobs/"));
        if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
          return lastCupsError();
        }
        return {};
      },
      kAnswerBudget);
  if (!error || !error->empty()) {
    Diagnostics::warning() << "CUPS did not print job " << jobId
                           << " again: " << (error ? *error : std::string("it does not answer"));
    return false;
  }
  follow(jobId, again.queue, again.printer, again.document, again.raw);
  return true;
}

std::optional<std::string> CupsPrintSystem::documentOf(int jobId) {
  using Answer = std::pair<std::optional<std::string>, std::string>;  // document; else why not
  const std::optional<Answer> answer = worker_->ask<Answer>(
      [jobId](http_t* http, const CupsWorker::Relay&) -> Answer {
        if (http == nullptr) return {std::nullopt, "CUPS does not answer"};
        // CUPS writes the document to a file descriptor; a nameless file holds it meanwhile.
        std::FILE* file = std::tmpfile();
        if (file == nullptr) return {std::nullopt, std::strerror(errno)};
        ipp_t* request = jobRequest(IPP_OP_CUPS_GET_DOCUMENT, jobId);
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "document-number", 1);
        const IppMessage response(cupsDoIORequest(http, request, "/", -1, fileno(file)));
        Answer result{std::nullopt, lastCupsError()};
        if (response && ippGetStatusCode(response.get()) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
          std::string bytes;
          std::rewind(file);
          char chunk[65536];
          std::size_t length = 0;
          while ((length = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.append(chunk, length);
          if (std::ferror(file) == 0) result.first = std::move(bytes);
        }
        std::fclose(file);
        return result;
      },
      std::nullopt);
  if (!answer || !answer->first) {
    Diagnostics::warning() << "CUPS gave no copy of the document of job " << jobId << ": "
                           << (answer ? answer->second : std::string("it does not answer"));
    return std::nullopt;
  }
  return answer->first;
}

PrintSubmission CupsPrintSystem::printCopyOn(int jobId, const std::string& printerName) {
  PrintSubmission result;
  const RecentJob* job = recent_.find(jobId);
  if (job == nullptr || !job->printableElsewhere()) {
    result.error = "job " + std::to_string(jobId) + " cannot be printed on another printer";
    return result;
  }
  PrintOptions options;
  options.jobName = job->document;
  const std::optional<std::string> document = documentOf(jobId);
  if (!document) {
    result.error = "CUPS gave no copy of the document";
    return result;
  }
  return printPdf(printerName, *document, options, {});
}
