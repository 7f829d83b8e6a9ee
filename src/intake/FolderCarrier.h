#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/FileSystem.h"

class Paths;

// The redirected folder as a carrier of jobs. A job is ready when its marker, a plain file,
// stands beside the job file. After the job only the files that were read are removed: a job
// written while the previous one was carried out (a prompt or a dialog can be up for minutes)
// stays, and is taken once its own marker is written. A job whose files cannot be removed (a read-only mapping) is not carried out again until
// its files change.
class FolderCarrier {
 public:
  static constexpr std::string_view kJobFileName = "pjob.data";
  static constexpr std::string_view kReadyMarkerName = "pjobd.data";

  struct Job {
    // Nothing when the job file is missing, unreadable, not a regular file or over the limit.
    std::optional<std::string> text;
    bool tooLarge = false;
    std::optional<FileSystem::Stamp> jobStamp;
    FileSystem::Stamp markerStamp;
  };

  explicit FolderCarrier(const Paths& paths) : paths_(paths) {}

  // The ready job, unless there is none or it is the one whose files could not be removed.
  // `aboutToRead` is told the job file's size before it is read.
  std::optional<Job> ready(const std::function<void(std::uint64_t size)>& aboutToRead = {});
  // Removes the job file and then the marker, each only as it was when the job was read.
  void finish(const Job& job);
  std::string folder() const;

 private:
  const Paths& paths_;
  struct Stuck {
    std::optional<FileSystem::Stamp> jobStamp;
    FileSystem::Stamp markerStamp;
  };
  std::optional<Stuck> stuck_;
  std::optional<FileSystem::Stamp> oddMarker_;  // the last marker reported for not being a file
  // The marker of the job under way, held so that an agent on another display leaves it alone.
  std::optional<FileSystem::Hold> hold_;
};
