#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>

// A job of the private scheduler of the test environment, read back over IPP: each attribute as
// ippAttributeString renders it (enums by keyword, several values joined by commas).
struct CupsJob {
  std::map<std::string, std::string> attributes;
  bool has(const std::string& name) const { return attributes.count(name) != 0; }
  std::string operator[](const std::string& name) const {
    return has(name) ? attributes.at(name) : std::string();
  }
};

namespace CupsJobs {

// Polls until the job has ended and returns its final attributes; nothing when it has not ended
// in time or cannot be read.
std::optional<CupsJob> waitUntilEnded(int jobId,
                                      std::chrono::milliseconds limit = std::chrono::seconds(30));
// The bytes the capture backend wrote for the job of that queue.
std::optional<std::string> captured(const std::string& queue, int jobId);
// The document exactly as the client submitted it (the scheduler keeps job files).
std::optional<std::string> spooled(int jobId);
// The highest job id the scheduler knows, 0 when it knows none.
int newest();

}  // namespace CupsJobs
