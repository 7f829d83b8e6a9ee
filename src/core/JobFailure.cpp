#include "core/JobFailure.h"

#include "core/FileName.h"

namespace JobFailure {

namespace {

Scope* current = nullptr;

bool aboutPrinter(std::string_view cause) {
  if (cause == "no-printer" || cause == "print-service-down") return true;
  for (const std::string_view prefix : {"print:", "raw:", "gone:", "renamed:"}) {
    if (cause.starts_with(prefix)) return true;
  }
  return false;
}

}  // namespace

Scope::Scope() : outer_(current) { current = this; }

Scope::~Scope() { current = outer_; }

void report(std::string_view cause, const char* message, std::vector<UserText> arguments) {
  if (current == nullptr || (current->failure_ && !current->failure_->jobCarriedOut)) return;
  current->failure_ = Failure{std::string(cause), UserText(kContext, message, std::move(arguments)),
                              false, aboutPrinter(cause)};
}

void note(std::string_view cause, const char* message, std::vector<UserText> arguments) {
  if (current == nullptr || current->failure_) return;
  current->failure_ = Failure{std::string(cause), UserText(kContext, message, std::move(arguments)),
                              true, aboutPrinter(cause)};
}

void noPrinter(std::string_view documentName) {
  const std::string name(FileName::lastComponent(documentName));
  if (name.empty()) {
    report("no-printer", QT_TRANSLATE_NOOP("JobFailure",
                                           "A job was not printed: this computer has no printer. "
                                           "Add one in the printer settings, then print again."));
  } else {
    report("no-printer",
           QT_TRANSLATE_NOOP("JobFailure",
                             "\"%1\" was not printed: this computer has no printer. Add one in the "
                             "printer settings, then print again."),
           {name});
  }
}

void printServiceDown(std::string_view documentName) {
  const std::string name(FileName::lastComponent(documentName));
  if (name.empty()) {
    report("print-service-down",
           QT_TRANSLATE_NOOP("JobFailure",
                             "A job waits: the print service (CUPS) does not answer. It is carried "
                             "out once CUPS runs again; check that it is running."));
  } else {
    report("print-service-down",
           QT_TRANSLATE_NOOP("JobFailure",
                             "\"%1\" waits: the print service (CUPS) does not answer. It is "
                             "carried out once CUPS runs again; check that it is running."),
           {name});
  }
}

}  // namespace JobFailure
