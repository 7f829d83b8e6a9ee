#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/UserText.h"

// Why the job being carried out failed, kept for telling the user once the job has ended: the
// lines on standard error reach nobody at the desk. Only the first failure of a job is kept.
// Main thread only.
namespace JobFailure {

struct Failure {
  std::string cause;    // a short key: the same cause is not told again within a minute
  UserText message;     // for the user: what happened to which document, and what to do
  bool jobCarriedOut = false;  // a note on a job that was done all the same
  // About a printer or the print service: the printer settings are where the user mends it.
  // Told by the cause: "no-printer", "print-service-down", or one that names a printer
  // ("print:", "raw:", "gone:", "renamed:" and the printer's name).
  bool aboutPrinter = false;
};

// The context under which the messages are translated; mark each with
// QT_TRANSLATE_NOOP("JobFailure", "…") so that lupdate finds it.
inline constexpr const char* kContext = "JobFailure";

// Records a failure of the running job; outside a job it is ignored. `message` is the English
// template, with %1… for the arguments.
void report(std::string_view cause, const char* message, std::vector<UserText> arguments = {});
// Records something the user should know about a job that is carried out all the same (a choice
// that could not be saved, a file set aside); a failure of the same job wins over it.
void note(std::string_view cause, const char* message, std::vector<UserText> arguments = {});

// The job's document could not be printed because no printer is installed.
void noPrinter(std::string_view documentName);

// The job waits because the print service does not answer.
void printServiceDown(std::string_view documentName);

// One job: failures reported while it lives are the job's.
class Scope {
 public:
  Scope();
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  const std::optional<Failure>& failure() const { return failure_; }

 private:
  friend void report(std::string_view, const char*, std::vector<UserText>);
  friend void note(std::string_view, const char*, std::vector<UserText>);
  Scope* outer_;
  std::optional<Failure> failure_;
};

}  // namespace JobFailure
