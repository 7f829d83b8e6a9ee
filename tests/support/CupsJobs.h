#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

// What the private scheduler of the test environment knows about a job, read back over IPP
// (Get-Job-Attributes, all attributes), and what the job left behind in the environment's folder.

// Each job attribute as ippAttributeString renders it: enums by keyword ("completed"), several
// values joined by commas.
struct CupsJob {
  std::map<std::string, std::string> attributes;

  bool has(const std::string& name) const { return attributes.count(name) != 0; }
  // The rendered value; empty when the job lacks the attribute.
  std::string operator[](const std::string& name) const;
};

namespace CupsJobs {

// The environment's folder: the parent of CUPS_SERVERROOT, which testenv.sh points at BASE/etc.
std::filesystem::path base();

std::optional<CupsJob> get(int jobId);

// Polls until the job has ended (completed, canceled or aborted) and returns its final
// attributes; nothing when it has not ended in time or cannot be read.
std::optional<CupsJob> waitUntilEnded(int jobId,
                                      std::chrono::milliseconds limit = std::chrono::seconds(30));

// The bytes the capture backend wrote for the job: BASE/out/QUEUE/job-N.prn.
std::filesystem::path capturePath(const std::string& queue, int jobId);
std::optional<std::string> captured(const std::string& queue, int jobId);

// The document exactly as the client submitted it (PreserveJobFiles): BASE/spool/dNNNNN-001.
std::optional<std::string> spooled(int jobId);

// The highest job id the scheduler knows, 0 when it knows none.
int newest();

}  // namespace CupsJobs
