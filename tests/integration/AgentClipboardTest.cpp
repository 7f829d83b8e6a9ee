#include <cups/cups.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "support/AgentProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string clipboardSeenByOthers(int* status) {
  return runCommand("xclip -o -selection clipboard 2>/dev/null", status);
}

class AgentClipboardTest : public ::testing::Test {
 protected:
  void startAgent(const std::vector<std::string>& environment = {}) {
    agent = std::make_unique<AgentProcess>(ZELBRIN_CLIENT_PATH, home.path(),
                                           std::vector<std::string>{}, environment);
    ASSERT_TRUE(
        waitFor([&] { return readFile(settingsFile()).find("Log=") != std::string::npos; }, 10s))
        << agent->standardError();
  }
  fs::path settingsFile() const {
    return home.path() / "Documents" / "com.kestrova.ZelbrinClient" / "ZelbrinSettings.xml";
  }
  // Puts a default-printer job for the PDF on the X clipboard, as the session side would.
  std::unique_ptr<AgentProcess> sendDefaultPrinterJob(const std::string& pdf) {
    const fs::path file = home.path() / "sample.pdf";
    std::ofstream(file, std::ios::binary) << pdf;
    return std::make_unique<AgentProcess>(
        ZELBRIN_SEND_PATH, home.path(),
        std::vector<std::string>{"--clipboard", "--command", "ZelbrinDefault", "--file",
                                 file.string(), "--collate", "true", "--copies", "2", "--timeout",
                                 "20"});
  }

  TempFolder home;
  std::unique_ptr<AgentProcess> agent;
};

TEST_F(AgentClipboardTest, DefaultPrinterJobOnTheClipboardComesOutOfTheDefaultQueue) {
  startAgent();
  const int before = CupsJobs::newest();
  const std::string pdf = makePdf(300, 400);
  auto sender = sendDefaultPrinterJob(pdf);
  // The sender leaves as soon as someone else takes the clipboard: the agent's reply.
  ASSERT_TRUE(waitFor([&] { return !sender->running(); }, 10s))
      << agent->standardError() << "\nnewest job " << CupsJobs::newest() << " (before " << before
      << ")\nclipboard: " << clipboardSeenByOthers(nullptr).substr(0, 60)
      << "\nsender: " << sender->standardError();
  EXPECT_EQ(sender->exitStatus(), 0);

  ASSERT_TRUE(waitFor([&] { return CupsJobs::newest() > before; }, 5s)) << agent->standardError();
  const int jobId = CupsJobs::newest();
  const std::optional<CupsJob> job = CupsJobs::waitUntilEnded(jobId);
  ASSERT_TRUE(job);
  EXPECT_EQ((*job)["job-state"], "completed");
  EXPECT_EQ((*job)["copies"], "2");
  EXPECT_EQ((*job)["multiple-document-handling"], "separate-documents-collated-copies");
  EXPECT_EQ((*job)["document-format"], "application/pdf");
  EXPECT_EQ((*job)["job-name"], "sample.pdf");
  EXPECT_EQ((*job)["job-printer-uri"].find("zelbrin-tray") != std::string::npos, true);
  EXPECT_EQ(CupsJobs::spooled(jobId), pdf) << "the PDF reaches CUPS as it was sent";

  int status = -1;
  EXPECT_EQ(clipboardSeenByOthers(&status), "");
  EXPECT_EQ(status, 0) << "the clipboard is left empty";
  EXPECT_NE(agent->stop().find("true - collate,2 - copies"), std::string::npos);
}

TEST_F(AgentClipboardTest, WithoutAnyPrinterTheJobStaysOnTheClipboard) {
  startAgent({"CUPS_SERVER=127.0.0.1:1"});
  const int before = CupsJobs::newest();
  auto sender = sendDefaultPrinterJob(makePdf(300, 400));
  std::this_thread::sleep_for(2500ms);
  EXPECT_TRUE(sender->running()) << "nobody took the job off the clipboard";
  int status = -1;
  EXPECT_NE(clipboardSeenByOthers(&status).find("ZelbrinDefault1!1!1!"), std::string::npos);
  EXPECT_EQ(CupsJobs::newest(), before);
  EXPECT_TRUE(agent->running());
  EXPECT_NE(agent->stop().find("no local printer"), std::string::npos);
}

}  // namespace
