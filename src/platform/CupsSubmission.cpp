#include "platform/CupsSubmission.h"

#include <cstring>

#include "core/Diagnostics.h"

namespace {

bool succeeded(ipp_status_t status) { return status <= IPP_STATUS_OK_EVENTS_COMPLETE; }

// The resource part of a printer URI, where requests about it go.
std::string resourceOf(const std::string& uri) {
  char scheme[32], user[256], host[256], resource[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, user, sizeof user,
                      host, sizeof host, &port, resource, sizeof resource) < HTTP_URI_STATUS_OK) {
    return "/";
  }
  return resource;
}

ipp_t* jobRequest(ipp_op_t op, const std::string& printerUri, const CupsServer& server, int jobId) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri.c_str());
  if (jobId > 0) ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               server.user.c_str());
  return request;
}

// On a fresh connection: the job's own may be stuck in the middle of a request.
bool cancelJob(const CupsServer& server, const std::string& printerUri, int jobId) {
  const CupsConnection http = connectToScheduler(server);
  if (!http) return false;
  const IppMessage response(cupsDoRequest(
      http.get(), jobRequest(IPP_OP_CANCEL_JOB, printerUri, server, jobId), "/jobs/"));
  return response && succeeded(ippGetStatusCode(response.get()));
}

}  // namespace

JobOutcome submitJob(http_t* http, const CupsServer& server, const CupsQueue& queue,
                     const std::string& title, const char* format, const CupsOptions& jobOptions,
                     bool gzipped, const BodyWriter& writeBody) {
  JobOutcome outcome;
  if (http == nullptr) {
    outcome.reachedCups = false;
    outcome.status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    outcome.error = std::strerror(errno);
    return outcome;
  }
  const std::string resource = resourceOf(queue.uri);

  ipp_t* create = jobRequest(IPP_OP_CREATE_JOB, queue.uri, server, 0);
  ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
  cupsEncodeOptions2(create, jobOptions.count(), jobOptions.data(), IPP_TAG_OPERATION);
  cupsEncodeOptions2(create, jobOptions.count(), jobOptions.data(), IPP_TAG_JOB);
  ippAddBoolean(create, IPP_TAG_JOB, kAgentJobAttribute, 1);
  {
    const IppMessage response(cupsDoRequest(http, create, resource.c_str()));
    outcome.status = cupsLastError();
    ipp_attribute_t* id =
        response ? ippFindAttribute(response.get(), "job-id", IPP_TAG_INTEGER) : nullptr;
    if (!response || !succeeded(outcome.status) || id == nullptr) {
      outcome.reachedCups = response != nullptr;
      outcome.error = lastCupsError();
      return outcome;
    }
    outcome.jobId = ippGetInteger(id, 0);
  }

  const auto fail = [&](std::string error) {
    outcome.status = cupsLastError();
    if (succeeded(outcome.status)) outcome.status = IPP_STATUS_ERROR_INTERNAL;
    outcome.error = std::move(error);
    cancelJob(server, queue.uri, outcome.jobId);
    outcome.jobId = 0;
    return outcome;
  };

  ipp_t* send = jobRequest(IPP_OP_SEND_DOCUMENT, queue.uri, server, outcome.jobId);
  ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, format);
  if (gzipped) {
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "compression", nullptr, "gzip");
  }
  ippAddBoolean(send, IPP_TAG_OPERATION, "last-document", 1);
  const http_status_t started = cupsSendRequest(http, send, resource.c_str(), CUPS_LENGTH_VARIABLE);
  ippDelete(send);
  if (started != HTTP_STATUS_CONTINUE) return fail(lastCupsError());
  if (const std::optional<std::string> error = writeBody(http)) return fail(*error);
  const IppMessage response(cupsGetResponse(http, resource.c_str()));
  if (!response || !succeeded(cupsLastError())) return fail(lastCupsError());
  outcome.submitted = true;
  return outcome;
}

int cancelLeftoverJobs(http_t* http, const CupsServer& server) {
  if (http == nullptr) return 0;
  static const char* const kWanted[] = {"job-id",          "job-state", "number-of-documents",
                                        "job-printer-uri", "job-name",  kAgentJobAttribute};
  ipp_t* request = jobRequest(IPP_OP_GET_JOBS, "ipp://localhost/", server, 0);
  ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 1);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  const IppMessage response(cupsDoRequest(http, request, "/jobs/"));
  if (!response) return 0;

  struct Job {
    int id = 0;
    int state = 0;
    int documents = 0;
    bool ours = false;
    std::string printerUri;
    std::string name;
  };
  std::vector<Job> leftovers;
  Job job;
  const auto flush = [&] {
    // Created, held for its document, and none came: the agent that made it was ended.
    const bool waiting = job.state == IPP_JSTATE_PENDING || job.state == IPP_JSTATE_HELD;
    if (job.id > 0 && job.ours && waiting && job.documents == 0) leftovers.push_back(job);
    job = {};
  };
  for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
       attr = ippNextAttribute(response.get())) {
    const char* name = ippGetName(attr);
    if (name == nullptr) {
      flush();
      continue;
    }
    if (ippGetGroupTag(attr) != IPP_TAG_JOB) continue;
    if (std::strcmp(name, "job-id") == 0) job.id = ippGetInteger(attr, 0);
    if (std::strcmp(name, "job-state") == 0) job.state = ippGetInteger(attr, 0);
    if (std::strcmp(name, "number-of-documents") == 0) job.documents = ippGetInteger(attr, 0);
    if (std::strcmp(name, kAgentJobAttribute) == 0) job.ours = ippGetBoolean(attr, 0) != 0;
    if (std::strcmp(name, "job-printer-uri") == 0) job.printerUri = ippGetString(attr, 0, nullptr);
    if (std::strcmp(name, "job-name") == 0) job.name = ippGetString(attr, 0, nullptr);
  }
  flush();

  int cancelled = 0;
  for (const Job& leftover : leftovers) {
    const IppMessage answer(cupsDoRequest(
        http, jobRequest(IPP_OP_CANCEL_JOB, leftover.printerUri, server, leftover.id), "/jobs/"));
    if (answer && succeeded(ippGetStatusCode(answer.get()))) {
      ++cancelled;
      Diagnostics::notice() << "cancelled print job " << leftover.id << " (\""
                            << Diagnostics::printable(leftover.name)
                            << "\"): an earlier run of the agent ended before sending its document";
    } else {
      Diagnostics::warning() << "could not cancel the unfinished print job " << leftover.id << ": "
                             << lastCupsError();
    }
  }
  return cancelled;
}
