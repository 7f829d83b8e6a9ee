#include "support/CupsJobs.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "support/AgentProcess.h"

namespace fs = std::filesystem;

namespace {

struct IppDelete {
  void operator()(ipp_t* message) const { ippDelete(message); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDelete>;

std::optional<std::string> readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool ended(const CupsJob& job) {
  const std::string state = job["job-state"];
  return state == "completed" || state == "canceled" || state == "aborted";
}

}  // namespace

std::string CupsJob::operator[](const std::string& name) const {
  const auto found = attributes.find(name);
  return found == attributes.end() ? std::string() : found->second;
}

namespace CupsJobs {

fs::path base() {
  const char* serverRoot = std::getenv("CUPS_SERVERROOT");
  return serverRoot != nullptr ? fs::path(serverRoot).parent_path() : fs::path();
}

std::optional<CupsJob> get(int jobId) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", jobId);
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
  // cupsDoRequest takes the request and frees it.
  const IppMessage response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
  if (!response || ippGetStatusCode(response.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    return std::nullopt;
  }
  CupsJob job;
  for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
       attr = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(attr) != IPP_TAG_JOB || ippGetName(attr) == nullptr) continue;
    const std::size_t needed = ippAttributeString(attr, nullptr, 0) + 1;
    std::string value(needed, '\0');
    ippAttributeString(attr, value.data(), value.size());
    value.resize(needed - 1);
    job.attributes[ippGetName(attr)] = value;
  }
  return job;
}

std::optional<CupsJob> waitUntilEnded(int jobId, std::chrono::milliseconds limit) {
  if (jobId <= 0) return std::nullopt;
  std::optional<CupsJob> job;
  waitFor(
      [&] {
        job = get(jobId);
        return job && ended(*job);
      },
      limit);
  if (!job || !ended(*job)) return std::nullopt;
  return job;
}

fs::path capturePath(const std::string& queue, int jobId) {
  return base() / "out" / queue / ("job-" + std::to_string(jobId) + ".prn");
}

std::optional<std::string> captured(const std::string& queue, int jobId) {
  // The backend renames a finished capture into place, so a file that exists is complete.
  return readWhole(capturePath(queue, jobId));
}

std::optional<std::string> spooled(int jobId) {
  char name[32];
  std::snprintf(name, sizeof name, "d%05d-001", jobId);
  return readWhole(base() / "spool" / name);
}

int newest() {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  int id = 0;
  for (int i = 0; i < count; ++i) id = std::max(id, jobs[i].id);
  cupsFreeJobs(count, jobs);
  return id;
}

}  // namespace CupsJobs
