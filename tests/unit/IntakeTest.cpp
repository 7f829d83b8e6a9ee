#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "core/AgentStatus.h"
#include "core/Base64.h"
#include "core/Utf8.h"
#include "core/Crypto.h"
#include "send/JobTextComposer.h"
#include "support/IntakeHarness.h"
#include "support/PdfSamples.h"

namespace fs = std::filesystem;
using JobTextComposer::Channel;

namespace {

const std::string kPdf = makePdf(300, 400);

JobTextComposer::Job sent(std::string command, std::string document = kPdf) {
  JobTextComposer::Job job;
  job.command = std::move(command);
  job.tray = "2";
  job.duplex = "DUPLEXTUMBLE";
  job.documentName = "C:\\Users\\ann\\report.pdf";
  job.document = std::move(document);
  job.collate = "true";
  job.copies = "3";
  return job;
}

// The job monitor and everything behind it, seen through what it does: clipboard replies, jobs
// handed to the print system, files, windows asked for.
class IntakeTest : public ::testing::Test, protected IntakeHarness {
 protected:
  void onClipboard(const std::string& text) {
    clipboard.put(text);
    controller.MonitorSharedFolder();
  }
  void onClipboard(const JobTextComposer::Job& job) {
    onClipboard(JobTextComposer::compose(job, Channel::Clipboard));
  }
  std::string userDefined(const std::string& keyword, const std::string& server,
                          const std::string& document) {
    auto text = sent(keyword, document);
    text.serverPrinter = server;
    return JobTextComposer::compose(text, Channel::Clipboard);
  }
  fs::path temporary() const { return home.path() / "tmp" / "com.kestrova.ZelbrinClient"; }
};

TEST_F(IntakeTest, FolderFirstOneJobPerTickAndNoTickInsideAJob) {
  controller.awakeFromNib();
  ASSERT_EQ(ticker.interval, std::chrono::milliseconds(1000));
  putFolderJob("folder job");
  clipboard.put(JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard));
  folderJobs.duringJob = [&] {
    // A modal window's event loop lets the timer fire inside the job.
    job.printerPromptCancelled = true;
    controller.MonitorSharedFolder();
  };
  controller.MonitorSharedFolder();
  folderJobs.duringJob = nullptr;
  EXPECT_EQ(folderJobs.received, std::vector<std::string>{"folder job"});
  EXPECT_EQ(clipboard.reads, 0) << "the clipboard waits for a tick without a folder job";
  EXPECT_FALSE(job.printerPromptCancelled) << "cleared at the end of the tick";
  EXPECT_FALSE(fs::exists(drive() / "pjob.data"));
  EXPECT_FALSE(fs::exists(drive() / "pjobd.data"));
  controller.MonitorSharedFolder();
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);

  // A job file that is a link is not followed: no other file of the user's is ever printed.
  const fs::path elsewhere = home.path() / "elsewhere.data";
  writeFile(elsewhere, JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Folder));
  fs::create_symlink(elsewhere, drive() / "pjob.data");
  writeFile(drive() / "pjobd.data", "");
  controller.MonitorSharedFolder();
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_TRUE(fs::is_empty(drive())) << "the link goes as any job file";
  EXPECT_TRUE(fs::exists(elsewhere));

  // A job file without its marker is not ready.
  writeFile(drive() / "pjob.data", "not ready");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received.size(), 1U);
}

// Arrivals run a tick of their own; a burst runs one, and news that comes while a job holds a
// modal window is kept for a tick right after that job, which then finds the work once.
TEST_F(IntakeTest, ArrivalsStartATickAndNoneIsLostInsideAJob) {
  controller.awakeFromNib();
  EXPECT_EQ(folderWatch.watched, drive().string() + "/pjobd.data");
  clipboard.offer(JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard));
  clipboard.offer(clipboard.content);
  EXPECT_TRUE(ticker.runPending());
  EXPECT_FALSE(ticker.runPending()) << "two notices, one tick";
  const std::string next =
      JobTextComposer::compose(sent("ZelbrinDefault", makePdf(5, 5)), Channel::Clipboard);
  folderJobs.duringJob = [&] {
    clipboard.offer(next);
    ticker.runPending();  // inside the job's modal window: no tick
  };
  putFolderJob(JobTextComposer::compose(sent("ZelbrinPrinter", makePdf(3, 3)), Channel::Folder));
  folderWatch.appeared();
  EXPECT_TRUE(ticker.runPending());
  folderJobs.duringJob = nullptr;
  EXPECT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_TRUE(ticker.runPending()) << "the tick after the job";
  EXPECT_FALSE(ticker.runPending());
  EXPECT_EQ(printSystem.pdfJobs.size(), 3U);
}

TEST_F(IntakeTest, OnlyTheFolderFilesThatWereReadAreRemoved) {
  // A job written while the previous one is carried out (a dialog can be up for minutes): its
  // data first, then its own marker. The first job's marker is no marker of the second.
  putFolderJob("first job");
  FolderCarrier otherDisplay(paths);  // the agent of the same user's other session
  folderJobs.duringJob = [&] {
    EXPECT_FALSE(otherDisplay.ready()) << "a job under way is carried out by one agent";
    writeFile(drive() / "pjob.data", "second jo");
  };
  controller.MonitorSharedFolder();
  folderJobs.duringJob = nullptr;
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received, std::vector<std::string>{"first job"}) << "read half-written";
  writeFile(drive() / "pjob.data", "second job");
  writeFile(drive() / "pjobd.data", "");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received, (std::vector<std::string>{"first job", "second job"}));
  // A folder where the marker belongs marks nothing.
  writeFile(drive() / "pjob.data", "third job");
  fs::create_directory(drive() / "pjobd.data");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received.size(), 2U);
  fs::remove(drive() / "pjobd.data");

  // A read-only mapping: the job is carried out once, not once a second, until it changes.
  putFolderJob("stuck job");
  // Read and search for all (seteuid keeps root's group), write for nobody.
  const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(drive(), readable);
  fs::permissions(home.path(), readable | fs::perms::owner_write);
  const bool root = ::geteuid() == 0;  // root would remove the files all the same
  ASSERT_TRUE(!root || ::seteuid(65534) == 0);
  for (int tick = 0; tick < 3; ++tick) controller.MonitorSharedFolder();
  ASSERT_TRUE(!root || ::seteuid(0) == 0);
  EXPECT_EQ(folderJobs.received.size(), 3U);
  fs::permissions(drive(), fs::perms::owner_all);
  putFolderJob("stuck job, written again");
  controller.MonitorSharedFolder();
  EXPECT_EQ(folderJobs.received.back(), "stuck job, written again");
}

TEST_F(IntakeTest, AClipboardJobIsCarriedOutOnceAndAnUnansweredReadIsRetried) {
  const std::string text = JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard);
  clipboard.unansweredReads = 1;  // an owner too slow to answer in time, for long
  clipboard.ownerStuck = true;
  onClipboard(text);
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  ASSERT_EQ(notifier.told.size(), 1U);
  EXPECT_NE(notifier.told[0].find("has not handed its text over"), std::string::npos);
  controller.MonitorSharedFolder();
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U) << "read again on the next tick";

  // Left there, sent again, or sent with a tail after a NUL: the same job, not carried out.
  controller.MonitorSharedFolder();
  onClipboard(text);
  onClipboard(text + std::string("\0tail", 5));
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);
  onClipboard(JobTextComposer::compose(sent("ZelbrinSave"), Channel::Clipboard));
  onClipboard(text);
  EXPECT_EQ(printSystem.pdfJobs.size(), 2U) << "after another job it is new again";
}

TEST_F(IntakeTest, ProductCommandsPrintWithTheirSettingsAndEmptyTheClipboard) {
  tableView.WriteSettings("Dialog", "0");
  onClipboard(sent("ZelbrinDefault"));
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U);
  EXPECT_EQ(printSystem.pdfJobs[0].printer, "Office Printer");
  EXPECT_EQ(printSystem.pdfJobs[0].pdf, kPdf) << "the document goes out as received";
  EXPECT_EQ(printSystem.pdfJobs[0].options.copies, 3);
  EXPECT_EQ(printSystem.pdfJobs[0].options.jobName, "report.pdf");
  EXPECT_TRUE(dialog.requests.empty());
  EXPECT_EQ(workspace.activations, 1);
  EXPECT_EQ(clipboard.history.front(), std::nullopt) << "cleared, then the empty text";
  EXPECT_EQ(clipboard.content, "");

  // Settings a job does not carry keep the last job's values.
  auto bare = sent("ZelbrinPrinter");
  bare.withSettingsBlock = false;
  bare.collate.reset();
  onClipboard(bare);
  ASSERT_EQ(dialog.requests.size(), 1U);
  EXPECT_EQ(dialog.requests[0].copies, 3);
  EXPECT_EQ(dialog.requests[0].duplexMode, 1) << "the product commands leave duplex to the queue";
}

// A job's reply replaces the clipboard only while the clipboard still holds that job: what
// arrives while a window of the job is up is read next, never wiped (the prompt's cancel is
// tried end to end in AgentTest).
TEST_F(IntakeTest, WhatArrivesWhileAWindowIsUpOutlivesTheReply) {
  controller.awakeFromNib();
  const std::string second = JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard);
  dialog.answer = [&](PrintDialogChoice&) { clipboard.offer(second); };
  onClipboard(sent("ZelbrinPrinter"));
  dialog.answer = nullptr;
  EXPECT_EQ(clipboard.content, second) << "the second job is still there";
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_TRUE(ticker.runPending()) << "its arrival asked for a tick";
  ASSERT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_EQ(clipboard.content, "") << "the second job's own reply";
}

// Whatever another program copies, the agent goes on and leaves the clipboard alone unless the
// text was a complete job.
TEST_F(IntakeTest, TextsThatAreNoCompleteJobLeaveEverythingAlone) {
  std::vector<std::string> texts{"ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE",
                                 "ZelbrinPrinter1!1!1!a1!1!1!b1!1!1!c1!1!1!d1!1!1!e1!1!1!true",
                                 "ZelbrinPrinter1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Mono*!1!1!1!name",
                                 "USERDEFINEDPDF*1!1!1!*Printer*!1!1!1!*1*!",
                                 "USERDEFINEDDRIVER1!1!1!*Printer"};
  std::mt19937 rng(7);
  const std::string pieces[] = {"1!1!1!",      "*",    "ZelbrinOpenUrl", "zelbrin",
                                "!",           "1",    "\xff",           std::string(1, '\0'),
                                "USERDEFINED", "QUJD", "\xc3\xa9"};
  while (texts.size() < 2000) {
    std::string& text = texts.emplace_back();
    for (int n = std::uniform_int_distribution<int>(0, 12)(rng); n > 0; --n) {
      text += pieces[rng() % std::size(pieces)];
    }
  }
  for (const std::string& text : texts) onClipboard(text);
  EXPECT_EQ(prompt.runs, 0);
  EXPECT_TRUE(clipboard.history.empty());
  EXPECT_TRUE(printSystem.pdfJobs.empty());
  EXPECT_TRUE(printSystem.rawJobs.empty());

  printSystem.printers.clear();
  const std::string text = JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard);
  onClipboard(text);
  EXPECT_EQ(clipboard.content, text) << "without printers the job stays on the clipboard";
}

TEST_F(IntakeTest, SaveAndOpenKeepDocumentsInsideTheirFolders) {
  savePanel.answer = (home.path() / "chosen.docx").string();
  onClipboard(sent("ZelbrinSave", "PK\x03\x04 doc"));
  EXPECT_EQ(savePanel.suggested, std::vector<std::string>{"report.pdf"});
  EXPECT_EQ(readFile(home.path() / "chosen.docx"), "PK\x03\x04 doc") << "never decrypted";
  // Without printers, and with CUPS down, a save is done all the same and told as nothing else.
  printSystem.printers.clear();
  for (const bool down : {false, true}) {
    printSystem.down = down;
    savePanel.answer = (home.path() / (down ? "down.docx" : "none.docx")).string();
    onClipboard(sent("ZelbrinSave", down ? "while CUPS is down" : "without printers"));
    EXPECT_TRUE(fs::exists(*savePanel.answer));
  }
  EXPECT_EQ(notifier.told, std::vector<std::string>{});
  printSystem.down = false;
  printSystem.printers = {"Office Printer", "Label Printer"};

  // The open command decrypts into a private 0600 copy under a plain name.
  auto open = sent("ZelbrinOpen", "echo hello");
  open.documentName = "../../outside/run.BAT";
  onClipboard(open);
  EXPECT_EQ(readFile(temporary() / "run.txt"), std::string("echo hello\0\0\0\0\0\0", 16))
      << "a batch file is shown as text";
  struct stat info {};
  ASSERT_EQ(::stat((temporary() / "run.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600U);
  EXPECT_FALSE(fs::exists(home.path() / "outside"));
  EXPECT_EQ(workspace.openedFiles, std::vector<std::string>{(temporary() / "run.txt").string()});

  open.documentName = "link.txt";
  open.document = "https://example.com/a";
  onClipboard(open);
  onClipboard(open);
  EXPECT_EQ(workspace.openedUrls.size(), 2U) << "an open command runs every time";
  for (const char* bad : {"file:///etc/passwd", "https://x y"}) {
    open.document = bad;
    onClipboard(open);
  }
  EXPECT_EQ(workspace.openedUrls.size(), 2U);

  // A payload that does not decrypt opens nothing, not even an older copy of the same name.
  open.documentName = "notes.pdf";
  open.document = "%PDF-1.4";
  onClipboard(open);
  EXPECT_EQ(workspace.openedFiles.back(), (temporary() / "notes.pdf").string());
  const std::size_t opened = workspace.openedFiles.size();
  onClipboard(JobTextComposer::compose(open, Channel::Folder));  // not encrypted
  EXPECT_EQ(workspace.openedFiles.size(), opened);
  open.documentName = "x.desktop.";
  open.document = "[Desktop Entry]\nExec=xterm\n";
  onClipboard(open);
  EXPECT_EQ(workspace.openedFiles.size(), opened) << "only documents are opened";
}

TEST_F(IntakeTest, FolderJobsAreAllLoggedAndRoutedByTheirExactKeyword) {
  tableView.WriteSettings("MappedSettings", "1");
  const auto folder = [&](JobTextComposer::Job job) {
    putFolderJob(JobTextComposer::compose(job, Channel::Folder));
    controller.MonitorSharedFolder();
  };
  folder(sent("ZelbrinDefault"));
  folder(sent("ZelbrinDefault"));
  folder(sent("ZELBRINPRINTER", makePdf(100, 100)));
  ASSERT_EQ(printSystem.pdfJobs.size(), 1U) << "a repeated payload and an odd casing print nothing";
  EXPECT_EQ(printSystem.pdfJobs[0].printer, "Office Printer");
  EXPECT_EQ(printSystem.pdfJobs[0].options.inputSlot, "Tray2");
  EXPECT_EQ(printSystem.pdfJobs[0].options.duplexMode, 3);
  EXPECT_EQ(printSystem.pdfJobs[0].options.copies, 3);
  const std::string entries = readFile(log.logFilePath());
  EXPECT_EQ(entries.substr(0, entries.find(" \r ServerPrinterType")),
            "\r DocumentName --> C:\\Users\\ann\\report.pdf \r Color --> Color \r Collate --> true "
            "\r Copies --> 3");
  EXPECT_NE(entries.find("ZelbrinDefault \r PrinterName --> Office Printer \r DocumentName"),
            std::string::npos);
  EXPECT_NE(entries.find("ZELBRINPRINTER \r PrinterName --> (null) "), std::string::npos);

  // Save and open run every time, through the clipboard's panel and opener.
  savePanel.answer = (home.path() / "saved.pdf").string();
  folder(sent("ZelbrinSave"));
  folder(sent("ZelbrinSave"));
  EXPECT_EQ(savePanel.suggested, (std::vector<std::string>{"report.pdf", "report.pdf"}));
  EXPECT_EQ(readFile(home.path() / "saved.pdf"), kPdf);
  folder(sent("ZelbrinOpen"));
  EXPECT_EQ(workspace.openedFiles, std::vector<std::string>{(temporary() / "report.pdf").string()});
  EXPECT_EQ(readFile(temporary() / "report.pdf"), kPdf) << "nothing to decrypt from the folder";
  auto link = sent("ZelbrinOpenUrl", "");
  link.documentName = "see https://example.com/a";
  folder(link);
  EXPECT_EQ(workspace.openedUrls, std::vector<std::string>{"https://example.com/a"});

  // A text without the collate field is rejected unlogged; its files go all the same.
  const std::string before = readFile(log.logFilePath());
  putFolderJob("ZelbrinDefault1!1!1!*1*!1!1!1!*NONE*!1!1!1!*C*!1!1!1!a.pdf1!1!1!QUJD");
  controller.MonitorSharedFolder();
  EXPECT_EQ(readFile(log.logFilePath()), before);
  EXPECT_TRUE(fs::is_empty(drive()));
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U);
}

TEST_F(IntakeTest, StartUpAddsAMissingLoginItemAndFailedJobsAreToldOnce) {
  controller.awakeFromNib();
  EXPECT_EQ(process.added, std::vector<std::string>{"/opt/zelbrin/bin/zelbrin-client"});
  process.state = LoginItems::State::Off;
  controller.awakeFromNib();
  EXPECT_EQ(process.added.size(), 1U) << "an item the user turned off stays off";

  printSystem.printers.clear();
  onClipboard(sent("ZelbrinDefault"));
  ASSERT_EQ(notifier.told.size(), 1U);
  EXPECT_NE(notifier.told[0].find("\"report.pdf\" was not printed"), std::string::npos);
  EXPECT_TRUE(notifier.notices[0].failure && notifier.notices[0].aboutPrinter);
  onClipboard(sent("ZelbrinPrinter", makePdf(100, 200)));
  EXPECT_EQ(notifier.told.size(), 1U) << "the same cause within a minute: no storm";
  onClipboard(sent("ZelbrinSave"));
  EXPECT_EQ(notifier.told.size(), 1U) << "nothing for a job that went well";
  printSystem.printers = {"Office Printer"};
  onClipboard(sent("ZelbrinPrinter", "not a PDF"));
  EXPECT_EQ(notifier.told.size(), 2U) << "another cause";
  EXPECT_FALSE(notifier.notices[1].aboutPrinter) << "a broken document is no printer's fault";
}

// A stopped or frozen CUPS is no reason to lose a job, nor to forget a pair.
TEST_F(IntakeTest, JobsWaitWhileThePrintServiceDoesNotAnswer) {
  const auto whileDown = [&](const std::function<void()>& job) {
    const std::size_t before = printSystem.pdfJobs.size() + printSystem.rawJobs.size();
    printSystem.down = true;
    job();
    controller.MonitorSharedFolder();
    EXPECT_EQ(printSystem.pdfJobs.size() + printSystem.rawJobs.size(), before);
    printSystem.down = false;
    controller.MonitorSharedFolder();
  };
  const std::string text = JobTextComposer::compose(sent("ZelbrinDefault"), Channel::Clipboard);
  whileDown([&] { onClipboard(text); });
  EXPECT_EQ(printSystem.pdfJobs.size(), 1U) << "carried out once CUPS answers";
  EXPECT_NE(notifier.told.at(0).find("waits"), std::string::npos);

  whileDown([&] {
    putFolderJob(JobTextComposer::compose(sent("ZelbrinPrinter", makePdf(1, 2)), Channel::Folder));
  });
  EXPECT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_TRUE(fs::is_empty(drive()));

  utilXML.addElementToXML("Zebra", "Label Printer");
  whileDown([&] { onClipboard(userDefined("USERDEFINEDDRIVER", "Zebra", "raw")); });
  EXPECT_EQ(printSystem.rawJobs, std::vector<std::string>{"raw"});

  // CUPS stops while the prompt is up: the answer is kept, the job waits for CUPS.
  prompt.answer.selected = "Label Printer";
  prompt.whileOpen = [&] { printSystem.down = true; };
  onClipboard(userDefined("USERDEFINEDDRIVER", "Dock", "raw 2"));
  putFolderJob(userDefined("USERDEFINEDDRIVER", "Shelf", "raw 3"));
  controller.MonitorSharedFolder();
  prompt.whileOpen = nullptr;
  printSystem.down = false;
  controller.MonitorSharedFolder();
  controller.MonitorSharedFolder();
  EXPECT_EQ(printSystem.rawJobs, (std::vector<std::string>{"raw", "raw 3", "raw 2"}));
  EXPECT_EQ(prompt.runs, 2);
}

TEST_F(IntakeTest, ServerPrintersArePairedOnceForgottenWhenGoneAndNeverForced) {
  tableView.WriteSettings("MappedSettings", "1");
  prompt.answer.selected = "Label Printer";
  onClipboard(userDefined("USERDEFINEDPDF*", "HP LaserJet 4000", kPdf));
  EXPECT_EQ(prompt.askedFor, "HP LaserJet 4000");
  EXPECT_EQ(prompt.preselected, "Office Printer") << "the default printer, which takes PDF";
  onClipboard(userDefined("userdefinedpdf*", "HP LaserJet 4000", makePdf(1, 1)));
  EXPECT_EQ(prompt.runs, 1) << "the same server printer: no question";
  ASSERT_EQ(printSystem.pdfJobs.size(), 2U);
  EXPECT_EQ(printSystem.pdfJobs[1].printer, "Label Printer");
  EXPECT_EQ(printSystem.pdfJobs[1].options.duplexMode, 3) << "mapped settings apply";
  EXPECT_EQ(clipboard.content, "");
  // Names whose filtered keys are one (punctuation, spaces, no ASCII letter at all) are as many
  // printers, each asked for once.
  for (const char* server : {"HPLaser Jet 4000", "Склад", "Бухгалтерия", "Склад"}) {
    prompt.answer.selected = std::string(server) == "Склад" ? "Label Printer" : "Office Printer";
    onClipboard(userDefined("USERDEFINEDDRIVER", server, server));
  }
  EXPECT_EQ(prompt.runs, 4);
  EXPECT_EQ(printSystem.rawJobs.size(), 4U);
  printSystem.pdfJobs.erase(printSystem.pdfJobs.begin() + 2, printSystem.pdfJobs.end());
  printSystem.rawJobs.clear();

  // Raw data goes out unchanged, separators inside it dropped; the default printer is offered
  // only when it takes raw data.
  printSystem.rawRefusing = {"Office Printer"};
  const std::string bytes("\x1b\x45\0\xff", 4);
  std::string raw = userDefined("USERDEFINEDDRIVER", "Zebra", bytes);
  raw.insert(raw.rfind('*') + 1, "1!1!1!");
  onClipboard(raw);
  EXPECT_EQ(prompt.preselected, "Label Printer");
  EXPECT_EQ(printSystem.rawJobs, std::vector<std::string>{bytes});
  onClipboard(userDefined("USERDEFINEDDRIVER", "Zebra", ""));
  EXPECT_EQ(printSystem.rawJobs.size(), 1U) << "no empty raw job";

  // A pair whose printer is gone is forgotten; a cancelled prompt stores and prints nothing.
  utilXML.addElementToXML("Floor 2", "Removed Printer");
  onClipboard(userDefined("USERDEFINEDPDF*", "Floor 2", kPdf));
  EXPECT_FALSE(utilXML.attributExist("Floor2"));
  EXPECT_NE(notifier.told.back().find("\"Removed Printer\" is no longer installed"),
            std::string::npos);
  // The chosen printer removed while the prompt is up: the job is told as not printed.
  prompt.whileOpen = [&] { printSystem.printers = {"Office Printer"}; };
  onClipboard(userDefined("USERDEFINEDDRIVER", "Dock", "raw"));
  EXPECT_EQ(printSystem.rawJobs.size(), 1U);
  EXPECT_NE(notifier.told.back().find("\"Label Printer\" was not printed"), std::string::npos);
  prompt.whileOpen = nullptr;
  printSystem.printers = {"Office Printer", "Label Printer"};
  prompt.answer.cancelled = true;
  onClipboard(userDefined("USERDEFINEDPDF*", "Floor 2", makePdf(100, 100)));
  EXPECT_EQ(clipboard.content, " ");
  EXPECT_FALSE(utilXML.attributExist("Floor2"));
  EXPECT_EQ(printSystem.pdfJobs.size(), 2U);

  // From the folder the same, without a word on the clipboard.
  prompt.answer = {.cancelled = false, .selected = "Office Printer"};
  const std::size_t writes = clipboard.history.size();
  putFolderJob(userDefined("USERDEFINEDPDF*", "Folder Laser", kPdf));
  controller.MonitorSharedFolder();
  ASSERT_EQ(printSystem.pdfJobs.size(), 3U);
  EXPECT_EQ(printSystem.pdfJobs[2].printer, "Office Printer");
  EXPECT_EQ(clipboard.history.size(), writes);

  // Pairs that cannot be stored (a read-only support folder): the answer is used all the same,
  // and the user is told once.
  prompt.answer.selected = "Label Printer";
  const fs::path support = home.path() / "Documents" / "com.kestrova.ZelbrinClient";
  const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(support, readable);
  fs::permissions(home.path(), readable | fs::perms::owner_write);
  const bool root = ::geteuid() == 0;  // root would write all the same
  ASSERT_TRUE(!root || ::seteuid(65534) == 0);
  onClipboard(userDefined("USERDEFINEDPDF*", "Annex", kPdf));
  onClipboard(userDefined("USERDEFINEDPDF*", "Annex 2", makePdf(5, 5)));
  ASSERT_TRUE(!root || ::seteuid(0) == 0);
  fs::permissions(support, fs::perms::owner_all);
  ASSERT_EQ(printSystem.pdfJobs.size(), 5U);
  EXPECT_EQ(printSystem.pdfJobs[3].printer + ", " + printSystem.pdfJobs[4].printer,
            "Label Printer, Label Printer");
  // Told as a note: the job was printed.
  EXPECT_EQ(std::count_if(notifier.notices.begin(), notifier.notices.end(),
                          [](const Notifier::Notice& notice) {
                            return notice.text.english().find("cannot be saved") !=
                                       std::string::npos &&
                                   !notice.failure;
                          }),
            1);
}

// The status menu's first entry follows the jobs: CUPS silent while a job waits for it, a job
// waiting for the user's choice, then what became of the job, in one line of a menu.
TEST_F(IntakeTest, TheStatusLineFollowsTheJobs) {
  const AgentStatus status;
  const std::string watching = status.line();
  printSystem.down = true;
  onClipboard(sent("ZelbrinDefault"));
  const std::string silent = status.line();
  EXPECT_NE(silent, watching);
  printSystem.down = false;
  onClipboard("copied text: the job no longer waits");
  EXPECT_EQ(status.line(), watching) << "CUPS is back";

  std::string whileAsked;
  prompt.whileOpen = [&] { whileAsked = status.line(); };
  prompt.answer.selected = "Label Printer";
  onClipboard(userDefined("USERDEFINEDPDF*", "Zebra", kPdf));
  EXPECT_NE(whileAsked, watching);
  EXPECT_NE(whileAsked, silent);
  const std::string printed = status.line();
  EXPECT_NE(printed.find("report.pdf"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Label Printer"), std::string::npos) << printed;

  onClipboard(sent("ZelbrinPrinter", "not a PDF"));
  EXPECT_NE(status.line(), printed);
  EXPECT_NE(status.line().find("report.pdf"), std::string::npos) << "the failed job is named";

  auto named = sent("ZelbrinDefault", makePdf(1, 1));
  named.documentName.clear();
  for (int euro = 0; euro < 100; ++euro) named.documentName += "\u20ac";
  for (int shift = 0; shift < 3; ++shift) {
    named.documentName.insert(0, "y");  // the cut falls on each byte of a character in turn
    onClipboard(named);
    EXPECT_TRUE(Utf8::isValid(status.line()));
    EXPECT_LT(status.line().size(), 200U) << "one line of a menu";
  }
}

}  // namespace
