#include "core/RecentJobs.h"

#include <algorithm>

UserText RecentJob::stateText(State state) {
  const auto text = [](const char* source) { return UserText("RecentJobs", source); };
  switch (state) {
    case State::Printing:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "printing"));
    case State::Printed:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "printed"));
    case State::Held:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "held"));
    case State::Stopped:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "stopped"));
    case State::Failed:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "failed"));
    case State::Cancelled:
      return text(QT_TRANSLATE_NOOP("RecentJobs", "cancelled"));
  }
  return {};
}

void RecentJobs::add(RecentJob job) {
  std::erase_if(jobs_, [&](const RecentJob& known) { return known.id == job.id; });
  jobs_.push_front(std::move(job));
  if (jobs_.size() > kKept) jobs_.pop_back();
  if (listener_) listener_();
}

void RecentJobs::update(int id, RecentJob::State state, bool documentKept) {
  const auto found =
      std::find_if(jobs_.begin(), jobs_.end(), [&](const RecentJob& job) { return job.id == id; });
  if (found == jobs_.end()) return;
  if (found->state == state && found->documentKept == documentKept) return;
  if (found->state != state) found->time = std::chrono::system_clock::now();
  found->state = state;
  found->documentKept = documentKept;
  if (listener_) listener_();
}

const RecentJob* RecentJobs::find(int id) const {
  const auto found =
      std::find_if(jobs_.begin(), jobs_.end(), [&](const RecentJob& job) { return job.id == id; });
  return found == jobs_.end() ? nullptr : &*found;
}
