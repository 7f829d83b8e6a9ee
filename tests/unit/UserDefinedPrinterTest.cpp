#include <gtest/gtest.h>

#include "core/Base64.h"
#include "send/JobTextComposer.h"
#include "support/IntakeHarness.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using JobTextComposer::Channel;

namespace {

const std::string kPdf = makePdf(200, 300);

class UserDefinedPrinterTest : public ::testing::Test, protected IntakeHarness {
 protected:
  std::string pdfJob(const std::string& server, const std::string& name = "a.pdf",
                     const std::string& keyword = "USERDEFINEDPDF*") {
    JobTextComposer::Job job;
    job.command = keyword;
    job.serverPrinter = server;
    job.tray = "2";
    job.duplex = "DuplexTumble";
    job.documentName = name;
    job.document = kPdf;
    job.collate = "true";
    job.copies = "2";
    return JobTextComposer::compose(job, Channel::Clipboard);
  }
  std::string driverJob(const std::string& server, const std::string& bytes) {
    JobTextComposer::Job job;
    job.command = "USERDEFINEDDRIVER";
    job.serverPrinter = server;
    job.document = bytes;
    return JobTextComposer::compose(job, Channel::Clipboard);
  }
  void onClipboard(const std::string& text) {
    clipboard.put(text);
    controller.MonitorSharedFolder();
  }
  std::string pairFile() const { return readFile(support() / "PrinterPair.xml"); }
};

TEST_F(UserDefinedPrinterTest, FirstJobAsksOnceAndLaterJobsPrintWithoutAsking) {
  setSwitch("MappedSettings", "1");
  prompt.answer.selected = "Label Printer";
  onClipboard(pdfJob("HP LaserJet 4000"));
  EXPECT_EQ(prompt.runs, 1);
  EXPECT_EQ(prompt.offered, printSystem.printers);
  EXPECT_EQ(prompt.askedFor, "HP LaserJet 4000");
  EXPECT_EQ(prompt.preselected, "Office Printer") << "the default printer, which takes PDF";
  EXPECT_NE(pairFile().find("HPLaserJet4000=\"Label Printer\""), std::string::npos) << pairFile();
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  const auto& printed = printSystem.pdfJobs[0];
  EXPECT_EQ(printed.printer, "Label Printer");
  EXPECT_EQ(printed.pdf, kPdf);
  EXPECT_EQ(printed.options.copies, 2);
  EXPECT_EQ(printed.options.duplexMode, 3) << "mapped settings apply to user-defined jobs";
  EXPECT_TRUE(dialog.requests.empty());
  EXPECT_EQ(controller.importedStringFile(), "USERDEFINEDPDF*");

  // The same server printer spelled with other spaces, in lower case: no question asked.
  onClipboard(pdfJob("HPLaser Jet 4000", "b.pdf", "userdefinedpdf*"));
  EXPECT_EQ(prompt.runs, 1);
  ASSERT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_EQ(printSystem.pdfJobs[1].printer, "Label Printer");
  EXPECT_EQ(controller.importedStringFile(), "userdefinedpdf*");

  // Raw data: the default printer is offered only when it takes raw data.
  printSystem.rawRefusing = {"Office Printer"};
  prompt.answer.cancelled = true;
  onClipboard(driverJob("Zebra", "bytes"));
  EXPECT_EQ(prompt.askedFor, "Zebra");
  EXPECT_EQ(prompt.preselected, "Label Printer");
}

TEST_F(UserDefinedPrinterTest, PairWhosePrinterIsGoneIsForgottenAndTheNextJobAsks) {
  utilXML.addElementToXML("Floor 2", "Printer That Was Removed");
  utilXML.addElementToXML("Zebra 2", "Removed Printer");
  onClipboard(pdfJob("Floor 2"));
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_EQ(controller.macPrinterName(), "No local printer");
  EXPECT_FALSE(utilXML.attributExist("Floor2"));
  onClipboard(driverJob("Zebra 2", "bytes"));
  EXPECT_TRUE(printSystem.rawJobs.empty());
  EXPECT_EQ(clipboard.content, "");
  EXPECT_FALSE(utilXML.attributExist("Zebra2"));
  EXPECT_EQ(prompt.runs, 0);

  prompt.answer.selected = "Office Printer";
  onClipboard(pdfJob("Floor 2", "again.pdf"));
  EXPECT_EQ(prompt.runs, 1);
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_EQ(printSystem.pdfJobs[0].printer, "Office Printer");
}

TEST_F(UserDefinedPrinterTest, CancelledOrEmptyPromptStoresAndPrintsNothing) {
  prompt.answer.cancelled = true;
  onClipboard(pdfJob("Floor 3"));
  EXPECT_EQ(clipboard.content, " ");
  EXPECT_FALSE(job.printerPromptCancelled) << "cleared at the end of the tick";
  onClipboard(driverJob("Labels", "raw"));
  EXPECT_EQ(clipboard.content, " ");
  EXPECT_EQ(controller.macPrinterName(), "No local printer");
  EXPECT_FALSE(fs::exists(support() / "PrinterPair.xml"));

  // OK without a choice.
  prompt.answer = {};
  onClipboard(pdfJob("Floor 4"));
  onClipboard(driverJob("Labels 2", "raw"));
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_TRUE(printSystem.rawJobs.empty());
  EXPECT_EQ(pairFile(), "");
}

TEST_F(UserDefinedPrinterTest, DriverJobsSendTheirBytesUnchangedToThePairedQueue) {
  const std::string raw(
      "\x1b"
      "E\0\xff raw data",
      13);
  prompt.answer.selected = "Label Printer";
  // Separators around and inside the payload are not part of the data.
  std::string text = driverJob("Zebra 1", raw);
  const std::size_t payload = text.rfind('*') + 1;
  text.insert(payload + 4, "1!1!1!");
  text.insert(payload, "1!1!1!");
  onClipboard(text);
  ASSERT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_EQ(printSystem.rawJobs[0].bytes, raw);
  EXPECT_EQ(printSystem.rawJobs[0].printer, "Label Printer");

  onClipboard(driverJob("Zebra 1", "second"));
  EXPECT_EQ(prompt.runs, 1);
  ASSERT_EQ(printSystem.rawJobs.size(), 2U);
  EXPECT_EQ(printSystem.rawJobs[1].bytes, "second");
}

TEST_F(UserDefinedPrinterTest, FolderJobsResolveTheSameWayWithoutTouchingTheClipboard) {
  prompt.answer.selected = "Label Printer";
  JobTextComposer::Job driver;
  driver.command = "UserDefinedDriver";
  driver.serverPrinter = "Folder Zebra";
  driver.document = "folder raw";
  putFolderJob(JobTextComposer::compose(driver, Channel::Folder));
  controller.MonitorSharedFolder();
  ASSERT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_EQ(printSystem.rawJobs[0].bytes, "folder raw");

  putFolderJob(pdfJob("Folder Laser"));
  controller.MonitorSharedFolder();
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_EQ(printSystem.pdfJobs[0].printer, "Label Printer");
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));

  // A cancelled prompt during a folder driver job sends nothing; the flag ends with the tick.
  prompt.answer.cancelled = true;
  driver.serverPrinter = "Other Zebra";
  putFolderJob(JobTextComposer::compose(driver, Channel::Folder));
  controller.MonitorSharedFolder();
  EXPECT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_FALSE(job.printerPromptCancelled);
}

TEST_F(UserDefinedPrinterTest, ShortTextsAndMissingPrintersAreRejectedWithoutAsking) {
  onClipboard("USERDEFINEDPDF*1!1!1!*Printer*!1!1!1!*1*!");
  onClipboard("USERDEFINEDDRIVER1!1!1!*Printer");
  printSystem.printers.clear();
  onClipboard(pdfJob("Floor 5"));
  EXPECT_EQ(prompt.runs, 0);
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_TRUE(printSystem.rawJobs.empty());
  EXPECT_FALSE(controller.importedStringFile());
  EXPECT_FALSE(job.userDefinedPdfData);
}

TEST_F(UserDefinedPrinterTest, UserDefinedPdfReadingFillsDefaults) {
  const auto full = controller.getValueFromUserDefinedPDFString(pdfJob("P"));
  ASSERT_TRUE(full);
  EXPECT_EQ(*full, (std::vector<std::string>{"2", "DuplexTumble", "Color", "2", "true"}));
  const auto bare = controller.getValueFromUserDefinedPDFString(
      "USERDEFINEDPDF*1!1!1!*P*!1!1!1!*1*!1!1!1!*NONE*!1!1!1!*C*!1!1!1!n1!1!1!QUJD");
  ASSERT_TRUE(bare);
  EXPECT_EQ((*bare)[3], "1");
  EXPECT_EQ((*bare)[4], "false");
}

}  // namespace
