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

void report(std::string_view cause, std::string message) {
  if (current == nullptr || (current->failure_ && !current->failure_->jobCarriedOut)) return;
  current->failure_ = Failure{std::string(cause), std::move(message), false, aboutPrinter(cause)};
}

void note(std::string_view cause, std::string message) {
  if (current == nullptr || current->failure_) return;
  current->failure_ = Failure{std::string(cause), std::move(message), true, aboutPrinter(cause)};
}

void noPrinter(std::string_view documentName) {
  const std::string name(FileName::lastComponent(documentName));
  report("no-printer", (name.empty() ? std::string("A job") : "\"" + name + "\"") +
                           " was not printed: this computer has no printer. Add one in the "
                           "printer settings, then print again.");
}

void printServiceDown(std::string_view documentName) {
  const std::string name(FileName::lastComponent(documentName));
  report("print-service-down",
         (name.empty() ? std::string("A job") : "\"" + name + "\"") +
             " waits: the print service (CUPS) does not answer. It is carried out once CUPS runs "
             "again; check that it is running.");
}

}  // namespace JobFailure
