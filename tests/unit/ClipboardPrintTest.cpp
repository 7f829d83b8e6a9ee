#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/Base64.h"
#include "core/Crypto.h"
#include "printing/Settings.h"
#include "send/JobTextComposer.h"
#include "support/IntakeHarness.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using JobTextComposer::Channel;

namespace {

const std::string kPdf = makePdf(300, 400);

JobTextComposer::Job pdfJob(std::string command) {
  JobTextComposer::Job job;
  job.command = std::move(command);
  job.tray = "2";
  job.duplex = "DUPLEXTUMBLE";
  job.documentName = "C:\\Users\\ann\\report.pdf";
  job.document = kPdf;
  job.collate = "true";
  job.copies = "3";
  return job;
}

class ClipboardPrintTest : public ::testing::Test, protected IntakeHarness {
 protected:
  void send(const JobTextComposer::Job& job) {
    clipboard.put(JobTextComposer::compose(job, Channel::Clipboard));
    controller.MonitorSharedFolder();
  }
};

TEST_F(ClipboardPrintTest, DefaultPrinterJobPrintsWithoutDialogAndEmptiesTheClipboard) {
  setSwitch("Dialog", "0");
  testing::internal::CaptureStderr();
  send(pdfJob("ZelbrinDefault"));
  const std::string log = testing::internal::GetCapturedStderr();

  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  const auto& printed = printSystem.pdfJobs[0];
  EXPECT_EQ(printed.printer, "Office Printer");
  EXPECT_EQ(printed.pdf, kPdf) << "the document goes out as received";
  EXPECT_TRUE(printed.options.collate);
  EXPECT_EQ(printed.options.copies, 3);
  EXPECT_EQ(printed.options.jobName, "report.pdf");
  // The product commands do not apply the job's tray, duplex or paper.
  EXPECT_FALSE(printed.options.duplexMode);
  EXPECT_FALSE(printed.options.inputSlot);
  EXPECT_FALSE(printed.options.media);
  EXPECT_TRUE(dialog.requests.empty());
  EXPECT_EQ(workspace.activations, 1);
  EXPECT_FALSE(job.defaultPrinterJob);
  EXPECT_NE(log.find("true - collate,3 - copies\n"), std::string::npos) << log;
  EXPECT_EQ(clipboard.content, "");
  EXPECT_FALSE(clipboard.history.empty());
}

TEST_F(ClipboardPrintTest, DialogShowsWhenSwitchedOnOrAskedForAndTheUsersChoicesWin) {
  setSwitch("Dialog", "1");
  send(pdfJob("ZelbrinDefault"));
  ASSERT_EQ(dialog.requests.size(), 1U);
  EXPECT_FALSE(dialog.requests[0].pageSetup);
  EXPECT_FALSE(dialog.requests[0].bringToFront);
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);

  // No settings file at all: the switch is not "0", so the dialog shows.
  fs::remove_all(support());
  auto job = pdfJob("ZelbrinDefault");
  job.documentName = "other.pdf";
  send(job);
  EXPECT_EQ(dialog.requests.size(), 2U);

  // The print-dialog command always asks, and what the user changes wins.
  dialog.answer = [](PrintDialogChoice& choice) {
    choice.printerName = "label-queue";
    choice.copies = 5;
    choice.pageRanges = "2-3";
  };
  send(pdfJob("ZelbrinPrinter"));
  ASSERT_EQ(dialog.requests.size(), 3U);
  const PrintDialogRequest& asked = dialog.requests[2];
  EXPECT_EQ(asked.printerName, "Office Printer");
  EXPECT_EQ(asked.copies, 3);
  EXPECT_TRUE(asked.collate);
  EXPECT_TRUE(asked.pageSetup);
  EXPECT_TRUE(asked.bringToFront);
  ASSERT_EQ(printSystem.pdfJobs.size(), 3U);
  EXPECT_EQ(printSystem.pdfJobs[2].printer, "label-queue");
  EXPECT_EQ(printSystem.pdfJobs[2].options.copies, 5);
  EXPECT_EQ(printSystem.pdfJobs[2].options.pageRanges, "2-3");
  EXPECT_FALSE(printSystem.pdfJobs[2].options.duplexMode) << "untouched fields stay unset";

  // Cancelled: nothing printed, finished as after a print. Without a default printer the
  // dialog starts on none.
  dialog.cancel = true;
  printSystem.defaultName.reset();
  job = pdfJob("ZelbrinPrinter");
  job.documentName = "cancelled.pdf";
  send(job);
  ASSERT_EQ(dialog.requests.size(), 4U);
  EXPECT_EQ(dialog.requests[3].printerName, "");
  EXPECT_EQ(printSystem.pdfJobs.size(), 3U);
  EXPECT_EQ(clipboard.content, "");
}

TEST_F(ClipboardPrintTest, CollateOtherThanTrueLeavesTheCopyCountAlone) {
  auto job = pdfJob("ZelbrinDefault");
  job.collate = "TRUE";
  job.copies = "5";
  testing::internal::CaptureStderr();
  send(job);
  const std::string log = testing::internal::GetCapturedStderr();
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_TRUE(printSystem.pdfJobs[0].options.collate);
  EXPECT_FALSE(printSystem.pdfJobs[0].options.copies);
  EXPECT_NE(log.find("TRUE - collate,5 - copies"), std::string::npos);
}

TEST_F(ClipboardPrintTest, NoPrinterAtAllLeavesTheJobOnTheClipboard) {
  printSystem.printers.clear();
  printSystem.defaultName.reset();
  const std::string text = JobTextComposer::compose(pdfJob("ZelbrinDefault"), Channel::Clipboard);
  clipboard.put(text);
  controller.MonitorSharedFolder();
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_EQ(clipboard.content, text);
  EXPECT_EQ(controller.hashTemp(), controller.md5(text)) << "not retried either";
}

TEST_F(ClipboardPrintTest, BytesThatAreNoPdfPrintNothingButStillEmptyTheClipboard) {
  auto job = pdfJob("ZelbrinPrinter");
  job.document = "this is not a PDF";
  send(job);
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_TRUE(dialog.requests.empty());
  EXPECT_EQ(clipboard.content, "");
}

TEST_F(ClipboardPrintTest, TemporaryCopyStaysInsideThePrivateFolder) {
  auto job = pdfJob("ZelbrinDefault");
  job.documentName = "../../outside/run.BAT";
  JobTextComposer::Job encrypted = job;
  encrypted.document.clear();
  // An encrypted payload: the temporary copy holds the decrypted bytes, zero fill included.
  std::string text = JobTextComposer::compose(encrypted, Channel::Clipboard);
  text.replace(text.find("1!1!1!", text.find("run.BAT")) + 6, 0,
               Base64::encode(Crypto::aesCbcEncryptPayload("echo hello")));
  clipboard.put(text);
  controller.MonitorSharedFolder();

  const fs::path folder = home.path() / "tmp" / "com.kestrova.ZelbrinClient";
  ASSERT_EQ(controller.tempURL(), (folder / "run.txt").string());
  std::string expected = "echo hello";
  expected.resize(16, '\0');
  EXPECT_EQ(readFile(folder / "run.txt"), expected);
  struct stat info {};
  ASSERT_EQ(::stat((folder / "run.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);
  EXPECT_FALSE(fs::exists(home.path() / "outside"));
}

TEST_F(ClipboardPrintTest, UserDefinedPdfPrintsOnThePairedPrinterWithTheJobsSettings) {
  PrinterProcess::ClipboardPrint request;
  request.document = kPdf;
  request.dialog = true;
  request.tray = "9";
  request.duplex = 3;
  request.printerName = "Office Printer";
  request.chkState = "1";
  request.collate = "false";
  request.copies = 4;
  printer.printClipboardDocument(request, job);

  EXPECT_TRUE(dialog.requests.empty()) << "a named printer never shows the dialog";
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  const PrintOptions& options = printSystem.pdfJobs[0].options;
  EXPECT_EQ(options.duplexMode, 3);
  EXPECT_EQ(options.inputSlot, "Manual") << "tray 9 of three slots is the last";
  ASSERT_TRUE(options.media);
  EXPECT_EQ(options.media->width, 300);
  EXPECT_EQ(options.media->height, 400);
  EXPECT_FALSE(options.collate);
  EXPECT_FALSE(options.copies);

  request.chkState = "0";
  request.printerName = "Printer that is gone";
  printer.printClipboardDocument(request, job);
  ASSERT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_EQ(printSystem.pdfJobs[1].printer, "") << "left to CUPS' default destination";
  EXPECT_FALSE(printSystem.pdfJobs[1].options.inputSlot);

  // The name in the print queue: the file's own name without control characters, or the
  // program's name when nothing is left.
  const std::pair<std::string, std::string> names[] = {
      {"", "Zelbrin Client"},
      {"C:\\Jobs\\\x1b[31mInvoice £5\x07\xc2\x9b.pdf\x7f", "[31mInvoice £5.pdf"},
      {"C:\\Jobs\\\x1b\r\n", "Zelbrin Client"},
  };
  for (const auto& [name, expected] : names) {
    request.documentName = name;
    printer.printClipboardDocument(request, job);
    EXPECT_EQ(printSystem.pdfJobs.back().options.jobName, expected);
  }
}

TEST_F(ClipboardPrintTest, PdfWithoutAUsableMediaBoxPrintsWithoutPaperSizeInBothRoutines) {
  const std::string flatBox = makePdf(0, 0);
  setSwitch("Dialog", "0");
  setSwitch("MappedSettings", "1");
  PrinterProcess::ClipboardPrint request;
  request.document = flatBox;
  request.printerName = "Office Printer";
  request.chkState = "1";
  request.tray = "2";
  Settings record;
  record.ServerPrinterType = "ZelbrinDefault";
  record.PrinterName = "Office Printer";
  record.Job = Base64::encode(flatBox);
  record.Tray = "2";
  testing::internal::CaptureStderr();
  printer.printClipboardDocument(request, job);
  printer.SendToPrinter("", record);
  const std::string log = testing::internal::GetCapturedStderr();

  ASSERT_EQ(printSystem.pdfJobs.size(), 2U) << log;
  for (const auto& printed : printSystem.pdfJobs) {
    EXPECT_FALSE(printed.options.media);
    EXPECT_EQ(printed.options.inputSlot, "Tray2") << "the job's other settings still apply";
  }
  EXPECT_NE(log.find("no usable media box"), std::string::npos) << log;
}

TEST_F(ClipboardPrintTest, LargeDocumentsShowProgress) {
  const std::string large = makePdf(595, 842, 5 * 1024 * 1024);
  PrinterProcess::ClipboardPrint request;
  request.document = large;
  request.printerName = "Office Printer";
  request.documentName = "big.pdf";
  printer.printClipboardDocument(request, job);
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  ASSERT_EQ(progress.labels.size(), 1U);
  EXPECT_NE(progress.labels[0].find("big.pdf"), std::string::npos);
  EXPECT_EQ(progress.last, large.size());
  EXPECT_EQ(progress.ended, 1);

  request.document = kPdf;
  printer.printClipboardDocument(request, job);
  EXPECT_EQ(progress.labels.size(), 1U) << "small jobs go without a progress window";
}

TEST_F(ClipboardPrintTest, FolderRoutineFollowsTheRecordAndTheSwitches) {
  Settings record;
  record.ServerPrinterType = "ZelbrinDefault";
  record.PrinterName = "Office Printer";
  record.Job = Base64::encode(kPdf);
  record.Collate = "true";
  record.Copies = 2;
  record.Tray = "1";
  record.Duplex = "duplexnotumble";
  record.DocumentName = "letter.pdf";
  setSwitch("Dialog", "0");
  setSwitch("MappedSettings", "1");
  printer.SendToPrinter("", record);
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_TRUE(dialog.requests.empty());
  EXPECT_EQ(record.Job, "") << "the record's document is let go";
  const PrintOptions& options = printSystem.pdfJobs[0].options;
  EXPECT_EQ(printSystem.pdfJobs[0].printer, "Office Printer");
  EXPECT_EQ(options.copies, 2);
  EXPECT_EQ(options.inputSlot, "Tray1");
  EXPECT_EQ(options.duplexMode, 2);
  EXPECT_TRUE(options.media);
  EXPECT_EQ(options.jobName, "letter.pdf");

  // A print-dialog job names no printer: no tray, and the dialog always shows.
  record.ServerPrinterType = "ZelbrinPrinter";
  record.ShowPrintPanel = true;
  record.PrinterName.reset();
  record.Job = Base64::encode(kPdf);
  printer.SendToPrinter("", record);
  ASSERT_EQ(dialog.requests.size(), 1U);
  EXPECT_TRUE(dialog.requests[0].pageSetup);
  EXPECT_FALSE(dialog.requests[0].bringToFront);
  EXPECT_FALSE(printSystem.pdfJobs[1].options.inputSlot);

  // Mapped settings off: nothing of the job's tray, duplex or paper.
  setSwitch("MappedSettings", "0");
  record.Job = Base64::encode(kPdf);
  printer.SendToPrinter("", record);
  EXPECT_FALSE(printSystem.pdfJobs[2].options.duplexMode);
  EXPECT_FALSE(printSystem.pdfJobs[2].options.media);
}

TEST_F(ClipboardPrintTest, RawDataGoesOutUnchangedThroughAPrivateFile) {
  const std::string raw("\x1b%-12345X@PJL\0\xff\n", 16);
  testing::internal::CaptureStderr();
  rawPrinter.printWindowsDriver(Base64::encode(raw), "Label Printer");
  ASSERT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_EQ(printSystem.rawJobs[0].bytes, raw);
  EXPECT_EQ(printSystem.rawJobs[0].printer, "Label Printer");
  const fs::path file = home.path() / "tmp" / "temp.txt";
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);

  rawPrinter.printWindowsDriver("", "Label Printer");
  EXPECT_EQ(readFile(file), "") << "an empty job replaces the last one";
  EXPECT_EQ(printSystem.rawJobs.size(), 2U);

  const std::pair<RawSubmission::Result, std::string> refusals[] = {
      {RawSubmission::Result::NotAPrinter,
       "Either got an error from PMSessionGetDestinationType or the print destination wasn't "
       "kPMDestinationPrinter\n"},
      {RawSubmission::Result::PrinterUnavailable,
       "Got an error from PMSessionGetCurrentPrinter (0)\n"},
      {RawSubmission::Result::RawNotSupported,
       "MIME type application/vnd.cups-raw isn't supported by the printer\n"},
      {RawSubmission::Result::SubmitFailed, "PMPrinterPrintWithFile returned error 0\n"},
  };
  testing::internal::GetCapturedStderr();
  for (const auto& [result, message] : refusals) {
    printSystem.rawResult = result;
    testing::internal::CaptureStderr();
    rawPrinter.printWindowsDriver("QUJD", "Somewhere");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
  }
}

}  // namespace
