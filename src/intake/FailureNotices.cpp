#include "intake/FailureNotices.h"

#include "ports/Notifier.h"

void FailureNotices::jobEnded(const std::optional<JobFailure::Failure>& failure) {
  if (!failure) return;
  const auto now = std::chrono::steady_clock::now();
  const auto told = lastTold_.find(failure->cause);
  if (told != lastTold_.end() && now - told->second < std::chrono::minutes(1)) return;
  lastTold_[failure->cause] = now;
  notifier_.notify(Notifier::Notice{
      .title = failure->jobCarriedOut
                   ? UserText("Zelbrin Client")
                   : UserText("FailureNotices",
                              QT_TRANSLATE_NOOP("FailureNotices",
                                                "Zelbrin Client: a job was not carried out")),
      .text = failure->message,
      .failure = !failure->jobCarriedOut,
      .aboutPrinter = failure->aboutPrinter,
      .queue = {},
  });
}
