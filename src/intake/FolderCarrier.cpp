#include "intake/FolderCarrier.h"

#include <cerrno>
#include <cstring>

#include "config/TableViewControler.h"
#include "core/Diagnostics.h"
#include "core/JobLimits.h"
#include "ports/Paths.h"

std::string FolderCarrier::folder() const {
  return paths_.documentsDirectory() + "/" + std::string(TableViewControler::kRedirectedFolderName);
}

std::optional<FolderCarrier::Job> FolderCarrier::ready(
    const std::function<void(std::uint64_t size)>& aboutToRead) {
  const std::string base = folder() + "/";
  const std::optional<FileSystem::Stamp> marker =
      FileSystem::stamp(base + std::string(kReadyMarkerName));
  if (!marker) return std::nullopt;
  if (!marker->regular) {
    // A folder or a pipe is no marker: the job beside it may still be being written.
    if (oddMarker_ != marker) {
      Diagnostics::warning() << "the ready marker " << base << kReadyMarkerName
                         << " is not a file; no folder job is taken until it is";
      oddMarker_ = marker;
    }
    return std::nullopt;
  }
  const std::string jobFile = base + std::string(kJobFileName);
  if (stuck_) {
    if (stuck_->markerStamp == *marker && stuck_->jobStamp == FileSystem::stamp(jobFile)) {
      return std::nullopt;
    }
    stuck_.reset();
  }
  hold_.reset();
  hold_ = FileSystem::Hold::take(base + std::string(kReadyMarkerName), *marker);
  if (!hold_) return std::nullopt;  // another agent of this user carries it out
  Job job{.text = std::nullopt, .jobStamp = std::nullopt, .markerStamp = *marker};
  const std::optional<FileSystem::Stamp> size = FileSystem::stamp(jobFile);
  if (size && static_cast<std::uint64_t>(size->size) > JobLimits::maxJobTextBytes()) {
    job.tooLarge = true;
    return job;
  }
  if (size && aboutToRead) aboutToRead(static_cast<std::uint64_t>(size->size));
  // The remote side writes plain files; a link there would print whatever file it points to.
  if (std::optional<FileSystem::StampedContent> read =
          FileSystem::readRegularFileStamped(jobFile, false)) {
    job.text = std::move(read->content);
    job.jobStamp = read->stamp;
  }
  return job;
}

void FolderCarrier::finish(const Job& job) {
  // Let go once the files are gone (or stuck): another agent then finds nothing to do.
  const struct Release {
    std::optional<FileSystem::Hold>& hold;
    ~Release() { hold.reset(); }
  } release{hold_};
  const std::string base = folder() + "/";
  const std::string jobFile = base + std::string(kJobFileName);
  FileSystem::Removal removal = FileSystem::Removal::Gone;
  if (job.jobStamp) {
    removal = FileSystem::removeIfUnchanged(jobFile, *job.jobStamp);
    // A newer job is being written: it waits for a marker of its own, so the old one goes
    // unless the sender has written it again since.
    if (removal == FileSystem::Removal::Changed) removal = FileSystem::Removal::Removed;
  } else if (!FileSystem::remove(jobFile) && errno != ENOENT && errno != EISDIR && errno != EPERM) {
    // An unreadable job file goes too; a folder standing in its place is not ours to delete.
    removal = FileSystem::Removal::Failed;
  }
  // The job file first: a marker left alone would make the next tick read a half-gone job.
  if (removal != FileSystem::Removal::Failed) {
    removal = FileSystem::removeIfUnchanged(base + std::string(kReadyMarkerName), job.markerStamp);
    if (removal != FileSystem::Removal::Failed) return;
  }
  Diagnostics::error() << "the folder " << folder() << " cannot be written (" << std::strerror(errno)
                     << "); the job stays there and is not carried out again until it changes";
  stuck_ = Stuck{job.jobStamp, job.markerStamp};
}
