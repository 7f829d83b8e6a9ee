#include "platform/CupsJobFollow.h"

#include <algorithm>
#include <cstring>

#include "platform/CupsHandles.h"

namespace {

ipp_t* attributesRequest(ipp_op_t op, const char* uriName, const std::string& uri,
                         std::initializer_list<const char*> wanted) {
  ipp_t* request = userRequest(op, uriName, uri);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(wanted.size()), nullptr, wanted.begin());
  return request;
}

std::string text(ipp_t* message, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(message, name, IPP_TAG_ZERO);
  const char* value = attr != nullptr ? ippGetString(attr, 0, nullptr) : nullptr;
  return value != nullptr ? value : "";
}

int number(ipp_t* message, const char* name) {
  ipp_attribute_t* attr = ippFindAttribute(message, name, IPP_TAG_ENUM);
  return attr != nullptr ? ippGetInteger(attr, 0) : 0;
}

void addKeywords(ipp_t* message, const char* name, std::vector<std::string>& to) {
  ipp_attribute_t* attr = ippFindAttribute(message, name, IPP_TAG_KEYWORD);
  for (int i = 0; attr != nullptr && i < ippGetCount(attr); ++i) {
    const char* keyword = ippGetString(attr, i, nullptr);
    if (keyword != nullptr && std::strcmp(keyword, "none") != 0) to.emplace_back(keyword);
  }
}

}  // namespace

void CupsJobFollow::follow(int jobId, std::string queue, std::string printer,
                           std::string document) {
  jobs_.push_back(Job{jobId, std::move(queue), std::move(printer), std::move(document), {}});
}

CupsJobFollow::Look CupsJobFollow::look(http_t* http) {
  Look result;
  if (http == nullptr) return result;  // kept until CUPS answers again
  const Clock::time_point now = Clock::now();
  std::optional<Clock::time_point> nextDue;
  std::vector<Job> kept;
  for (Job& job : jobs_) {
    const IppMessage jobAnswer(cupsDoRequest(
        http,
        attributesRequest(
            IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", "ipp://localhost/jobs/" + std::to_string(job.id),
            {"job-state", "job-state-reasons", "job-printer-state-message", "job-preserved"}),
        "/jobs/"));
    if (!jobAnswer) {
      kept.push_back(std::move(job));  // CUPS did not answer: asked again at the next news
      continue;
    }
    // Gone (purged, or CUPS lost it) or printed: nothing more to tell.
    const int state = number(jobAnswer.get(), "job-state");
    if (ippGetStatusCode(jobAnswer.get()) > IPP_STATUS_OK_EVENTS_COMPLETE || state == 0) {
      continue;
    }
    ipp_attribute_t* preserved =
        ippFindAttribute(jobAnswer.get(), "job-preserved", IPP_TAG_BOOLEAN);
    const bool documentKept = preserved != nullptr && ippGetBoolean(preserved, 0) != 0;
    if (state == IPP_JSTATE_COMPLETED) {
      result.seen.push_back(Seen{job.id, RecentJob::State::Printed, documentKept});
      continue;
    }
    JobTrouble trouble;
    trouble.document = job.document;
    trouble.printer = job.printer;
    addKeywords(jobAnswer.get(), "job-state-reasons", trouble.reasons);
    trouble.cupsMessage = text(jobAnswer.get(), "job-printer-state-message");
    bool printerStopped = false;
    if (state != IPP_JSTATE_PROCESSING) {
      const IppMessage printerAnswer(cupsDoRequest(
          http,
          attributesRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri",
                            "ipp://localhost/printers/" + job.queue,
                            {"printer-state", "printer-state-reasons", "printer-state-message"}),
          "/"));
      if (printerAnswer) {
        printerStopped = number(printerAnswer.get(), "printer-state") == IPP_PSTATE_STOPPED;
        addKeywords(printerAnswer.get(), "printer-state-reasons", trouble.reasons);
        if (trouble.cupsMessage.empty()) {
          trouble.cupsMessage = text(printerAnswer.get(), "printer-state-message");
        }
      }
    }
    const bool ended = state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED;
    const bool stuck = state == IPP_JSTATE_HELD || state == IPP_JSTATE_STOPPED ||
                       (state == IPP_JSTATE_PENDING && printerStopped);
    using S = RecentJob::State;
    result.seen.push_back(Seen{job.id,
                               state == IPP_JSTATE_CANCELED  ? S::Cancelled
                               : state == IPP_JSTATE_ABORTED ? S::Failed
                               : state == IPP_JSTATE_HELD    ? S::Held
                               : stuck                       ? S::Stopped
                                                             : S::Printing,
                               documentKept});
    if (!stuck) job.stuckSince.reset();
    if (stuck && !job.stuckSince) job.stuckSince = now;
    if (!job.told && (ended || (stuck && now - *job.stuckSince >= stuckAfter_))) {
      trouble.state = state == IPP_JSTATE_CANCELED  ? JobTrouble::State::Cancelled
                      : state == IPP_JSTATE_ABORTED ? JobTrouble::State::Aborted
                      : state == IPP_JSTATE_STOPPED ? JobTrouble::State::Stopped
                                                    : JobTrouble::State::Waiting;
      result.told.push_back(Told{std::move(trouble), job.queue});
      job.told = true;  // once; a stuck job is still followed to its end for the menu
    }
    if (ended) continue;
    if (stuck && !job.told) {
      const Clock::time_point due = *job.stuckSince + stuckAfter_;
      nextDue = nextDue ? std::min(*nextDue, due) : due;
    }
    kept.push_back(std::move(job));
  }
  jobs_ = std::move(kept);
  if (nextDue && (!armedFor_ || *armedFor_ > *nextDue)) {
    armedFor_ = nextDue;
    result.again = std::chrono::ceil<std::chrono::milliseconds>(*nextDue - now);
  }
  return result;
}
