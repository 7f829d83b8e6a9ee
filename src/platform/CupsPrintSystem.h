#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/RecentJobs.h"
#include "platform/CupsHandles.h"
#include "platform/CupsKnowledge.h"
#include "ports/PrintSystem.h"

class CupsJobFollow;
class CupsWatch;
class CupsWorker;
class Notifier;
class QObject;

// The printing system of the machine, through libcups. The destinations, the default and what a
// job needs of each queue are read once and kept, fresh from CUPS's own events; a job then asks
// CUPS only to take it. Every request runs on a thread of its own over one kept connection, and
// a caller waits for it with its event loop running.
class CupsPrintSystem final : public PrintSystem {
 public:
  // A job held or stopped this long is told; ZELBRIN_JOB_STUCK_SECONDS in the environment sets
  // another limit (for tests).
  static constexpr std::chrono::seconds kStuckAfter{60};

  CupsPrintSystem();
  ~CupsPrintSystem() override;
  CupsPrintSystem(const CupsPrintSystem&) = delete;
  CupsPrintSystem& operator=(const CupsPrintSystem&) = delete;

  std::vector<std::string> printerNames() override;
  bool serviceAnswered() const override { return knowledge_.answered; }
  std::optional<std::string> defaultPrinter() override;
  std::optional<std::vector<std::string>> inputSlots(const std::string& printerName) override;
  PrintSubmission printPdf(const std::string& printerName, std::string_view pdf,
                           const PrintOptions& options, const PrintProgress& progress) override;
  bool acceptsRaw(const std::string& printerName) override;
  RawSubmission printRaw(const std::string& printerName, const std::string& filePath,
                         const std::string& jobName) override;

  // The queue a printer name stands for, by the rules every call above follows; nothing when no
  // printer bears that name. For code that speaks to CUPS by queue, such as Qt's print dialog.
  std::optional<std::string> queueFor(const std::string& printerName) override;
  std::optional<std::string> printerOfQueue(const std::string& queue) override;

  // Cancels, on the worker and without waiting, the jobs of ours that an agent ended between
  // creating them and sending their document left in the queue; at start.
  void cancelLeftoverJobs();
  // Asks CUPS for its events now instead of when it next wants to be asked.
  void checkForChanges();
  // Where a job of ours that CUPS took and then did not print, or that is stuck, is told. The
  // notifier must outlive this print system.
  void tellJobTroubleTo(Notifier& notifier) { notifier_ = &notifier; }
  // The last jobs of ours, their states kept current from CUPS's events.
  RecentJobs& recentJobs() { return recent_; }
  // Prints a job of ours again on its printer, from the document CUPS kept (Restart-Job); false,
  // with a line on standard error, when CUPS would not.
  bool printAgain(int jobId);
  // The document CUPS kept of a job of ours; nothing, with a line on standard error, when it
  // has none or cannot give it.
  std::optional<std::string> documentOf(int jobId);
  // Prints the document CUPS kept of a PDF job of ours as a new job on another printer.
  PrintSubmission printCopyOn(int jobId, const std::string& printerName);

 private:
  // A question waits no longer than one request may take.
  static constexpr std::chrono::milliseconds kAnswerBudget{kSchedulerTimeoutMs};

  // The kept knowledge; read afresh first when there is none or CUPS was silent.
  const CupsKnowledge& knowledge();
  void apply(CupsKnowledge knowledge);
  // The answer when the caller's budget passed before CUPS said anything.
  CupsKnowledge silentNow() const;
  // Worker thread: the idle look for events, and its findings handed to this thread queued.
  void watchOnWorker();
  void deliver(CupsKnowledge knowledge);
  std::string unreachable(const std::string& detail) const;
  // Follows a job CUPS took until it ends.
  void follow(int jobId, const std::string& queue, const std::string& printer,
              const std::string& document, bool raw);
  // Worker thread: looks at the followed jobs after news from CUPS or at a stuck job's limit.
  void lookAtJobs(http_t* http);

  CupsKnowledge knowledge_;
  bool loaded_ = false;
  std::chrono::steady_clock::time_point heard_;  // when CUPS last answered
  std::int64_t userDefault_ = 0;                 // the user's lpoptions files when last read
  std::unique_ptr<QObject> receiver_;  // on this thread: where the worker's findings are delivered
  std::shared_ptr<CupsWatch> watch_;   // used on the worker thread only
  std::shared_ptr<CupsJobFollow> jobs_;  // used on the worker thread only
  Notifier* notifier_ = nullptr;
  RecentJobs recent_;
  std::unique_ptr<CupsWorker> worker_;
};
