#include <cups/cups.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdlib>

#include "platform/CupsPrintSystem.h"
#include "platform/CupsSubmission.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

// Runs against the private cupsd of tests/env/testenv.sh:
//   zelbrin-tray   "Office Tray Printer"  PPD with InputSlot Tray1/Tray2/Manual; the default
//   zelbrin-raw    "Raw Capture"          accepts raw data
//   zelbrin-noraw  "No Raw Printer"       the same PPD, PDF passed through as is, no raw data
// Every job's data lands in BASE/out/QUEUE/job-N.prn.

namespace fs = std::filesystem;

namespace {

constexpr const char* kTray = "Office Tray Printer";
constexpr const char* kRaw = "Raw Capture";
constexpr const char* kNoRaw = "No Raw Printer";
const std::string kPdf = makePdf(300, 400);

// Names resolve exactly, and no temporary file is left behind (the agent runs for weeks). A queue
// added while the print system lives is known after its next look at CUPS's events.
TEST(CupsPrintSystemTest, PrintersSlotsAndNamesResolveExactlyAndLeaveNoFileBehind) {
  const TempFolder tmp;
  ::setenv("TMPDIR", tmp.path().c_str(), 1);
  CupsPrintSystem cups;
  for (const char* name : {kTray, kRaw, kNoRaw}) EXPECT_TRUE(cups.hasPrinter(name)) << name;
  EXPECT_FALSE(cups.hasPrinter("zelbrin-tray")) << "queue names are not what users see";
  EXPECT_EQ(cups.defaultPrinter(), std::optional<std::string>(kTray));
  const std::vector<std::string> trays{"Tray1", "Tray2", "Manual"};
  EXPECT_EQ(cups.inputSlots("zelbrin-tray"), trays);
  EXPECT_EQ(cups.inputSlots(kRaw), std::nullopt) << "a queue without a PPD has no InputSlot";
  for (const char* name : {"office tray printer", "ZELBRIN-TRAY", ""}) {
    EXPECT_FALSE(cups.inputSlots(name).has_value()) << "'" << name << "'";
  }
  EXPECT_TRUE(cups.acceptsRaw(kRaw));
  EXPECT_FALSE(cups.acceptsRaw(kNoRaw));

  EXPECT_TRUE(cups.printPdf(kNoRaw, kPdf, {}, {}).submitted);
  ::unsetenv("TMPDIR");

  // A second queue with the default's description (one printer on USB and on the network):
  // every name still names one queue, and the default is the default queue.
  const TempFolder capture;
  ASSERT_EQ(std::system(("lpadmin -p zelbrin-twin -E -v capture:" + capture.path().string() +
                         " -D 'Office Tray Printer'")
                            .c_str()),
            0);
  const struct Removed {
    ~Removed() {
      [[maybe_unused]] const int gone = std::system("lpadmin -x zelbrin-twin");
      fs::remove(fs::path(std::getenv("HOME")) / ".cups" / "lpoptions");
    }
  } removed;
  cups.checkForChanges();
  std::vector<std::string> names = cups.printerNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{kNoRaw, "Office Tray Printer (zelbrin-tray)",
                                             "Office Tray Printer (zelbrin-twin)", kRaw}));
  EXPECT_EQ(cups.defaultPrinter(), "Office Tray Printer (zelbrin-tray)");
  EXPECT_EQ(cups.queueFor(cups.defaultPrinter().value_or("")), "zelbrin-tray");
  EXPECT_EQ(cups.queueFor("Office Tray Printer (zelbrin-twin)"), "zelbrin-twin");
  EXPECT_EQ(cups.queueFor(kTray), std::nullopt) << "a shared description names no queue";
  // The user's own default, which CUPS announces nothing of, counts from the next question on.
  ASSERT_EQ(std::system("lpoptions -d zelbrin-twin >/dev/null"), 0);
  EXPECT_EQ(cups.defaultPrinter(), "Office Tray Printer (zelbrin-twin)");
  for (const auto& entry : fs::recursive_directory_iterator(tmp.path())) {
    EXPECT_TRUE(entry.is_directory()) << "left behind: " << entry.path();
  }
}

// A job created and never given its document, as a killed agent leaves it; `ours` marks it the
// way the agent marks its jobs.
int heldJobWithoutDocument(bool ours) {
  ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
               "ipp://localhost/printers/zelbrin-raw");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  if (ours) ippAddBoolean(request, IPP_TAG_JOB, kAgentJobAttribute, 1);
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/printers/zelbrin-raw");
  ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
  const int jobId = id != nullptr ? ippGetInteger(id, 0) : 0;
  ippDelete(response);
  return jobId;
}

TEST(CupsPrintSystemTest, OnlyOurJobsLeftWithoutADocumentAreCancelledAtStart) {
  // Another program's first: were it taken for ours, it would be cancelled before ours.
  const int anothers = heldJobWithoutDocument(false);
  const int ours = heldJobWithoutDocument(true);
  ASSERT_GT(ours, 0);
  ASSERT_GT(anothers, 0);
  CupsPrintSystem cups;
  cups.cancelLeftoverJobs();
  EXPECT_EQ(CupsJobs::waitUntilEnded(ours).value_or(CupsJob{})["job-state"], "canceled");
  EXPECT_FALSE(CupsJobs::waitUntilEnded(anothers, std::chrono::milliseconds(0)))
      << "another program's job is not ours to cancel";
  cupsCancelJob2(CUPS_HTTP_DEFAULT, "zelbrin-raw", anothers, 0);
}

// While CUPS is frozen (SIGSTOP) a request waits its full timeout; the caller's event loop goes
// on meanwhile (the menu and windows answer), and CUPS is known to be silent, then back.
TEST(CupsPrintSystemTest, AFrozenSchedulerLeavesTheCallersEventLoopRunning) {
  CupsPrintSystem cups;
  ASSERT_TRUE(cups.hasPrinter(kRaw));
  const std::string pidFile = fs::path(std::getenv("CUPS_SERVERROOT")).parent_path() / "cupsd.pid";
  const pid_t cupsd = static_cast<pid_t>(std::stol(readFile(pidFile)));
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(50);
  ASSERT_EQ(::kill(cupsd, SIGSTOP), 0);
  // Asked from inside the running event loop, as the agent asks.
  QEventLoop loop;
  QTimer::singleShot(0, [&] {
    cups.checkForChanges();
    loop.quit();
  });
  loop.exec();
  ::kill(cupsd, SIGCONT);
  EXPECT_GT(ticks, 2) << "the timer stood still while CUPS was asked";
  EXPECT_FALSE(cups.serviceAnswered());
  EXPECT_TRUE(cups.hasPrinter(kRaw)) << "asked afresh once CUPS is back";
  EXPECT_TRUE(cups.serviceAnswered());
}

// A job CUPS took and then did not print is told once, in words, with the printer's queue to
// open: one whose backend fails, and one waiting on a paused queue past the limit (1 s here); one
// that prints is not told.
TEST(CupsPrintSystemTest, AJobThatFailsOrIsStuckIsToldOnce) {
  const TempFolder capture;
  ASSERT_EQ(std::system(("lpadmin -p zelbrin-broken -E -v capture:relative -D 'Broken Printer' "
                         "-o printer-error-policy=abort-job && lpadmin -p zelbrin-paused -E -v "
                         "capture:" +
                         capture.path().string() +
                         " -D 'Paused Printer' && "
                         "cupsdisable zelbrin-paused")
                            .c_str()),
            0);
  const struct Removed {
    ~Removed() {
      [[maybe_unused]] const int gone =
          std::system("lpadmin -x zelbrin-broken; lpadmin -x zelbrin-paused");
    }
  } removed;
  ::setenv("ZELBRIN_JOB_STUCK_SECONDS", "1", 1);
  CupsPrintSystem cups;
  ::unsetenv("ZELBRIN_JOB_STUCK_SECONDS");
  RecordingNotifier notifier;
  cups.tellJobTroubleTo(notifier);
  for (const char* printer : {"Broken Printer", "Paused Printer", kRaw}) {  // the last prints
    PrintOptions options;
    options.jobName = std::string(printer) + ".pdf";
    ASSERT_TRUE(cups.printPdf(printer, kPdf, options, {}).submitted) << printer;
  }
  // Looks as the agent makes them, only sooner; then 2 s more, long enough for a second notice.
  const auto look = [&] {
    cups.checkForChanges();
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
  };
  for (int i = 0; i < 300 && notifier.notices.size() < 2; ++i) look();
  for (int i = 0; i < 20; ++i) look();
  ASSERT_EQ(notifier.notices.size(), 2u) << ::testing::PrintToString(notifier.told);
  std::sort(notifier.notices.begin(), notifier.notices.end(),
            [](const auto& a, const auto& b) { return a.queue < b.queue; });
  EXPECT_EQ(notifier.notices[0].queue, "zelbrin-broken");
  EXPECT_EQ(notifier.notices[0].text.english(),
            "\"Broken Printer.pdf\" was not printed on Broken Printer: CUPS says: capture: folder "
            "'relative' is not absolute.");
  EXPECT_EQ(notifier.notices[1].queue, "zelbrin-paused");
  EXPECT_EQ(
      notifier.notices[1].text.english(),
      "\"Paused Printer.pdf\" is waiting on Paused Printer: the printer is paused or stopped; "
      "resume it in the print queue (CUPS: Paused).");

  // The menu's list, newest first, as CUPS last told; a failed job's document is kept, to be
  // saved, printed on another printer byte for byte, or again on its own (and followed again).
  using S = RecentJob::State;
  const auto& recent = cups.recentJobs().jobs();
  ASSERT_EQ(recent.size(), 3u);
  EXPECT_EQ(recent[0].state, S::Printed);
  EXPECT_EQ(recent[1].state, S::Stopped);
  const RecentJob failed = recent[2];
  EXPECT_EQ(failed.state, S::Failed);
  ASSERT_TRUE(failed.documentKept);
  EXPECT_EQ(cups.documentOf(failed.id), kPdf);
  const PrintSubmission copy = cups.printCopyOn(failed.id, kRaw);
  ASSERT_TRUE(copy.submitted) << copy.error;
  ASSERT_TRUE(CupsJobs::waitUntilEnded(copy.jobId));
  EXPECT_EQ(CupsJobs::captured("zelbrin-raw", copy.jobId), kPdf) << "on another printer";
  ASSERT_TRUE(cups.printAgain(failed.id));
  EXPECT_EQ(cups.recentJobs().jobs()[0].state, S::Printing);
  for (int i = 0; i < 300 && notifier.notices.size() < 3; ++i) look();
  EXPECT_EQ(cups.recentJobs().jobs()[0].state, S::Failed) << "failed again, and told again";
}

// ---------------------------------------------------------------- PDF

PrintOptions allOptions() {
  PrintOptions options;
  options.collate = true;
  options.copies = 2;
  options.duplexMode = 2;
  options.inputSlot = "Tray2";
  options.media = PageSize{300, 400};
  options.pageRanges = "1";
  options.jobName = "Zelbrin PDF test";
  return options;
}

// Submits, waits for the end and returns the job's final attributes.
CupsJob printedPdf(const std::string& printer, const std::string& pdf, const PrintOptions& options,
                   int* jobId = nullptr) {
  CupsPrintSystem cups;
  const PrintSubmission submission = cups.printPdf(printer, pdf, options, {});
  EXPECT_TRUE(submission.submitted) << submission.error;
  if (jobId != nullptr) *jobId = submission.jobId;
  const auto job = CupsJobs::waitUntilEnded(submission.jobId);
  EXPECT_TRUE(job) << "job " << submission.jobId << " did not end";
  return job.value_or(CupsJob{});
}

TEST(CupsPrintSystemPdfTest, OptionsReachTheJobAndThePdfIsSentUnchanged) {
  int jobId = 0;
  PrintOptions options = allOptions();
  options.extraOptions = {{"InputSlot", "Manual"}};  // the user's choice in the dialog wins
  const CupsJob job = printedPdf(kTray, kPdf, options, &jobId);
  const std::pair<const char*, std::string> expected[] = {
      {"job-state", "completed"},
      {"copies", "2"},
      {"multiple-document-handling", "separate-documents-collated-copies"},
      {"sides", "two-sided-long-edge"},
      {"InputSlot", "Manual"},
      {"media", "Custom.300x400"},
      {"fit-to-page", "true"},
      {"page-ranges", "1-1"},
      {"document-format", "application/pdf"},
      {"job-name", "Zelbrin PDF test"},
  };
  for (const auto& [name, value] : expected) EXPECT_EQ(job[name], value) << name;
  // The spooled document is what the client sent: the PDF itself, never a rendering of it.
  EXPECT_EQ(CupsJobs::spooled(jobId), kPdf);

  PrintOptions other;  // an unknown printer name means the default one
  other.collate = false;
  other.copies = 3;
  other.duplexMode = 3;
  other.media = PageSize{842.4, 595};  // near A4, turned: A4 by its name
  const CupsJob uncollated = printedPdf("No Such Printer", kPdf, other);
  EXPECT_NE(uncollated["job-printer-uri"].find("zelbrin-tray"), std::string::npos);
  EXPECT_EQ(uncollated["media"], "iso_a4_210x297mm");
  EXPECT_EQ(uncollated["multiple-document-handling"], "separate-documents-uncollated-copies");
  EXPECT_EQ(uncollated["sides"], "two-sided-short-edge");
  EXPECT_FALSE(uncollated.has("InputSlot")) << "no slot chosen, none sent";
  EXPECT_EQ(uncollated["job-name"], "Zelbrin Client") << "the default job name";
}

// ---------------------------------------------------------------- raw

class CupsPrintSystemRawTest : public ::testing::Test {
 protected:
  fs::path write(const std::string& bytes) {
    const fs::path file = folder.path() / "job.prn";
    writeFile(file, bytes);
    return file;
  }

  TempFolder folder;
  CupsPrintSystem cups;
};

TEST_F(CupsPrintSystemRawTest, BytesArriveUnchangedAndRefusalsCreateNoJob) {
  // Every byte value and more than one transfer chunk (256 KiB); and nothing at all.
  std::string binary;
  for (std::size_t i = 0; binary.size() < 600 * 1024; ++i) binary.push_back(char(i * 131 + i / 7));
  for (const std::string& bytes : {binary, std::string()}) {
    const RawSubmission submission = cups.printRaw(kRaw, write(bytes).string(), "Zelbrin raw");
    ASSERT_EQ(submission.result, RawSubmission::Result::Submitted) << submission.error;
    const auto job = CupsJobs::waitUntilEnded(submission.jobId);
    ASSERT_TRUE(job);
    EXPECT_EQ((*job)["document-format"], "application/vnd.cups-raw");
    EXPECT_EQ((*job)["job-name"], "Zelbrin raw");
    EXPECT_EQ(CupsJobs::captured("zelbrin-raw", submission.jobId), bytes);
  }

  const std::string file = write("data").string();
  using R = RawSubmission::Result;
  // An unknown name is not a printer, rather than the default.
  const std::vector<std::tuple<std::string, std::string, R>> cases{
      {"No Such Printer", file, R::NotAPrinter},
      {kNoRaw, file, R::RawNotSupported},
      {kRaw, (folder.path() / "missing.prn").string(), R::SubmitFailed},
  };
  for (const auto& [printer, path, expected] : cases) {
    const RawSubmission submission = cups.printRaw(printer, path, "job");
    EXPECT_EQ(submission.result, expected) << "'" << printer << "' " << submission.error;
    EXPECT_EQ(submission.jobId, 0);
  }
}

// ---------------------------------------------------------------- no scheduler

// The scheduler's address is switched for the calling thread only, and restored afterwards.
class CupsPrintSystemNoSchedulerTest : public ::testing::Test {
 protected:
  void TearDown() override { cupsSetServer(nullptr); }
  TempFolder folder;
};

TEST_F(CupsPrintSystemNoSchedulerTest, EveryCallFailsCleanlyOnAClosedPortOrADeadSocket) {
  const fs::path file = folder.path() / "job.prn";
  writeFile(file, "data");
  for (const std::string& server :
       {std::string("127.0.0.1:1"), (folder.path() / "cups.sock").string()}) {
    cupsSetServer(server.c_str());
    CupsPrintSystem cups;
    EXPECT_TRUE(cups.printerNames().empty());

    const PrintSubmission pdf = cups.printPdf(kTray, kPdf, allOptions(), {});
    EXPECT_FALSE(pdf.submitted);
    EXPECT_NE(pdf.error.find(server), std::string::npos) << pdf.error;

    const RawSubmission raw = cups.printRaw(kRaw, file.string(), "job");
    EXPECT_EQ(raw.result, RawSubmission::Result::PrinterUnavailable)
        << "without an answer there is no telling whether the printer exists";
    EXPECT_EQ(raw.status, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
    EXPECT_NE(raw.error.find(server), std::string::npos) << raw.error;
  }
}

}  // namespace
