#include <gtest/gtest.h>

#include "core/Base64.h"
#include "core/JobText.h"
#include "intake/PastboardController.h"
#include "send/JobTextComposer.h"
#include "support/IntakeHarness.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using JobTextComposer::Channel;

namespace {

JobTextComposer::Job printJob(std::string command = "ZelbrinPrinter") {
  JobTextComposer::Job job;
  job.command = std::move(command);
  job.tray = "2";
  job.duplex = "DUPLEXNOTUMBLE";
  job.color = "Mono";
  job.documentName = "report.pdf";
  job.document = "%PDF-1.4 body";
  job.collate = "true";
  job.copies = "3";
  return job;
}

std::string clipboardText(const JobTextComposer::Job& job) {
  return JobTextComposer::compose(job, Channel::Clipboard);
}

class JobMonitorTest : public ::testing::Test, protected IntakeHarness {};

TEST_F(JobMonitorTest, WakingUpSchedulesOneSecondTickThatLooksAtBothCarriers) {
  controller.awakeFromNib();
  ASSERT_EQ(ticker.interval, std::chrono::milliseconds(1000));
  ASSERT_TRUE(ticker.callback);

  putFolderJob(clipboardText(printJob()));
  ticker.fire();
  EXPECT_EQ(folderJobs.received.size(), 1U);

  clipboard.put(clipboardText(printJob()));
  ticker.fire();
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinPrinter");
}

TEST_F(JobMonitorTest, FolderJobWinsAndBothFilesAreDeletedJobFileFirst) {
  const std::string folderText = JobTextComposer::compose(printJob(), Channel::Folder);
  putFolderJob(folderText);
  clipboard.put(clipboardText(printJob("ZelbrinDefault")));

  controller.MonitorSharedFolder();
  ASSERT_EQ(folderJobs.received, std::vector<std::string>{folderText});
  EXPECT_FALSE(fs::exists(drive() / "pjob.data"));
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));
  EXPECT_EQ(clipboard.reads, 0) << "the clipboard waits for a tick without a folder job";

  controller.MonitorSharedFolder();
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinDefault");
}

TEST_F(JobMonitorTest, UnreadableOrForeignFolderJobsAreDroppedAndTheMarkerStillGoes) {
  // A job file without its marker is not ready yet.
  writeFile(drive() / "pjob.data", "ZelbrinPrinter1!1!1!x");
  controller.MonitorSharedFolder();
  controller.MonitorSharedFolder();
  EXPECT_EQ(readFile(drive() / "pjob.data"), "ZelbrinPrinter1!1!1!x");
  fs::remove(drive() / "pjob.data");

  // No job file at all.
  writeFile(drive() / "pjobd.data", "");
  controller.MonitorSharedFolder();
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));

  // A folder where the job file should be: it cannot be read, and it is not ours to delete.
  fs::create_directories(drive() / "pjob.data");
  writeFile(drive() / "pjobd.data", "");
  controller.MonitorSharedFolder();
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));
  fs::remove(drive() / "pjob.data");

  // Bytes that are not UTF-8 text, and user-defined jobs, which the dispatcher does not take.
  JobTextComposer::Job driver;
  driver.command = "userDefinedDriver";
  driver.document = "raw bytes";
  for (const std::string& text : {std::string("ZelbrinPrinter1!1!1!\xff\xfe", 22),
                                  JobTextComposer::compose(driver, Channel::Folder)}) {
    putFolderJob(text);
    controller.MonitorSharedFolder();
    EXPECT_FALSE(fs::exists(drive() / "pjob.data"));
    EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));
  }
  EXPECT_TRUE(folderJobs.received.empty());
}

TEST_F(JobMonitorTest, OnlyTheFilesThatWereReadAreRemoved) {
  // A job written while the previous one is carried out (a dialog can be up for minutes).
  putFolderJob("first job");
  folderJobs.duringJob = [&] { putFolderJob("second job"); };
  controller.MonitorSharedFolder();
  folderJobs.duringJob = nullptr;
  EXPECT_EQ(readFile(drive() / "pjob.data"), "second job");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received, (std::vector<std::string>{"first job", "second job"}));
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));

  // A read-only mapping: the job is carried out once, not once a second, until it changes.
  putFolderJob("stuck job");
  fs::permissions(drive(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec);
  fs::permissions(home.path(), fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  {
    const AsUnprivilegedUser unprivileged;  // root would remove the files all the same
    for (int tick = 0; tick < 3; ++tick) controller.MonitorSharedFolder();
  }
  EXPECT_EQ(folderJobs.received.size(), 3U);
  fs::permissions(drive(), fs::perms::owner_all);
  putFolderJob("stuck job, written again");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received.back(), "stuck job, written again");
}

TEST_F(JobMonitorTest, TickDoesNotStartWhileAnotherIsRunningAndClearsThePromptFlag) {
  controller.awakeFromNib();
  putFolderJob(JobTextComposer::compose(printJob(), Channel::Folder));
  clipboard.put(clipboardText(printJob()));
  int nested = 0;
  folderJobs.duringJob = [&] {
    // A modal window's event loop lets the timer fire inside the job.
    job.printerPromptCancelled = true;
    ticker.fire();
    ticker.fire();
    ++nested;
  };
  ticker.fire();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(folderJobs.received.size(), 1U);
  EXPECT_EQ(clipboard.reads, 0) << "a nested tick must not dispatch the clipboard job";
  EXPECT_FALSE(job.printerPromptCancelled);

  folderJobs.duringJob = nullptr;
  ticker.fire();
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinPrinter") << "ticks run again afterwards";
}

TEST_F(JobMonitorTest, SameClipboardJobIsCarriedOutOnce) {
  const std::string text = clipboardText(printJob());
  clipboard.put(text);
  controller.MonitorSharedFolder();
  ASSERT_EQ(job.jobTray, "2");
  EXPECT_EQ(controller.hashTemp(), controller.md5(text));

  // Whether the clipboard was left alone or the server sent the same text again, the job is
  // suppressed: nothing is parsed a second time.
  job.jobTray = "changed since";
  controller.MonitorSharedFolder();
  clipboard.put(text);
  controller.MonitorSharedFolder();
  EXPECT_EQ(job.jobTray, "changed since");

  // Only the text up to a NUL counts towards the digest.
  clipboard.put(text + std::string("\0tail", 5));
  controller.MonitorSharedFolder();
  EXPECT_EQ(job.jobTray, "changed since");

  // A different job in between makes the first one new again.
  clipboard.put(clipboardText(printJob("ZelbrinDefault")));
  controller.MonitorSharedFolder();
  clipboard.put(text);
  job.jobTray = "changed since";
  controller.MonitorSharedFolder();
  EXPECT_EQ(job.jobTray, "2");
}

TEST_F(JobMonitorTest, UnchangedClipboardIsNotReadAgain) {
  clipboard.put(std::string(1 << 20, 'x'));  // a large text that is no job
  controller.MonitorSharedFolder();
  controller.MonitorSharedFolder();
  controller.MonitorSharedFolder();
  EXPECT_EQ(clipboard.reads, 1);
  EXPECT_FALSE(controller.hashTemp());

  // A job text that is seen but not carried out (odd casing) stays where it is.
  clipboard.put(clipboardText(printJob("ZELBRINPRINTER")));
  controller.MonitorSharedFolder();
  const int queries = printSystem.nameQueries;
  controller.MonitorSharedFolder();
  EXPECT_EQ(clipboard.reads, 2);
  EXPECT_EQ(printSystem.nameQueries, queries) << "an idle tick asks nothing of the print system";
}

TEST_F(JobMonitorTest, ClipboardThatDidNotAnswerIsReadAgainOnTheNextTick) {
  JobTextComposer::Job pdfJob = printJob();
  pdfJob.document = makePdf(300, 400);
  clipboard.put(clipboardText(pdfJob));
  clipboard.unansweredReads = 1;
  controller.MonitorSharedFolder();
  EXPECT_TRUE(printSystem.pdfJobs.empty());

  controller.MonitorSharedFolder();
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);
}

TEST_F(JobMonitorTest, ProductCommandIsParsedAndMissingPiecesKeepThePreviousSettings) {
  clipboard.put(clipboardText(printJob()));
  controller.MonitorSharedFolder();
  EXPECT_EQ(job.jobTray, "2");
  EXPECT_EQ(job.jobDuplex, "DUPLEXNOTUMBLE");
  EXPECT_EQ(job.jobColor, "Mono");
  EXPECT_EQ(job.jobCollate, "true");
  EXPECT_EQ(job.jobCopies, 3);
  EXPECT_EQ(job.duplexMode, 2);
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinPrinter");
  EXPECT_TRUE(controller.isZbComand());
  EXPECT_EQ(controller.settingsBlock(), "*2*!1!1!1!*DUPLEXNOTUMBLE*!1!1!1!*Mono*!1!1!1!");
  const auto fields = JobText::fieldView(*controller.pdfFile());
  EXPECT_EQ(fields, (std::vector<std::string_view>{
                        "", "report.pdf", Base64::encode("%PDF-1.4 body"), "true", "*3*"}));

  auto shorter = printJob("ZelbrinDefault");
  shorter.tray = "Default";
  shorter.duplex = "unknown";
  shorter.collate.reset();
  shorter.copies.reset();
  clipboard.put(clipboardText(shorter));
  controller.MonitorSharedFolder();
  EXPECT_EQ(job.jobTray, "Default");
  EXPECT_EQ(job.jobDuplex, "unknown");
  EXPECT_EQ(job.jobCollate, "true");
  EXPECT_EQ(job.jobCopies, 3);
  EXPECT_EQ(job.duplexMode, 2) << "an unknown duplex value repeats the last known mode";

  shorter.command = "ZelbrinSave";
  shorter.withSettingsBlock = false;
  clipboard.put(clipboardText(shorter));
  controller.MonitorSharedFolder();
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinSave");
  EXPECT_EQ(job.jobTray, "Default");
  EXPECT_EQ(JobText::fieldView(*controller.pdfFile())[1], "report.pdf");

  // Odd casing is parsed but is no product command, and its digest is kept.
  const std::string odd = clipboardText(printJob("zelbrinprinter"));
  const std::size_t writes = clipboard.history.size();
  clipboard.put(odd);
  controller.MonitorSharedFolder();
  EXPECT_EQ(controller.importedStringFile(), "zelbrinprinter");
  EXPECT_FALSE(controller.isZbComand());
  EXPECT_EQ(controller.hashTemp(), controller.md5(odd));
  EXPECT_EQ(clipboard.history.size(), writes) << "the clipboard is left as it is";

  // An unknown keyword clears the command, keeps its digest and leaves the job alone.
  const std::string unknown = "SomethingElse1!1!1!*a*!1!1!1!*b*!1!1!1!*c*!1!1!1!n1!1!1!p";
  clipboard.put(unknown);
  controller.MonitorSharedFolder();
  EXPECT_FALSE(controller.importedStringFile());
  EXPECT_EQ(controller.hashTemp(), controller.md5(unknown));
  EXPECT_EQ(job.jobTray, "2");

  // An unclosed settings block is not cut out.
  clipboard.put("ZelbrinPrinter1!1!1!*Default*1!1!1!*NONE*!1!1!1!*Color*!1!1!1!doc.pdf1!1!1!UEFZ");
  controller.MonitorSharedFolder();
  EXPECT_EQ(controller.importedStringFile(), "ZelbrinPrinter");
  EXPECT_EQ(JobText::fieldView(*controller.pdfFile())[1], "*Default*");
  EXPECT_EQ(JobText::fieldView(*controller.pdfFile())[2], "*NONE*!");
}

TEST_F(JobMonitorTest, IncompleteJobsAreRejectedWithoutTouchingTheCurrentJob) {
  clipboard.put(clipboardText(printJob()));
  controller.MonitorSharedFolder();
  const JobValues before = job;

  const std::vector<std::string> broken{
      "ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE",                                // too few stars
      "ZelbrinPrinter1!1!1!a1!1!1!b1!1!1!c1!1!1!d1!1!1!e1!1!1!true",        // 7 fields, no block
      "ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Mono*!1!1!1!only-name",  // no payload
      "ZelbrinDefault1!1!1!",                                               // nothing at all
  };
  for (const std::string& text : broken) {
    clipboard.put(text);
    controller.MonitorSharedFolder();
    EXPECT_FALSE(controller.importedStringFile()) << text;
    EXPECT_EQ(controller.hashTemp(), controller.md5(text)) << "a rejected job is not retried";
    EXPECT_EQ(job.jobTray, before.jobTray) << text;
    EXPECT_EQ(job.jobCopies, before.jobCopies) << text;
  }
}

TEST_F(JobMonitorTest, HostileClipboardTextsDoNotCrash) {
  const std::vector<std::string> texts{
      "",
      "1!1!1!",
      "1!1!1!1!1!1!1!1!1!1!1!1!",
      "ZelbrinPrinter1!1!1!" + std::string(5000, '*'),
      "ZelbrinPrinter" + std::string(3000, '*') + "1!1!1!" + std::string(3000, '*'),
      std::string("ZelbrinOpen\0\x01\x02"
                  "1!1!1!\xff\xfe\xc0\x80",
                  20),
      "USERDEFINEDPDF*1!1!1!",
      "userdefineddriver1!1!1!*",
      "ZelbrinSave1!1!1!*1*!1!1!1!*2*!1!1!1!*3*!1!1!1!" + std::string(1 << 22, 'A') + "1!1!1!x",
  };
  for (const std::string& text : texts) {
    clipboard.put(text);
    controller.MonitorSharedFolder();
  }
  clipboard.put(std::nullopt);
  controller.MonitorSharedFolder();
  SUCCEED();
}

TEST_F(JobMonitorTest, DuplexNumbersFollowTheTextAndRememberTheLastKnownOne) {
  EXPECT_EQ(controller.getDuplexNumber("whatever"), 0) << "nothing known since start";
  EXPECT_EQ(controller.getDuplexNumber("duplextumble"), 3);
  EXPECT_EQ(controller.getDuplexNumber(""), 3);
  EXPECT_EQ(controller.getDuplexNumber("None"), 1);
  EXPECT_EQ(controller.getDuplexNumber("DuplexNoTumble"), 2);
  EXPECT_EQ(job.duplexMode, 2);
}

TEST_F(JobMonitorTest, EmptyingTheClipboardClearsThenSetsAnEmptyText) {
  clipboard.put("something");
  controller.returnStringIntoClipboard(clipboard);
  ASSERT_EQ(clipboard.history.size(), 2U);
  EXPECT_EQ(clipboard.history[0], std::nullopt);
  EXPECT_EQ(clipboard.history[1], "");
  EXPECT_EQ(clipboard.content, "");
}

}  // namespace
