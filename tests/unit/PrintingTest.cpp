#include <gtest/gtest.h>

#include "core/Base64.h"
#include "printing/PdfDocument.h"
#include "support/IntakeHarness.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;

namespace {

const std::string kPdf = makePdf(300, 400);

std::string sizeOf(std::string_view pdf) {
  const PdfDocument::Reading reading = PdfDocument::read(pdf);
  if (!reading.readable) return "unreadable";
  const auto& size = reading.firstPageSize;
  return size ? std::to_string(int(size->width)) + "x" + std::to_string(int(size->height)) : "none";
}

TEST(PdfDocument, FirstPageSizeAsTheTreeGivesIt) {
  const std::pair<std::string, std::string> cases[] = {
      {pdfOf("<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 595 842] >>",
             {"<< /Type /Page /Parent 2 0 R >>"}),
       "595x842"},
      // An empty branch, then a loop that must neither hang nor count as a page.
      {pdfOf("<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 1 >>",
             {"<< /Type /Pages /Kids [] /Count 0 >>",
              "<< /Type /Pages /Kids [4 0 R 2 0 R] /Count 0 >>",
              "<< /Type /Page /MediaBox [0 0 200 300] >>"}),
       "200x300"},
      {pdfOf("<< /Type /Pages /Kids [3 0 R] /Count 1 >>", {"<< /Type /Page /MediaBox [0 0 9] >>"}),
       "none"},
      {"not a PDF at all\n", "unreadable"},
  };
  for (const auto& [pdf, size] : cases) EXPECT_EQ(sizeOf(pdf), size) << pdf.substr(0, 200);

  // A broken cross-reference table is repaired, aside and within a budget: a megabyte of the
  // kind that keeps qpdf's repair busy for many seconds is refused instead.
  std::string broken = makePdf(100, 200);
  broken.replace(broken.find("xref"), 4, "xxxx");
  EXPECT_EQ(sizeOf(broken), "100x200");
  std::string hostile = "%PDF-1.4\n";
  while (hostile.size() < 1'000'000) hostile += "% 1 0 obj << /Type /Page >> endobj\n";
  EXPECT_FALSE(PdfDocument::read(hostile, std::chrono::milliseconds(300)).readable);
}

class PrintingTest : public ::testing::Test, protected IntakeHarness {
 protected:
  PrinterProcess::ClipboardPrint request(std::string_view document = kPdf) {
    PrinterProcess::ClipboardPrint request;
    request.document = document;
    request.tray = "9";
    request.duplex = 3;
    request.collate = "true";
    request.copies = 4;
    return request;
  }
  std::string printAndReport(const PrinterProcess::ClipboardPrint& request) {
    testing::internal::CaptureStderr();
    printer.printClipboardDocument(request, job);
    return testing::internal::GetCapturedStderr();
  }
};

TEST_F(PrintingTest, ClipboardRoutineDecidesPrinterDialogAndOptions) {
  // A named printer with mapped settings: tray, duplex and paper apply, no dialog ever.
  auto named = request();
  named.printerName = "Office Printer";
  named.chkState = true;
  named.dialog = true;
  EXPECT_NE(printAndReport(named).find("true - collate,4 - copies\n"), std::string::npos);
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  const PrintOptions& options = printSystem.pdfJobs[0].options;
  EXPECT_EQ(options.inputSlot, "Manual") << "tray 9 of three slots is the last";
  EXPECT_EQ(options.duplexMode, 3);
  EXPECT_EQ(options.media->width, 300);
  EXPECT_EQ(options.copies, 4);
  EXPECT_TRUE(dialog.requests.empty());

  // Gone: left to CUPS' default destination. A first page without a usable box: no paper size.
  named.printerName = "Printer that is gone";
  const std::string flat = makePdf(0, 0);
  named.document = flat;
  EXPECT_NE(printAndReport(named).find("no usable media box"), std::string::npos);
  EXPECT_EQ(printSystem.pdfJobs[1].printer, "");
  EXPECT_FALSE(printSystem.pdfJobs[1].options.media);
  // Not a PDF prints nothing.
  named.document = "not a PDF";
  printAndReport(named);
  EXPECT_EQ(printSystem.pdfJobs.size(), 2U);

  // The default printer job shows the dialog unless the switch says "0"; the print-dialog
  // command always asks, and what the user changes wins.
  job.defaultPrinterJob = true;
  job.dialogOption = false;
  printAndReport(request());
  job.defaultPrinterJob = true;
  job.dialogOption = true;
  printAndReport(request());
  EXPECT_EQ(dialog.requests.size(), 1U);
  dialog.answer = [](PrintDialogChoice& choice) {
    choice.printerName = "label-queue";
    choice.copies = 5;
    choice.pageRanges = "2-3";
  };
  auto asked = request();
  asked.dialog = true;
  printAndReport(asked);
  ASSERT_EQ(dialog.requests.size(), 2U);
  EXPECT_TRUE(dialog.requests[1].bringToFront);
  EXPECT_EQ(printSystem.pdfJobs.back().printer, "label-queue");
  EXPECT_EQ(printSystem.pdfJobs.back().options.copies, 5);
  EXPECT_EQ(printSystem.pdfJobs.back().options.pageRanges, "2-3");
  EXPECT_FALSE(printSystem.pdfJobs.back().options.duplexMode) << "untouched fields stay unset";
  dialog.cancel = true;
  printAndReport(asked);
  EXPECT_EQ(printSystem.pdfJobs.size(), 5U) << "a cancelled dialog prints nothing";
}

TEST_F(PrintingTest, JobNamesCarryNoControlCharacters) {
  const std::pair<std::string, std::string> names[] = {
      {"", "Zelbrin Client"},
      {"C:\\Jobs\\\x1b[31mInvoice £5\x07\xc2\x9b.pdf\x7f", "[31mInvoice £5.pdf"},
      {"C:\\Jobs\\\x1b\r\n", "Zelbrin Client"},
  };
  for (const auto& [name, expected] : names) {
    auto named = request();
    named.printerName = "Office Printer";
    named.documentName = name;
    printAndReport(named);
    EXPECT_EQ(printSystem.pdfJobs.back().options.jobName, expected);
  }
}

TEST_F(PrintingTest, RawDataGoesOutUnchangedAndRefusalsAreWordedAsDesigned) {
  const std::string raw("\x1b%-12345X@PJL\0\xff\n", 16);
  rawPrinter.printWindowsDriver(Base64::encode(raw), "Label Printer");
  ASSERT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_EQ(printSystem.rawJobs[0], raw);
  EXPECT_EQ(printSystem.rawFileModes[0], fs::perms::owner_read | fs::perms::owner_write);
  const fs::path handedOver = home.path() / "tmp" / "temp.txt";
  EXPECT_FALSE(fs::exists(handedOver)) << "CUPS has the bytes: printer data does not linger";

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
  for (const auto& [result, message] : refusals) {
    printSystem.rawResult = result;
    testing::internal::CaptureStderr();
    rawPrinter.printWindowsDriver("QUJD", "Label Printer");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "zelbrin-client: " + message);
  }
  EXPECT_EQ(printSystem.rawFileModes.size(), 5U);
  EXPECT_FALSE(fs::exists(handedOver)) << "nor when the job was refused";
}

}  // namespace
