#include "core/AgentStatus.h"

#include "core/Utf8.h"

namespace {

AgentStatus* current = nullptr;

// A menu entry is one line of a sensible width; a document name may be anything.
constexpr std::size_t kMaxLine = 120;

std::string fitted(std::string line) {
  line = Utf8::withoutControls(line);
  if (line.size() <= kMaxLine) return line;
  std::size_t cut = kMaxLine;
  while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
  return line.substr(0, cut) + "\u2026";
}

}  // namespace

AgentStatus::AgentStatus() : outer_(current) { current = this; }

AgentStatus::~AgentStatus() { current = outer_; }

void AgentStatus::printServiceAnswers(bool answers) {
  if (current == nullptr || current->serviceAnswers_ == answers) return;
  current->serviceAnswers_ = answers;
  current->changed();
}

void AgentStatus::jobDone(std::string_view document, std::string_view result) {
  if (current == nullptr) return;
  std::string line = "Last job: ";
  if (!document.empty()) line.append(document).append(" \u2014 ");
  current->lastJob_ = fitted(line.append(result));
  current->changed();
}

void AgentStatus::jobFailed(std::string_view message) {
  if (current == nullptr) return;
  current->lastJob_ = fitted("Last job: " + std::string(message.substr(0, message.find(": "))));
  current->changed();
}

AgentStatus::Choice::Choice() : status_(current) {
  if (status_ == nullptr) return;
  ++status_->choices_;
  status_->changed();
}

AgentStatus::Choice::~Choice() {
  if (status_ == nullptr) return;
  --status_->choices_;
  status_->changed();
}

std::string AgentStatus::line() const {
  if (choices_ > 0) return "A job waits for a choice";
  if (!serviceAnswers_) return "CUPS is not answering";
  if (lastJob_) return *lastJob_;
  return "Watching the clipboard and the folder";
}

void AgentStatus::changed() const {
  if (listener_) listener_();
}
