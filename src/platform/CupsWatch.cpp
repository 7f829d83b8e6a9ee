#include "platform/CupsWatch.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/CupsHandles.h"

namespace {

constexpr const char* kServerUri = "ipp://localhost/";
// Events that change what the agent keeps. printer-state-changed comes with every job and
// changes none of it; it is asked for so that a sequence gap never hides a change, and because a
// stopped printer stops its jobs. CUPS keeps subscriptions across a restart and the connection
// reconnects unseen, so a restart is known by its own events. The job events (of every user's
// jobs: CUPS cannot narrow them to ours) tell when the jobs we follow are to be looked at.
constexpr const char* kEvents[] = {
    "printer-added",         "printer-deleted",        "printer-modified",
    "printer-state-changed", "printer-config-changed", "server-started",
    "server-restarted",      "job-completed",          "job-stopped",
    "job-state-changed"};
// A subscription of an agent that was killed goes away by itself.
constexpr int kLeaseSeconds = 3600;
// How often a silent CUPS is tried again; it cannot say.
constexpr std::chrono::seconds kRetryAfter{10};

bool changesWhatWeKeep(const char* event) {
  return event != nullptr && std::strcmp(event, "printer-state-changed") != 0 &&
         std::strncmp(event, "job-", 4) != 0;
}

}  // namespace

CupsKnowledge CupsWatch::stamped(CupsKnowledge knowledge) {
  knowledge.generation = ++generation_;
  reachable_ = knowledge.answered;
  if (!reachable_) interval_ = kRetryAfter;
  return knowledge;
}

CupsKnowledge CupsWatch::silent(std::string error) {
  CupsKnowledge knowledge;
  knowledge.answered = false;
  knowledge.status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
  knowledge.error = std::move(error);
  return stamped(std::move(knowledge));
}

bool CupsWatch::subscribe(http_t* http) {
  ipp_t* request = userRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, "printer-uri", kServerUri);
  ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr,
               "ippget");
  ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events",
                static_cast<int>(std::size(kEvents)), nullptr, kEvents);
  ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration",
                kLeaseSeconds);
  const IppMessage response(cupsDoRequest(http, request, "/"));
  if (!response) return false;
  if (ipp_attribute_t* id =
          ippFindAttribute(response.get(), "notify-subscription-id", IPP_TAG_INTEGER)) {
    subscriptionId_ = ippGetInteger(id, 0);
    nextSequence_ = 1;
    news_ = true;  // whatever happened before it is not known
  }
  return true;
}

CupsKnowledge CupsWatch::reload(http_t* http) {
  if (http == nullptr) return silent(std::strerror(errno));
  // Subscribed first: a change made while the list is read is then seen at the next look.
  if (subscriptionId_ == 0 && !subscribe(http)) {
    return silent(cupsLastErrorString() != nullptr ? cupsLastErrorString() : "");
  }
  interval_ = std::chrono::seconds(60);
  return stamped(readKnowledge(http));
}

std::optional<CupsKnowledge> CupsWatch::check(http_t* http) {
  const bool wasReachable = reachable_;
  const auto lost = [&](std::string error) -> std::optional<CupsKnowledge> {
    CupsKnowledge knowledge = silent(std::move(error));
    if (!wasReachable) return std::nullopt;  // said once
    return knowledge;
  };
  if (http == nullptr) return lost(std::strerror(errno));
  if (subscriptionId_ == 0) return reload(http);

  ipp_t* request = userRequest(IPP_OP_GET_NOTIFICATIONS, "printer-uri", kServerUri);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids",
                subscriptionId_);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers",
                nextSequence_);
  const IppMessage response(cupsDoRequest(http, request, "/"));
  // No answer at all: refused, or given up on after the timeout.
  if (!response) {
    return lost(cupsLastErrorString() != nullptr ? cupsLastErrorString() : "it does not answer");
  }
  if (ippGetStatusCode(response.get()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    // The subscription is unknown: CUPS restarted without it, or its lease ran out.
    subscriptionId_ = 0;
    return reload(http);
  }
  if (ipp_attribute_t* interval =
          ippFindAttribute(response.get(), "notify-get-interval", IPP_TAG_INTEGER)) {
    interval_ = std::chrono::seconds(std::max(1, ippGetInteger(interval, 0)));
  }
  bool changed = !wasReachable;  // what happened during the silence is not known
  news_ |= changed;
  for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
       attr = ippNextAttribute(response.get())) {
    if (ippGetGroupTag(attr) != IPP_TAG_EVENT_NOTIFICATION || ippGetName(attr) == nullptr) {
      continue;
    }
    if (std::strcmp(ippGetName(attr), "notify-sequence-number") == 0) {
      nextSequence_ = std::max(nextSequence_, ippGetInteger(attr, 0) + 1);
    } else if (std::strcmp(ippGetName(attr), "notify-subscribed-event") == 0) {
      news_ = true;
      changed |= changesWhatWeKeep(ippGetString(attr, 0, nullptr));
    }
  }
  if (!changed) return std::nullopt;
  const std::chrono::seconds asked = interval_;
  CupsKnowledge knowledge = stamped(readKnowledge(http));
  if (knowledge.answered) interval_ = asked;
  return knowledge;
}

void CupsWatch::cancel(http_t* http) {
  if (http == nullptr || subscriptionId_ == 0) return;
  ipp_t* request = userRequest(IPP_OP_CANCEL_SUBSCRIPTION, "printer-uri", kServerUri);
  ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id",
                subscriptionId_);
  ippDelete(cupsDoRequest(http, request, "/"));
  subscriptionId_ = 0;
}
