#include <gtest/gtest.h>

#include <QCoreApplication>
#include <fstream>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "intake/PastboardController.h"
#include "platform/CupsPrintSystem.h"
#include "platform/QtClipboard.h"
#include "platform/QtWorkspace.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"
#include "send/JobTextComposer.h"
#include "support/AgentProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/OutsideClipboard.h"
#include "support/PdfSamples.h"
#include "support/PrintFakes.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using JobTextComposer::Channel;

namespace {

// The job controller on the real X clipboard, the real private CUPS and the real desktop opener;
// only the modal windows are answered in advance.
class UserDefinedCupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A stand-in for xdg-open that records what it was asked to open.
    const fs::path bin = home.path() / "bin";
    fs::create_directories(bin);
    writeFile(bin / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" +
                                    (home.path() / "opened.log").string() + "\"\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.string()) + ":" + savedPath);
  }
  void TearDown() override { qputenv("PATH", savedPath); }

  // Another program puts the text on the clipboard; the tick runs once Qt has noticed.
  void tickWithClipboard(const std::string& text) {
    const fs::path file = home.path() / "job.txt";
    writeFile(file, text);
    const auto before = clipboard.changeCount();
    int status = 0;
    runCommand("xclip -selection clipboard -i '" + file.string() + "' >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    waitFor(
        [&] {
          QCoreApplication::processEvents();
          return clipboard.changeCount() != before;
        },
        3s);
    controller.MonitorSharedFolder();
  }

  std::string pdfJob(const std::string& server, const std::string& name) {
    JobTextComposer::Job job;
    job.command = "USERDEFINEDPDF*";
    job.serverPrinter = server;
    job.documentName = name;
    job.document = makePdf(300, 400);
    return JobTextComposer::compose(job, Channel::Clipboard);
  }
  static std::string clipboardSeenByOthers() { return clipboardFromOutside(); }

  QByteArray savedPath;
  TempFolder home;
  FixedPaths paths{home.path()};
  QtClipboard clipboard;
  CupsPrintSystem cups;
  ScriptedPrintDialog dialog;
  RecordingProgress progress;
  QtWorkspace workspace;
  FakeTicker ticker;
  RecordingFolderJobs folderJobs;
  JobValues job;
  ScriptedPrompt prompt;
  ScriptedSavePanel savePanel;
  XMLUtil util{paths};
  TableViewControler tableView{paths, util};
  PrinterProcess printer{{cups, dialog, progress, paths}};
  WindowsDriverPrint raw{cups, paths};
  PastboardController controller{{clipboard, paths, cups, ticker, folderJobs, job, printer, raw,
                                  workspace, prompt, savePanel, util, tableView}};
};

TEST_F(UserDefinedCupsTest, FirstPdfJobAsksAndTheSecondPrintsWithoutAsking) {
  prompt.answer.selected = "Office Tray Printer";
  const int before = CupsJobs::newest();
  tickWithClipboard(pdfJob("Server Laser", "first.pdf"));
  EXPECT_EQ(prompt.runs, 1);
  ASSERT_EQ(CupsJobs::newest(), before + 1);
  EXPECT_EQ(clipboardSeenByOthers(), "");

  tickWithClipboard(pdfJob("Server Laser", "second.pdf"));
  EXPECT_EQ(prompt.runs, 1);
  ASSERT_EQ(CupsJobs::newest(), before + 2);
  const auto second = CupsJobs::waitUntilEnded(before + 2);
  ASSERT_TRUE(second);
  EXPECT_EQ((*second)["job-name"], "second.pdf");
  EXPECT_NE((*second)["job-printer-uri"].find("zelbrin-tray"), std::string::npos);
}

TEST_F(UserDefinedCupsTest, RawBytesArriveExactlyOnThePairedQueue) {
  prompt.answer.selected = "Raw Capture";
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  JobTextComposer::Job driver;
  driver.command = "USERDEFINEDDRIVER";
  driver.serverPrinter = "Label Printer 9";
  driver.document = bytes + bytes;
  const int before = CupsJobs::newest();
  tickWithClipboard(JobTextComposer::compose(driver, Channel::Clipboard));
  ASSERT_EQ(CupsJobs::newest(), before + 1);
  ASSERT_TRUE(CupsJobs::waitUntilEnded(before + 1));
  EXPECT_EQ(CupsJobs::captured("zelbrin-raw", before + 1), driver.document);
}

TEST_F(UserDefinedCupsTest, StalePairIsDeletedAndCancelLeavesOneSpace) {
  util.addElementToXML("Old Laser", "A printer that was removed");
  const int before = CupsJobs::newest();
  tickWithClipboard(pdfJob("Old Laser", "stale.pdf"));
  EXPECT_EQ(CupsJobs::newest(), before);
  EXPECT_FALSE(util.attributExist("OldLaser"));

  prompt.answer.cancelled = true;
  tickWithClipboard(pdfJob("Old Laser", "cancelled.pdf"));
  EXPECT_EQ(CupsJobs::newest(), before);
  EXPECT_EQ(clipboardSeenByOthers(), " ");
}

TEST_F(UserDefinedCupsTest, OpenCommandHandsLinksAndDocumentsToTheDesktopOpener) {
  JobTextComposer::Job open;
  open.command = "ZelbrinOpen";
  open.documentName = "Link.bat";
  open.document = "https://example.com/report";
  tickWithClipboard(JobTextComposer::compose(open, Channel::Clipboard));
  open.documentName = "notes.pdf";
  open.document = "%PDF-1.4 notes";
  tickWithClipboard(JobTextComposer::compose(open, Channel::Clipboard));
  ASSERT_TRUE(waitFor(
      [&] { return readFile(home.path() / "opened.log").find("notes.pdf") != std::string::npos; },
      5s));
  const std::string opened = readFile(home.path() / "opened.log");
  EXPECT_NE(opened.find("https://example.com/report\n"), std::string::npos) << opened;
  EXPECT_NE(
      opened.find((home.path() / "tmp" / "com.kestrova.ZelbrinClient" / "notes.pdf").string()),
      std::string::npos)
      << opened;
}

}  // namespace
