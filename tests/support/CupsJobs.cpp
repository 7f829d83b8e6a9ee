#include "support/CupsJobs.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/AgentProcess.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

std::optional<CupsJob> get(int jobId) {
  char uri[HTTP_MAX_URI];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                   "/jobs/%d", jobId);
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");  // frees the request
  if (response == nullptr) return std::nullopt;
  CupsJob job;
  for (ipp_attribute_t* attr = ippFirstAttribute(response); attr != nullptr;
       attr = ippNextAttribute(response)) {
    if (ippGetGroupTag(attr) != IPP_TAG_JOB || ippGetName(attr) == nullptr) continue;
    std::string value(ippAttributeString(attr, nullptr, 0) + 1, '\0');
    value.resize(ippAttributeString(attr, value.data(), value.size()));
    job.attributes[ippGetName(attr)] = value;
  }
  ippDelete(response);
  return job;
}

// The environment's folder: the parent of CUPS_SERVERROOT, which testenv.sh points at BASE/etc.
std::optional<std::string> fileOfTheEnvironment(const fs::path& path) {
  const fs::path whole = fs::path(std::getenv("CUPS_SERVERROOT")).parent_path() / path;
  if (!fs::exists(whole)) return std::nullopt;
  return readFile(whole);
}

}  // namespace

namespace CupsJobs {

std::optional<CupsJob> waitUntilEnded(int jobId, std::chrono::milliseconds limit) {
  std::optional<CupsJob> job;
  const auto ended = [&] {
    const std::string state = job ? (*job)["job-state"] : "";
    return state == "completed" || state == "canceled" || state == "aborted";
  };
  waitFor([&] { return jobId > 0 && (job = get(jobId)) && ended(); }, limit);
  return ended() ? job : std::nullopt;
}

std::optional<std::string> captured(const std::string& queue, int jobId) {
  // The backend renames a finished capture into place, so a file that exists is complete.
  return fileOfTheEnvironment("out/" + queue + "/job-" + std::to_string(jobId) + ".prn");
}

std::optional<std::string> spooled(int jobId) {
  char name[32];
  std::snprintf(name, sizeof name, "d%05d-001", jobId);
  return fileOfTheEnvironment(fs::path("spool") / name);
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
