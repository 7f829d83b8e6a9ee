#include <gtest/gtest.h>

#include <thread>

#include "config/TableViewControler.h"
#include "support/AgentProcess.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class AgentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    agent = std::make_unique<AgentProcess>(ZELBRIN_CLIENT_PATH, home.path());
    // The settings file is written on start-up, before the first tick: once it is there, the
    // agent is up.
    ASSERT_TRUE(
        waitFor([&] { return readFile(settingsFile()).find("Log=") != std::string::npos; }, 10s))
        << "agent did not start: " << agent->standardError();
  }

  fs::path documents() const { return home.path() / "Documents"; }
  fs::path drive() const { return documents() / "ZbDataDrive"; }
  fs::path settingsFile() const {
    return documents() / "com.kestrova.ZelbrinClient" / "ZelbrinSettings.xml";
  }
  void sendFolderJob() {
    int status = 0;
    runCommand(std::string(ZELBRIN_SEND_PATH) + " --folder --documents '" + documents().string() +
                   "' --command ZelbrinDefault --text 'document' --name a.pdf",
               &status);
    ASSERT_EQ(status, 0);
  }

  TempFolder home;
  std::unique_ptr<AgentProcess> agent;
};

TEST_F(AgentTest, StartsWithAllFourSwitchesStored) {
  for (const char* key : {"MappedSettings", "Dialog", "Log", "RedirectedFolder"}) {
    const auto value = TableViewControler::GetOptionsValue(documents().string(), key);
    ASSERT_TRUE(value.has_value()) << key;
    EXPECT_TRUE(*value == "0" || *value == "1") << key << "=" << *value;
  }
  EXPECT_TRUE(agent->running()) << agent->standardError();
}

TEST_F(AgentTest, FolderJobIsPickedUpAndBothFilesDisappear) {
  sendFolderJob();
  // One tick a second: two seconds leave room for a tick that just missed the files.
  EXPECT_TRUE(waitFor(
      [&] { return !fs::exists(drive() / "pjob.data") && !fs::exists(drive() / "pjobd.data"); },
      2s));
  EXPECT_TRUE(agent->running());
  EXPECT_NE(agent->stop().find("folder job \"ZelbrinDefault\" received"), std::string::npos);
}

TEST_F(AgentTest, JobFileWithoutReadyMarkerIsLeftAlone) {
  writeFile(drive() / "pjob.data", "ZelbrinDefault1!1!1!not ready yet");
  std::this_thread::sleep_for(2500ms);
  EXPECT_EQ(readFile(drive() / "pjob.data"), "ZelbrinDefault1!1!1!not ready yet");
  EXPECT_TRUE(agent->running());
}

}  // namespace

namespace {

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
  std::string read;
  ASSERT_TRUE(waitFor(
      [&] {
        read = runCommand("xclip -o -selection clipboard 2>/dev/null");
        return read.rfind("USERDEFINEDDRIVER", 0) == 0;
      },
      5s));
  EXPECT_TRUE(waitFor([&] { return !sender.running(); }, 5s)) << "the sender kept waiting";
  EXPECT_EQ(sender.exitStatus(), 0) << sender.standardError();
}

}  // namespace
