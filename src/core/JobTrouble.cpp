#include "core/JobTrouble.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace {

bool hasReason(const JobTrouble& trouble, std::string_view keyword) {
  return std::any_of(trouble.reasons.begin(), trouble.reasons.end(),
                     [&](const std::string& reason) { return reason.starts_with(keyword); });
}

bool mentions(const JobTrouble& trouble, std::string_view part) {
  return std::any_of(
      trouble.reasons.begin(), trouble.reasons.end(),
      [&](const std::string& reason) { return reason.find(part) != std::string::npos; });
}

// The first reason the user can do something about, in their words; the rarer and more telling
// ones first, since CUPS gives several at once (a stopped printer also stops its jobs).
std::optional<UserText> cause(const JobTrouble& trouble) {
  const auto text = [](const char* source) { return UserText(JobTroubleText::kContext, source); };
  if (hasReason(trouble, "job-canceled-by-user")) {
    return text(QT_TRANSLATE_NOOP("JobTrouble", "it was cancelled in the print queue"));
  }
  if (hasReason(trouble, "job-held-for-authentication") ||
      hasReason(trouble, "cups-held-for-authentication")) {
    return text(QT_TRANSLATE_NOOP(
        "JobTrouble",
        "the printer asks for a user name and password; release the job in the print "
        "queue"));
  }
  if (hasReason(trouble, "job-hold-until-specified")) {
    return text(
        QT_TRANSLATE_NOOP("JobTrouble", "it is held in the print queue until someone releases it"));
  }
  if (hasReason(trouble, "media-empty") || hasReason(trouble, "media-needed")) {
    return text(QT_TRANSLATE_NOOP("JobTrouble", "the printer is out of paper"));
  }
  if (hasReason(trouble, "offline") || hasReason(trouble, "connecting-to-device")) {
    return text(QT_TRANSLATE_NOOP(
        "JobTrouble", "the printer cannot be reached; check that it is switched on and connected"));
  }
  if (hasReason(trouble, "document-format-error")) {
    return text(QT_TRANSLATE_NOOP("JobTrouble", "the printer cannot handle this document"));
  }
  if (mentions(trouble, "filter")) {
    return text(
        QT_TRANSLATE_NOOP("JobTrouble", "the document could not be prepared for this printer"));
  }
  if (mentions(trouble, "backend")) {
    return text(QT_TRANSLATE_NOOP("JobTrouble", "the printer could not be sent the document"));
  }
  if (hasReason(trouble, "printer-stopped") || hasReason(trouble, "paused")) {
    return text(QT_TRANSLATE_NOOP(
        "JobTrouble", "the printer is paused or stopped; resume it in the print queue"));
  }
  if (hasReason(trouble, "aborted-by-system") || hasReason(trouble, "job-aborted-by-system")) {
    return text(QT_TRANSLATE_NOOP("JobTrouble", "the print system gave up on it"));
  }
  return std::nullopt;
}

}  // namespace

namespace JobTroubleText {

UserText describe(const JobTrouble& trouble) {
  const bool ended =
      trouble.state == JobTrouble::State::Cancelled || trouble.state == JobTrouble::State::Aborted;
  std::optional<UserText> why = cause(trouble);
  if (!why) {
    // CUPS's own words, where it has none of the known keywords.
    if (!trouble.cupsMessage.empty()) {
      why = UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "CUPS says: %1"),
                     {trouble.cupsMessage});
    } else if (trouble.state == JobTrouble::State::Cancelled) {
      why = UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "it was cancelled"));
    } else {
      why = UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "CUPS gives no reason"));
    }
  } else if (!trouble.cupsMessage.empty()) {
    why = UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "%1 (CUPS: %2)"),
                   {*why, trouble.cupsMessage});
  }
  if (ended) {
    return UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "\"%1\" was not printed on %2: %3."),
                    {trouble.document, trouble.printer, *why});
  }
  return UserText(kContext, QT_TRANSLATE_NOOP("JobTrouble", "\"%1\" is waiting on %2: %3."),
                  {trouble.document, trouble.printer, *why});
}

}  // namespace JobTroubleText
