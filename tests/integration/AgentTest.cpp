#include <gtest/gtest.h>

#include <fstream>

#include "support/AgentProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string clipboardSeenByOthers(int* status = nullptr) {
  return runCommand("xclip -o -selection clipboard 2>/dev/null", status);
}

// The real agent, on the private X server and CUPS, with a private home; the desktop opener is a
// stand-in that records what it was asked to open.
class AgentTest : public ::testing::Test {
 protected:
  void startAgent(const std::string& cupsServer = "") {
    const fs::path bin = home.path() / "bin";
    writeFile(bin / "xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + opened().string() + "\"\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    std::vector<std::string> environment{"PATH=" + bin.string() + ":" + std::getenv("PATH")};
    if (!cupsServer.empty()) environment.push_back("CUPS_SERVER=" + cupsServer);
    agent = std::make_unique<AgentProcess>(ZELBRIN_CLIENT_PATH, home.path(),
                                           std::vector<std::string>{}, environment);
    // The settings file is written on start-up, before the first tick.
    ASSERT_TRUE(
        waitFor([&] { return fs::exists(documents() / "com.kestrova.ZelbrinClient"); }, 10s))
        << agent->standardError();
  }
  fs::path documents() const { return home.path() / "Documents"; }
  fs::path opened() const { return home.path() / "opened.log"; }
  std::unique_ptr<AgentProcess> send(std::vector<std::string> arguments) {
    return std::make_unique<AgentProcess>(ZELBRIN_SEND_PATH, home.path(), std::move(arguments));
  }
  std::unique_ptr<AgentProcess> sendDefaultPrinterJob(const std::string& pdf) {
    const fs::path file = home.path() / "sample.pdf";
    std::ofstream(file, std::ios::binary) << pdf;
    return send({"--clipboard", "--command", "ZelbrinDefault", "--file", file.string(), "--collate",
                 "true", "--copies", "2", "--timeout", "20"});
  }

  TempFolder home;
  std::unique_ptr<AgentProcess> agent;
};

TEST_F(AgentTest, ClipboardJobComesOutOfTheDefaultQueue) {
  startAgent();
  const int before = CupsJobs::newest();
  const std::string pdf = makePdf(300, 400);
  auto sender = sendDefaultPrinterJob(pdf);
  // The sender leaves as soon as someone else takes the clipboard: the agent's reply.
  ASSERT_TRUE(waitFor([&] { return !sender->running(); }, 10s)) << agent->standardError();
  EXPECT_EQ(sender->exitStatus(), 0);

  const int jobId = CupsJobs::newest();
  ASSERT_GT(jobId, before) << agent->standardError();
  const CupsJob job = CupsJobs::waitUntilEnded(jobId).value_or(CupsJob{});
  EXPECT_EQ(job["job-state"] + job["copies"] + job["job-name"], "completed2sample.pdf");
  EXPECT_NE(job["job-printer-uri"].find("zelbrin-tray"), std::string::npos);
  EXPECT_EQ(CupsJobs::spooled(jobId), pdf) << "the PDF reaches CUPS as it was sent";
  int status = -1;
  EXPECT_EQ(clipboardSeenByOthers(&status), "");
  EXPECT_EQ(status, 0) << "the clipboard is left empty";
}

TEST_F(AgentTest, FolderJobIsPickedUpAndOpenJobsReachTheDesktopOpener) {
  startAgent();
  runCommand(std::string(ZELBRIN_SEND_PATH) + " --folder --text document --documents " +
             documents().string());
  const fs::path drive = documents() / "ZbDataDrive";
  EXPECT_TRUE(waitFor([&] { return fs::is_empty(drive); }, 3s)) << "both files are gone";

  auto document = send({"--clipboard", "--command", "ZelbrinOpen", "--name", "notes.pdf", "--text",
                        "%PDF-1.4 notes"});
  ASSERT_TRUE(
      waitFor([&] { return readFile(opened()).find("notes.pdf") != std::string::npos; }, 10s))
      << agent->standardError();
}

// The sender that newcomers are handed: a raw job, which the agent carries out without a reply
// on the clipboard, is reported as handed over once it has been read; its options are its own.
TEST(AgentSendTest, RawJobIsReportedHandedOverOnceReadAndOptionsAreOurs) {
  const std::string send = ZELBRIN_SEND_PATH;
  EXPECT_NE(runCommand(send + " --print --name mine.pdf --text x").find("mine.pdf"),
            std::string::npos)
      << "--name reaches the job";

  TempFolder home;
  AgentProcess sender(send, home.path(),
                      {"--clipboard", "--command", "USERDEFINEDDRIVER", "--text", "raw bytes"});
  ASSERT_TRUE(
      waitFor([&] { return clipboardSeenByOthers().rfind("USERDEFINEDDRIVER", 0) == 0; }, 5s));
  EXPECT_TRUE(waitFor([&] { return !sender.running(); }, 5s)) << "the sender kept waiting";
  EXPECT_EQ(sender.exitStatus(), 0) << sender.standardError();
}

}  // namespace
