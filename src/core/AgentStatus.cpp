#include "core/AgentStatus.h"

#include "core/Utf8.h"

namespace {

AgentStatus* current = nullptr;

constexpr const char* kContext = "AgentStatus";

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

void AgentStatus::jobDone(std::string_view document, const char* result,
                          std::vector<UserText> arguments) {
  if (current == nullptr) return;
  UserText done(kContext, result, std::move(arguments));
  current->lastJob_ =
      document.empty()
          ? UserText(kContext, QT_TRANSLATE_NOOP("AgentStatus", "Last job: %1"), {std::move(done)})
          : UserText(kContext, QT_TRANSLATE_NOOP("AgentStatus", "Last job: %1 — %2"),
                     {std::string(document), std::move(done)});
  current->changed();
}

void AgentStatus::jobFailed(const UserText& message) {
  if (current == nullptr) return;
  UserText happened = message;
  happened.firstClause = true;
  current->lastJob_ =
      UserText(kContext, QT_TRANSLATE_NOOP("AgentStatus", "Last job: %1"), {std::move(happened)});
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

std::string AgentStatus::line(const UserText::Translator& translate) const {
  UserText text(kContext,
                QT_TRANSLATE_NOOP("AgentStatus", "Watching the clipboard and the folder"));
  if (choices_ > 0) {
    text = UserText(kContext, QT_TRANSLATE_NOOP("AgentStatus", "A job waits for a choice"));
  } else if (!serviceAnswers_) {
    text = UserText(kContext, QT_TRANSLATE_NOOP("AgentStatus", "CUPS is not answering"));
  } else if (lastJob_) {
    text = *lastJob_;
  }
  return fitted(text.shown(translate));
}

void AgentStatus::changed() const {
  if (listener_) listener_();
}
