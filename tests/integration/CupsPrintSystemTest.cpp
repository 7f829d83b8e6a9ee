#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A one-page PDF with a correct cross-reference table. `padding` bytes of an unused stream make
// it as large as a test needs.
std::string onePagePdf(int width, int height, std::size_t padding = 0) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  const auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  const std::string content = "0 g 20 20 m 120 120 l S\n";
  object("<< /Type /Catalog /Pages 2 0 R >>");
  object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " +
         std::to_string(height) + "] /Contents 4 0 R >>");
  object("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  object("<< /Length " + std::to_string(padding) + " >>\nstream\n" + std::string(padding, 'x') +
         "\nendstream");
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(offsets.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// Every byte value, runs of NUL and 0xFF, and more than one transfer chunk (256 KiB).
std::string binaryBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += std::string(4096, '\0');
  bytes += std::string(4096, '\xFF');
  for (std::size_t i = 0; bytes.size() < 600 * 1024; ++i) {
    bytes.push_back(static_cast<char>((i * 131 + i / 7) & 0xFF));
  }
  bytes += "\r\n\x1B%-12345X";
  return bytes;
}

std::string describe(const CupsJob& job) {
  std::string text;
  for (const auto& [name, value] : job.attributes) text += "\n  " + name + " = " + value;
  return text;
}

// ---------------------------------------------------------------- names

TEST(CupsPrintSystemTest, PrintersAreNamedByTheirDescription) {
  CupsPrintSystem cups;
  const auto names = cups.printerNames();
  EXPECT_TRUE(contains(names, kTray));
  EXPECT_TRUE(contains(names, kRaw));
  EXPECT_TRUE(contains(names, kNoRaw));
  EXPECT_FALSE(contains(names, "zelbrin-tray")) << "queue names are not what users see";
}

TEST(CupsPrintSystemTest, DefaultPrinterIsNamedAsInTheList) {
  CupsPrintSystem cups;
  EXPECT_EQ(cups.defaultPrinter(), std::optional<std::string>(kTray));
}

TEST(CupsPrintSystemTest, InputSlotsAreThePpdChoicesInOrder) {
  CupsPrintSystem cups;
  const std::vector<std::string> expected{"Tray1", "Tray2", "Manual"};
  EXPECT_EQ(cups.inputSlots(kTray), expected);
  EXPECT_EQ(cups.inputSlots(kRaw), std::nullopt) << "a queue without a PPD has no InputSlot";
}

TEST(CupsPrintSystemTest, NamesResolveByDescriptionOrQueueNameExactly) {
  CupsPrintSystem cups;
  EXPECT_TRUE(cups.inputSlots(kTray).has_value());
  EXPECT_TRUE(cups.inputSlots("zelbrin-tray").has_value());
  // CUPS itself compares queue names without regard to case; printer names are exact.
  EXPECT_FALSE(cups.inputSlots("office tray printer").has_value());
  EXPECT_FALSE(cups.inputSlots("ZELBRIN-TRAY").has_value());
  EXPECT_FALSE(cups.inputSlots("No Such Printer").has_value());
  EXPECT_FALSE(cups.inputSlots("").has_value());
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

std::size_t openDescriptors() {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// The agent runs for weeks: a connection or file left open per job would pile up.
TEST(CupsPrintSystemTest, RepeatedCallsLeaveNoConnectionOrFileOpen) {
  const TempFolder folder;
  const fs::path file = folder.path() / "job.prn";
  writeFile(file, "data");
  const std::string pdf = onePagePdf(300, 400);
  CupsPrintSystem cups;
  int lastJob = 0;
  const auto round = [&] {
    cups.printerNames();
    cups.defaultPrinter();
    cups.inputSlots(kTray);
    EXPECT_TRUE(cups.printPdf(kNoRaw, pdf, {}, {}).submitted);
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

TEST(CupsPrintSystemPdfTest, OptionsReachTheJobAndThePdfIsSentUnchanged) {
  const std::string pdf = onePagePdf(300, 400);
  CupsPrintSystem cups;
  const PrintSubmission submission = cups.printPdf(kTray, pdf, allOptions(), {});
  ASSERT_TRUE(submission.submitted) << submission.error;
  ASSERT_GT(submission.jobId, 0);

  const auto job = CupsJobs::waitUntilEnded(submission.jobId);
  ASSERT_TRUE(job) << "job " << submission.jobId << " did not end";
  EXPECT_EQ((*job)["job-state"], "completed") << describe(*job);
  EXPECT_NE((*job)["job-printer-uri"].find("/printers/zelbrin-tray"), std::string::npos);
  EXPECT_EQ((*job)["copies"], "2");
  EXPECT_EQ((*job)["multiple-document-handling"], "separate-documents-collated-copies");
  EXPECT_EQ((*job)["collate"], "true");
  EXPECT_EQ((*job)["sides"], "two-sided-long-edge");
  EXPECT_EQ((*job)["InputSlot"], "Tray2");
  EXPECT_EQ((*job)["media"], "Custom.300x400");
  EXPECT_EQ((*job)["fit-to-page"], "true");
  EXPECT_EQ((*job)["page-ranges"], "1-1");
  EXPECT_EQ((*job)["document-format"], "application/pdf");
  EXPECT_EQ((*job)["job-name"], "Zelbrin PDF test");
  EXPECT_EQ((*job)["job-originating-user-name"], cupsUser());

  // The spooled document is what the client sent: the PDF itself, never a rendering of it.
  EXPECT_EQ(CupsJobs::spooled(submission.jobId), pdf);
  // The queue turns it into PostScript; that it ran to the end is all that matters here.
  EXPECT_TRUE(fs::exists(CupsJobs::capturePath("zelbrin-tray", submission.jobId)));
}

TEST(CupsPrintSystemPdfTest, UncollatedAndShortEdgeAreSentAsSuch) {
  PrintOptions options;
  options.collate = false;
  options.copies = 3;
  options.duplexMode = 3;
  CupsPrintSystem cups;
  const PrintSubmission submission = cups.printPdf(kNoRaw, onePagePdf(300, 400), options, {});
  ASSERT_TRUE(submission.submitted) << submission.error;
  const auto job = CupsJobs::waitUntilEnded(submission.jobId);
  ASSERT_TRUE(job);
  EXPECT_EQ((*job)["multiple-document-handling"], "separate-documents-uncollated-copies");
  EXPECT_EQ((*job)["collate"], "false");
  EXPECT_EQ((*job)["sides"], "two-sided-short-edge");
  EXPECT_EQ((*job)["copies"], "3");
  EXPECT_FALSE(job->has("InputSlot")) << "no slot chosen, none sent";
  EXPECT_FALSE(job->has("page-ranges"));
  EXPECT_EQ((*job)["job-name"], "Zelbrin Client") << "the default job name";
}

TEST(CupsPrintSystemPdfTest, PageSizesNearAStandardSizeUseItsName) {
  const std::vector<std::pair<PageSize, std::string>> cases{
      {{595, 842}, "iso_a4_210x297mm"},      // how PDFs write A4
      {{842.0, 595.0}, "iso_a4_210x297mm"},  // landscape pages print on the same sheet
      {{612.4, 791.6}, "na_letter_8.5x11in"}, {{597.0, 842.0}, "Custom.597x842"},  // 1.7 pt off A4
      {{300.4, 399.6}, "Custom.300x400"},
  };
  CupsPrintSystem cups;
  const std::string pdf = onePagePdf(300, 400);
  for (const auto& [size, expected] : cases) {
    PrintOptions options;
    options.media = size;
    const PrintSubmission submission = cups.printPdf(kNoRaw, pdf, options, {});
    ASSERT_TRUE(submission.submitted) << submission.error;
    const auto job = CupsJobs::waitUntilEnded(submission.jobId);
    ASSERT_TRUE(job);
    EXPECT_EQ((*job)["media"], expected) << size.width << " x " << size.height;
  }
}

TEST(CupsPrintSystemPdfTest, UnknownOrEmptyNameMeansTheDefaultPrinter) {
  CupsPrintSystem cups;
  for (const std::string name : {"No Such Printer", ""}) {
    const PrintSubmission submission = cups.printPdf(name, onePagePdf(300, 400), {}, {});
    ASSERT_TRUE(submission.submitted) << "'" << name << "': " << submission.error;
    const auto job = CupsJobs::get(submission.jobId);
    ASSERT_TRUE(job);
    EXPECT_NE((*job)["job-printer-uri"].find("/printers/zelbrin-tray"), std::string::npos)
        << "'" << name << "' went to " << (*job)["job-printer-uri"];
    CupsJobs::waitUntilEnded(submission.jobId);
  }
}

TEST(CupsPrintSystemPdfTest, LargePdfStreamsWholeWithProgress) {
  const std::string pdf = onePagePdf(300, 400, 700 * 1024);
  std::vector<std::pair<std::size_t, std::size_t>> reports;
  CupsPrintSystem cups;
  const PrintSubmission submission = cups.printPdf(
      kNoRaw, pdf, {},
      [&](std::size_t sent, std::size_t total) { reports.emplace_back(sent, total); });
  ASSERT_TRUE(submission.submitted) << submission.error;

  ASSERT_GE(reports.size(), 2u) << "progress is reported while the document streams";
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].second, pdf.size());
    if (i > 0) {
      EXPECT_GT(reports[i].first, reports[i - 1].first);
    }
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
  fs::path write(const std::string& name, const std::string& bytes) {
    const fs::path file = folder.path() / name;
    writeFile(file, bytes);
    return file;
  }
  // Submits, waits for the end and returns what the printer received.
  std::optional<std::string> printAndCapture(const std::string& printer, const fs::path& file) {
    const RawSubmission submission = cups.printRaw(printer, file.string(), "Zelbrin raw test");
    EXPECT_EQ(submission.result, RawSubmission::Result::Submitted) << submission.error;
    if (submission.result != RawSubmission::Result::Submitted) return std::nullopt;
    const auto job = CupsJobs::waitUntilEnded(submission.jobId);
    EXPECT_TRUE(job);
    if (!job) return std::nullopt;
    EXPECT_EQ((*job)["job-state"], "completed") << describe(*job);
    EXPECT_EQ((*job)["document-format"], "application/vnd.cups-raw");
    EXPECT_EQ((*job)["job-name"], "Zelbrin raw test");
    return CupsJobs::captured("zelbrin-raw", submission.jobId);
  }

  TempFolder folder;
  CupsPrintSystem cups;
};

TEST_F(CupsPrintSystemRawTest, BinaryBytesArriveUnchanged) {
  const std::string bytes = binaryBytes();
  EXPECT_EQ(printAndCapture(kRaw, write("binary.prn", bytes)), bytes);
}

TEST_F(CupsPrintSystemRawTest, EmptyFileIsAnEmptyJob) {
  EXPECT_EQ(printAndCapture(kRaw, write("empty.prn", "")), "");
}

TEST_F(CupsPrintSystemRawTest, UnknownNameIsNotAPrinterRatherThanTheDefault) {
  const fs::path file = write("job.prn", "data");
  for (const std::string name : {"No Such Printer", "", "raw capture"}) {
    const RawSubmission submission = cups.printRaw(name, file.string(), "job");
    EXPECT_EQ(submission.result, RawSubmission::Result::NotAPrinter) << "'" << name << "'";
    EXPECT_EQ(submission.jobId, 0);
  }
}

TEST_F(CupsPrintSystemRawTest, QueueWithoutRawFormatIsRefused) {
  const RawSubmission submission = cups.printRaw(kNoRaw, write("job.prn", "data").string(), "job");
  EXPECT_EQ(submission.result, RawSubmission::Result::RawNotSupported) << submission.error;
  EXPECT_EQ(submission.jobId, 0);
}

TEST_F(CupsPrintSystemRawTest, UnreadableFileCreatesNoJob) {
  const RawSubmission submission =
      cups.printRaw(kRaw, (folder.path() / "missing.prn").string(), "job");
  EXPECT_EQ(submission.result, RawSubmission::Result::SubmitFailed);
  EXPECT_EQ(submission.jobId, 0);
  EXPECT_FALSE(submission.error.empty());
}

// ---------------------------------------------------------------- no scheduler

// The scheduler's address is switched for the calling thread only, and restored afterwards.
class CupsPrintSystemNoSchedulerTest : public ::testing::Test {
 protected:
  void TearDown() override { cupsSetServer(nullptr); }

  void expectEveryCallFailsCleanly(const std::string& server) {
    cupsSetServer(server.c_str());
    const fs::path file = folder.path() / "job.prn";
    writeFile(file, "data");
    CupsPrintSystem cups;

    EXPECT_TRUE(cups.printerNames().empty());
    EXPECT_EQ(cups.defaultPrinter(), std::nullopt);
    EXPECT_EQ(cups.inputSlots(kTray), std::nullopt);

    const PrintSubmission pdf = cups.printPdf(kTray, onePagePdf(300, 400), allOptions(), {});
    EXPECT_FALSE(pdf.submitted);
    EXPECT_NE(pdf.error.find(server), std::string::npos) << pdf.error;

    const RawSubmission raw = cups.printRaw(kRaw, file.string(), "job");
    EXPECT_EQ(raw.result, RawSubmission::Result::PrinterUnavailable)
        << "without an answer there is no telling whether the printer exists";
    EXPECT_EQ(raw.status, IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
    EXPECT_NE(raw.error.find(server), std::string::npos) << raw.error;
  }

  TempFolder folder;
};

TEST_F(CupsPrintSystemNoSchedulerTest, ClosedPort) { expectEveryCallFailsCleanly("127.0.0.1:1"); }

TEST_F(CupsPrintSystemNoSchedulerTest, SocketWithoutScheduler) {
  expectEveryCallFailsCleanly((folder.path() / "cups.sock").string());
}

TEST_F(CupsPrintSystemNoSchedulerTest, TheSchedulerIsUsedAgainOnceBack) {
  const fs::path file = folder.path() / "job.prn";
  writeFile(file, "data");
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
