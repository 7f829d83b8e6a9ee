#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/CupsPrintSystem.h"
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

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string describe(const CupsJob& job) {
  std::string text;
  for (const auto& [name, value] : job.attributes) text += "\n  " + name + " = " + value;
  return text;
}

std::size_t openDescriptors() {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

TEST(CupsPrintSystemTest, PrintersSlotsAndNamesResolveExactly) {
  CupsPrintSystem cups;
  const auto names = cups.printerNames();
  for (const char* name : {kTray, kRaw, kNoRaw}) EXPECT_TRUE(contains(names, name)) << name;
  EXPECT_FALSE(contains(names, "zelbrin-tray")) << "queue names are not what users see";
  EXPECT_EQ(cups.defaultPrinter(), std::optional<std::string>(kTray));

  const std::vector<std::string> slots{"Tray1", "Tray2", "Manual"};
  EXPECT_EQ(cups.inputSlots(kTray), slots);
  EXPECT_EQ(cups.inputSlots("zelbrin-tray"), slots);
  EXPECT_EQ(cups.inputSlots(kRaw), std::nullopt) << "a queue without a PPD has no InputSlot";
  // CUPS itself compares queue names without regard to case; printer names are exact.
  for (const char* name : {"office tray printer", "ZELBRIN-TRAY", "No Such Printer", ""}) {
    EXPECT_FALSE(cups.inputSlots(name).has_value()) << "'" << name << "'";
  }
}

TEST(CupsPrintSystemTest, ReadingInputSlotsLeavesNoTemporaryFile) {
  const TempFolder tmp;
  const char* previous = std::getenv("TMPDIR");
  const std::optional<std::string> saved = previous ? std::optional(previous) : std::nullopt;
  ::setenv("TMPDIR", tmp.path().c_str(), 1);
  CupsPrintSystem cups;
  const auto slots = cups.inputSlots(kTray);
  const auto noSlots = cups.inputSlots(kRaw);
  saved ? ::setenv("TMPDIR", saved->c_str(), 1) : ::unsetenv("TMPDIR");

  EXPECT_TRUE(slots.has_value());
  EXPECT_FALSE(noSlots.has_value());
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(tmp.path())) {
    if (!entry.is_directory()) left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty()) << "first left over: " << left.front();
}

// The agent runs for weeks: a connection or file left open per job would pile up.
TEST(CupsPrintSystemTest, RepeatedCallsLeaveNoConnectionOrFileOpen) {
  const TempFolder folder;
  const fs::path file = folder.path() / "job.prn";
  writeFile(file, "data");
  CupsPrintSystem cups;
  int lastJob = 0;
  const auto round = [&] {
    cups.printerNames();
    cups.defaultPrinter();
    cups.inputSlots(kTray);
    EXPECT_TRUE(cups.printPdf(kNoRaw, kPdf, {}, {}).submitted);
    EXPECT_EQ(cups.printRaw(kNoRaw, file.string(), "job").result,
              RawSubmission::Result::RawNotSupported);
    lastJob = cups.printRaw(kRaw, file.string(), "job").jobId;
    EXPECT_GT(lastJob, 0);
  };
  round();  // libcups keeps one connection of its own per thread, opened on first use
  const std::size_t before = openDescriptors();
  for (int i = 0; i < 5; ++i) round();
  EXPECT_EQ(openDescriptors(), before);
  CupsJobs::waitUntilEnded(lastJob);
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
  const CupsJob job = printedPdf(kTray, kPdf, allOptions(), &jobId);
  EXPECT_EQ(job["job-state"], "completed") << describe(job);
  EXPECT_NE(job["job-printer-uri"].find("/printers/zelbrin-tray"), std::string::npos);
  EXPECT_EQ(job["copies"], "2");
  EXPECT_EQ(job["multiple-document-handling"], "separate-documents-collated-copies");
  EXPECT_EQ(job["collate"], "true");
  EXPECT_EQ(job["sides"], "two-sided-long-edge");
  EXPECT_EQ(job["InputSlot"], "Tray2");
  EXPECT_EQ(job["media"], "Custom.300x400");
  EXPECT_EQ(job["fit-to-page"], "true");
  EXPECT_EQ(job["page-ranges"], "1-1");
  EXPECT_EQ(job["document-format"], "application/pdf");
  EXPECT_EQ(job["job-name"], "Zelbrin PDF test");
  EXPECT_EQ(job["job-originating-user-name"], cupsUser());

  // The spooled document is what the client sent: the PDF itself, never a rendering of it.
  EXPECT_EQ(CupsJobs::spooled(jobId), kPdf);
  // The queue turns it into PostScript; that it ran to the end is all that matters here.
  EXPECT_TRUE(fs::exists(CupsJobs::capturePath("zelbrin-tray", jobId)));

  PrintOptions other;
  other.collate = false;
  other.copies = 3;
  other.duplexMode = 3;
  const CupsJob uncollated = printedPdf(kNoRaw, kPdf, other);
  EXPECT_EQ(uncollated["multiple-document-handling"], "separate-documents-uncollated-copies");
  EXPECT_EQ(uncollated["collate"], "false");
  EXPECT_EQ(uncollated["sides"], "two-sided-short-edge");
  EXPECT_EQ(uncollated["copies"], "3");
  EXPECT_FALSE(uncollated.has("InputSlot")) << "no slot chosen, none sent";
  EXPECT_FALSE(uncollated.has("page-ranges"));
  EXPECT_EQ(uncollated["job-name"], "Zelbrin Client") << "the default job name";
}

TEST(CupsPrintSystemPdfTest, PageSizesNearAStandardSizeUseItsName) {
  const std::vector<std::pair<PageSize, std::string>> cases{
      {{595, 842}, "iso_a4_210x297mm"},      // how PDFs write A4
      {{842.0, 595.0}, "iso_a4_210x297mm"},  // landscape pages print on the same sheet
      {{612.4, 791.6}, "na_letter_8.5x11in"}, {{597.0, 842.0}, "Custom.597x842"},  // 1.7 pt off A4
      {{300.4, 399.6}, "Custom.300x400"},
  };
  for (const auto& [size, expected] : cases) {
    PrintOptions options;
    options.media = size;
    EXPECT_EQ(printedPdf(kNoRaw, kPdf, options)["media"], expected)
        << size.width << " x " << size.height;
  }
}

TEST(CupsPrintSystemPdfTest, UnknownOrEmptyNameMeansTheDefaultPrinter) {
  for (const std::string name : {"No Such Printer", ""}) {
    EXPECT_NE(printedPdf(name, kPdf, {})["job-printer-uri"].find("/printers/zelbrin-tray"),
              std::string::npos)
        << "'" << name << "'";
  }
}

TEST(CupsPrintSystemPdfTest, LargePdfStreamsWholeWithProgress) {
  const std::string pdf = makePdf(300, 400, 700 * 1024);
  std::vector<std::pair<std::size_t, std::size_t>> reports;
  CupsPrintSystem cups;
  const PrintSubmission submission = cups.printPdf(
      kNoRaw, pdf, {},
      [&](std::size_t sent, std::size_t total) { reports.emplace_back(sent, total); });
  ASSERT_TRUE(submission.submitted) << submission.error;

  ASSERT_GE(reports.size(), 2u) << "progress is reported while the document streams";
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].second, pdf.size());
    if (i > 0) EXPECT_GT(reports[i].first, reports[i - 1].first);
  }
  EXPECT_EQ(reports.back().first, pdf.size());

  const auto job = CupsJobs::waitUntilEnded(submission.jobId);
  ASSERT_TRUE(job);
  EXPECT_EQ((*job)["job-state"], "completed") << describe(*job);
  // This queue hands PDF to the printer as it is: the bytes survive the whole way.
  EXPECT_EQ(CupsJobs::captured("zelbrin-noraw", submission.jobId), pdf);
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

TEST_F(CupsPrintSystemRawTest, BytesArriveUnchangedEvenWhenEmpty) {
  // Every byte value, runs of NUL and 0xFF, and more than one transfer chunk (256 KiB).
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  binary += std::string(4096, '\0') + std::string(4096, '\xFF');
  for (std::size_t i = 0; binary.size() < 600 * 1024; ++i) {
    binary.push_back(static_cast<char>((i * 131 + i / 7) & 0xFF));
  }
  binary += "\r\n\x1B%-12345X";

  for (const std::string& bytes : {binary, std::string()}) {
    const RawSubmission submission = cups.printRaw(kRaw, write(bytes).string(), "Zelbrin raw");
    ASSERT_EQ(submission.result, RawSubmission::Result::Submitted) << submission.error;
    const auto job = CupsJobs::waitUntilEnded(submission.jobId);
    ASSERT_TRUE(job);
    EXPECT_EQ((*job)["job-state"], "completed") << describe(*job);
    EXPECT_EQ((*job)["document-format"], "application/vnd.cups-raw");
    EXPECT_EQ((*job)["job-name"], "Zelbrin raw");
    EXPECT_EQ(CupsJobs::captured("zelbrin-raw", submission.jobId), bytes);
  }
}

TEST_F(CupsPrintSystemRawTest, RefusalsCreateNoJob) {
  const std::string file = write("data").string();
  const std::string missing = (folder.path() / "missing.prn").string();
  using R = RawSubmission::Result;
  // An unknown name is not a printer, rather than the default.
  const std::vector<std::tuple<std::string, std::string, R>> cases{
      {"No Such Printer", file, R::NotAPrinter}, {"", file, R::NotAPrinter},
      {"raw capture", file, R::NotAPrinter},     {kNoRaw, file, R::RawNotSupported},
      {kRaw, missing, R::SubmitFailed},
  };
  for (const auto& [printer, path, expected] : cases) {
    const RawSubmission submission = cups.printRaw(printer, path, "job");
    EXPECT_EQ(submission.result, expected) << "'" << printer << "' " << submission.error;
    EXPECT_EQ(submission.jobId, 0);
    EXPECT_FALSE(submission.error.empty() && expected == R::SubmitFailed);
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
  for (const std::string server :
       {std::string("127.0.0.1:1"), (folder.path() / "cups.sock").string()}) {
    cupsSetServer(server.c_str());
    CupsPrintSystem cups;
    EXPECT_TRUE(cups.printerNames().empty());
    EXPECT_EQ(cups.defaultPrinter(), std::nullopt);
    EXPECT_EQ(cups.inputSlots(kTray), std::nullopt);

    const PrintSubmission pdf = cups.printPdf(kTray, kPdf, allOptions(), {});
    EXPECT_FALSE(pdf.submitted);
    EXPECT_NE(pdf.error.find(server), std::string::npos) << pdf.error;

    const RawSubmission raw = cups.printRaw(kRaw, file.string(), "job");
    EXPECT_EQ(raw.result, RawSubmission::Result::PrinterUnavailable)
        << "without an answer there is no telling whether the printer exists";
    EXPECT_EQ(raw.status, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
    EXPECT_NE(raw.error.find(server), std::string::npos) << raw.error;
  }

  // The same object uses the scheduler again once it is back.
  cupsSetServer("127.0.0.1:1");
  CupsPrintSystem cups;
  EXPECT_TRUE(cups.printerNames().empty());
  cupsSetServer(nullptr);
  EXPECT_TRUE(contains(cups.printerNames(), kTray));
  const RawSubmission raw = cups.printRaw(kRaw, file.string(), "after an outage");
  ASSERT_EQ(raw.result, RawSubmission::Result::Submitted) << raw.error;
  CupsJobs::waitUntilEnded(raw.jobId);
}

}  // namespace
