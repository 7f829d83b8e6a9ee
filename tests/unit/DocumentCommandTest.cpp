#include <gtest/gtest.h>

#include "documents/OpenPolicy.h"
#include "core/Base64.h"
#include "core/Crypto.h"
#include "send/JobTextComposer.h"
#include "support/IntakeHarness.h"

namespace fs = std::filesystem;
using JobTextComposer::Channel;

namespace {

class DocumentCommandTest : public ::testing::Test, protected IntakeHarness {
 protected:
  void send(const std::string& command, const std::string& name, const std::string& document) {
    JobTextComposer::Job job;
    job.command = command;
    job.documentName = name;
    job.document = document;
    clipboard.put(JobTextComposer::compose(job, Channel::Clipboard));
    controller.MonitorSharedFolder();
  }
  fs::path temporary() const { return home.path() / "tmp" / "com.kestrova.ZelbrinClient"; }
};

TEST_F(DocumentCommandTest, SaveWritesTheDocumentWhereTheUserChose) {
  savePanel.answer = (home.path() / "chosen.docx").string();
  send("ZelbrinSave", "C:\\Users\\ann\\letter.docx", std::string("PK\x03\x04 doc", 8));
  ASSERT_EQ(savePanel.suggested, std::vector<std::string>{"letter.docx"});
  EXPECT_EQ(readFile(home.path() / "chosen.docx"), std::string("PK\x03\x04 doc", 8));
  // Cleared, emptied before the panel, emptied after it, and once more when done.
  ASSERT_GE(clipboard.history.size(), 4U);
  EXPECT_EQ(clipboard.history[0], std::nullopt);
  EXPECT_EQ(clipboard.content, "");
}

TEST_F(DocumentCommandTest, CancelledSaveWritesNothingAndWorksWithoutPrinters) {
  printSystem.printers.clear();
  savePanel.answer.reset();
  send("ZelbrinSave", "a.txt", "text");
  EXPECT_EQ(savePanel.suggested.size(), 1U) << "saving needs no printer";
  EXPECT_EQ(clipboard.content, "");

  savePanel.answer = (home.path() / "b.txt").string();
  send("ZelbrinSave", "b.txt", "saved anyway");
  EXPECT_EQ(readFile(home.path() / "b.txt"), "saved anyway");
}

TEST_F(DocumentCommandTest, OpenDecryptsToThePrivateFolderAndOpensEveryTime) {
  send("ZelbrinOpen", "../../report.pdf", "%PDF-1.4 content.");
  ASSERT_EQ(workspace.openedFiles.size(), 1U);
  EXPECT_EQ(workspace.openedFiles[0], (temporary() / "report.pdf").string());
  std::string expected = "%PDF-1.4 content.";  // zero-filled to two blocks
  expected.resize(32, '\0');
  EXPECT_EQ(readFile(temporary() / "report.pdf"), expected);
  EXPECT_FALSE(controller.hashTemp()) << "an open job may come again";

  send("ZelbrinOpen", "../../report.pdf", "%PDF-1.4 content.");
  EXPECT_EQ(workspace.openedFiles.size(), 2U);
  EXPECT_FALSE(fs::exists(home.path() / "report.pdf"));
}

TEST_F(DocumentCommandTest, TextWithALinkOpensTheLinkWithoutTheZeroFill) {
  send("ZelbrinOpen", "Shortcut.BAT", "start https://example.com/page?q=1\r\n");
  EXPECT_TRUE(fs::exists(temporary() / "Shortcut.txt"));
  EXPECT_EQ(workspace.openedUrls, std::vector<std::string>{"https://example.com/page?q=1"});
  EXPECT_TRUE(workspace.openedFiles.empty());
}

TEST_F(DocumentCommandTest, NothingThatCouldRunAProgramIsOpened) {
  testing::internal::CaptureStderr();
  send("ZelbrinOpen", "go.txt", "httpx://evil");
  send("ZelbrinOpen", "tool.sh", "echo hi");
  send("ZelbrinOpen", "innocent.pdf", "#!/bin/sh\nrm -rf ~\n");
  send("ZelbrinOpen", "app.desktop", "[Desktop Entry]\nExec=x\n");
  send("ZelbrinOpen", "spaced.txt", "http://host/a b");
  const std::string log = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(workspace.openedFiles.empty());
  EXPECT_TRUE(workspace.openedUrls.empty());
  EXPECT_NE(log.find("only http and https links"), std::string::npos) << log;
  EXPECT_NE(log.find("tool.sh"), std::string::npos);
  EXPECT_NE(log.find("it is a script"), std::string::npos);
  EXPECT_NE(log.find("desktop"), std::string::npos);
}

TEST_F(DocumentCommandTest, PayloadThatDoesNotDecryptNeverOpensAStaleCopy) {
  send("ZelbrinOpen", "same.pdf", "first document");
  ASSERT_EQ(workspace.openedFiles.size(), 1U);

  const std::string text =
      "ZelbrinOpen1!1!1!*Default*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!same.pdf1!1!1!" +
      Base64::encode("not encrypted at all");
  clipboard.put(text);
  controller.MonitorSharedFolder();
  EXPECT_EQ(workspace.openedFiles.size(), 1U);
}

TEST(OpenPolicy, LinksAreCutAndChecked) {
  EXPECT_EQ(OpenPolicy::linkInText(std::string("see http://a.b/c\0\0\0", 19)), "http://a.b/c");
  EXPECT_FALSE(OpenPolicy::linkInText("no link"));
  EXPECT_TRUE(OpenPolicy::isWebLink("HTTPS://Example.com"));
  EXPECT_FALSE(OpenPolicy::isWebLink("http://"));
  EXPECT_FALSE(OpenPolicy::isWebLink("http:///etc/passwd"));
  EXPECT_FALSE(OpenPolicy::isWebLink("httpfile:///etc/passwd"));
  EXPECT_FALSE(OpenPolicy::isWebLink("http://a.b/\"; rm"));
}

}  // namespace
