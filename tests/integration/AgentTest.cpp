#include <gtest/gtest.h>
#include <signal.h>

#include <xcb/xcb.h>

#include <QUrl>
#include <cstring>
#include <fstream>

#include "config/XMLUtil.h"
#include "platform/SingleInstance.h"
#include "send/JobTextComposer.h"
#include "support/AgentProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/NotificationServer.h"
#include "support/PdfSamples.h"
#include "support/RemoteClipboardOwner.h"

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
  // `environment` holds extra "NAME=value" entries for the agent.
  void startAgent(std::vector<std::string> environment = {}) {
    const fs::path bin = home.path() / "bin";
    writeFile(bin / "xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + opened().string() + "\"\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    environment.push_back("PATH=" + bin.string() + ":" + std::getenv("PATH"));
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
  // Writes a folder job and waits until the agent has taken it.
  void sendToFolder(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--folder", "--documents", documents().string()});
    auto sender = send(std::move(arguments));
    std::error_code error;
    EXPECT_TRUE(waitFor(
        [&] { return !sender->running() && fs::is_empty(documents() / "ZbDataDrive", error); },
        30s));
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

// Also where Qt runs on another platform than X11 (Wayland, here offscreen): the jobs come from
// the X clipboard, and the replies must go back there.
class AgentOnQtPlatformTest : public AgentTest, public ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(AgentTest, AgentOnQtPlatformTest, ::testing::Values("xcb", "offscreen"));

TEST_P(AgentOnQtPlatformTest, ClipboardJobComesOutOfTheDefaultQueue) {
  startAgent({std::string("QT_QPA_PLATFORM=") + GetParam()});
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

// Too large for the remote-desktop clipboard, a document goes by the folder.
TEST_F(AgentTest, FolderJobsPrintWithTheirSettingsAndAreLogged) {
  startAgent();
  const int before = CupsJobs::newest();
  const std::string pdf = makePdf(300, 400, 50'000'000);
  writeFile(home.path() / "big.pdf", pdf);
  sendToFolder({"--command", "ZelbrinDefault", "--file", (home.path() / "big.pdf").string(),
                "--tray", "2", "--duplex", "DUPLEXNOTUMBLE", "--collate", "true", "--copies", "2"});
  ASSERT_GT(CupsJobs::newest(), before) << agent->standardError();
  const int jobId = CupsJobs::newest();
  const CupsJob job = CupsJobs::waitUntilEnded(jobId, 60s).value_or(CupsJob{});
  EXPECT_EQ(job["copies"] + " " + job["sides"] + " " + job["InputSlot"],
            "2 two-sided-long-edge Tray2");
  EXPECT_EQ(CupsJobs::spooled(jobId), pdf);
  EXPECT_EQ(readFile(documents() / "com.kestrova.ZelbrinClient" / "ZelbrinLogFile.txt"),
            "\r DocumentName --> big.pdf \r Color --> Color \r Collate --> true \r Copies --> 2 "
            "\r ServerPrinterType --> ZelbrinDefault \r PrinterName --> Office Tray Printer ");
}

// Against a private Samba server on loopback and GVfs on a private session bus.
TEST_F(AgentTest, FilesOnSharesAreMountedOnceAndOpenedFromTheShare) {
  if (const char* why = std::getenv("ZELBRIN_SMB_SKIP")) GTEST_SKIP() << why;
  const fs::path share = std::getenv("ZELBRIN_SMB_TEAM_DOCS");
  writeFile(share / "Reports" / "Q1 plan.pdf", "%PDF-1.4 from the share");
  runCommand("gio mount -u 'smb://127.0.0.1/team%20docs/' 2>/dev/null");
  startAgent();
  // What the desktop opener has been asked for once the job is done (it runs detached).
  const auto open = [&](const std::string& target) {
    const std::string before = readFile(opened());
    sendToFolder({"--command", "ZelbrinOpenUrl", "--name", target});
    waitFor([&] { return readFile(opened()) != before; }, 3s);
    return readFile(opened());
  };
  EXPECT_EQ(open("see https://example.com/a"), "https://example.com/a\n");
  EXPECT_EQ(open("\\\\127.0.0.1\\Team Docs\\..\\..\\etc\\passwd"), "https://example.com/a\n");
  EXPECT_EQ(runCommand("gio mount -l").find("127.0.0.1"), std::string::npos) << "nothing mounted";

  const std::string target = "\\\\127.0.0.1\\Team Docs\\Reports\\Q1 plan.pdf";
  const std::string first = open(target);
  const std::string url = first.substr(first.rfind("file://"));
  EXPECT_EQ(readFile(QUrl(QString::fromStdString(url).trimmed()).toLocalFile().toStdString()),
            "%PDF-1.4 from the share")
      << agent->standardError();
  EXPECT_EQ(agent->standardOutput(), "");
  EXPECT_EQ(open(target), first + url);
  // The share's local folder, or its URL where GVfs has no FUSE mount.
  EXPECT_EQ(agent->standardOutput().rfind("IS mounted at ", 0), 0U);
  EXPECT_NE(agent->standardOutput().find("team%20docs"), std::string::npos);
}

// The lock file names the agent that holds it on its first line.
qint64 lockHolder(const fs::path& folder) {
  const std::string lock = readFile(
      folder / ("zelbrin-client-" + SingleInstance::displayName().toStdString() + ".lock"));
  return lock.empty() ? 0 : std::stoll(lock);
}
qint64 lockHolder(const TempFolder& home) { return lockHolder(home.path() / "run"); }

TEST_F(AgentTest, OneAgentPerSessionWhichASecondStartBringsUpOrRestarts) {
  startAgent();
  const fs::path autostart = home.path() / ".config" / "autostart";
  ASSERT_TRUE(waitFor(
      [&] { return fs::is_directory(documents() / "ZbDataDrive") && fs::exists(autostart); }, 5s));
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), fs::directory_iterator()), 1);
  EXPECT_NE(readFile(autostart / "zelbrin-client.desktop")
                .find(std::string("Exec=\"") + ZELBRIN_CLIENT_PATH + "\""),
            std::string::npos);
  const qint64 first = lockHolder(home);
  ASSERT_GT(first, 0);

  AgentProcess second(ZELBRIN_CLIENT_PATH, home.path());
  ASSERT_TRUE(waitFor([&] { return !second.running(); }, 10s));
  EXPECT_EQ(second.exitStatus(), 0);
  EXPECT_TRUE(waitFor(
      [] {
        return runCommand("xwininfo -root -tree").find("Zelbrin Client Options") !=
               std::string::npos;
      },
      5s))
      << "the running agent shows its options window";

  // Restarted through the relaunch helper: the old agent ends, a new one takes the lock.
  AgentProcess restart(ZELBRIN_CLIENT_PATH, home.path(), {"--restart"});
  EXPECT_TRUE(waitFor([&] { return !agent->running(); }, 10s));
  ASSERT_TRUE(waitFor(
      [&] {
        const qint64 now = lockHolder(home);
        return now != 0 && now != first && ::kill(now, 0) == 0;
      },
      10s));
  ::kill(lockHolder(home), SIGTERM);

  // Started from shells that lack XDG_RUNTIME_DIR and differ in TMPDIR, still one agent; and
  // another display of the same user gets an agent of its own.
  const auto withoutRuntime = [&](const std::string& tmp, const std::string& display) {
    fs::create_directories(home.path() / tmp);
    return std::make_unique<AgentProcess>(
        ZELBRIN_CLIENT_PATH, home.path(), std::vector<std::string>{},
        std::vector<std::string>{"XDG_RUNTIME_DIR=", "TMPDIR=" + (home.path() / tmp).string(),
                                 "DISPLAY=" + display});
  };
  const std::string display = std::getenv("DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string kept = runtime != nullptr ? runtime : "";
  ::unsetenv("XDG_RUNTIME_DIR");
  const fs::path fallback = SingleInstance::runtimeFolder().toStdString();
  if (runtime != nullptr) ::setenv("XDG_RUNTIME_DIR", kept.c_str(), 1);
  auto one = withoutRuntime("tmp-a", display);
  ASSERT_TRUE(waitFor([&] { return lockHolder(fallback) == one->processId(); }, 10s))
      << one->standardError();
  auto two = withoutRuntime("tmp-b", display + ".0");
  ASSERT_TRUE(waitFor([&] { return !two->running(); }, 10s)) << "a second agent beside the first";
  EXPECT_EQ(two->exitStatus(), 0);
  const std::string other = ":" + std::to_string(300 + ::getpid() % 300);
  AgentProcess server("/usr/bin/Xvfb", home.path(), {other, "-nolisten", "tcp"});
  ASSERT_TRUE(waitFor([&] { return fs::exists("/tmp/.X11-unix/X" + other.substr(1)); }, 10s));
  auto third = withoutRuntime("tmp-c", other);
  EXPECT_FALSE(waitFor([&] { return !third->running(); }, 3s)) << third->standardError();
}

bool promptIsUp() {
  return runCommand("xwininfo -root -tree").find("\"Choose a Printer\"") != std::string::npos;
}

// Closes the prompt the way a window manager's close button does (WM_DELETE_WINDOW).
// Every window of that title is asked: a hidden one may be listed first.
void closePrompt() {
  const std::string tree = runCommand("xwininfo -root -tree");
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const auto atom = [&](const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return value;
  };
  for (std::size_t title = tree.find("\"Choose a Printer\""); title != std::string::npos;
       title = tree.find("\"Choose a Printer\"", title + 1)) {
    const auto window = static_cast<xcb_window_t>(
        std::stoul(tree.substr(tree.rfind("0x", title)), nullptr, 16));
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
  }
  xcb_flush(connection);
  xcb_disconnect(connection);
}

// A second job offered while the first one's prompt is up is printed once the prompt is closed:
// the first job's reply does not wipe it.
TEST_F(AgentTest, ASecondJobOfferedWhileThePromptIsUpIsPrinted) {
  startAgent();
  JobTextComposer::Job raw;
  raw.command = "USERDEFINEDDRIVER";
  raw.serverPrinter = "Dock";
  raw.document = "raw bytes";
  RemoteClipboardOwner owner;
  owner.offer(JobTextComposer::compose(raw, JobTextComposer::Channel::Clipboard));
  ASSERT_TRUE(waitFor(promptIsUp, 10s)) << agent->standardError();
  const int before = CupsJobs::newest();
  auto sender = sendDefaultPrinterJob(makePdf(300, 400));
  ASSERT_TRUE(waitFor([] { return clipboardSeenByOthers().rfind("ZelbrinDefault", 0) == 0; }, 5s));
  // A window that has only just been mapped may miss the first request.
  for (int attempt = 0; attempt < 3 && sender->running(); ++attempt) {
    closePrompt();
    waitFor([&] { return !sender->running(); }, 4s);
  }
  ASSERT_FALSE(sender->running()) << agent->standardError();
  EXPECT_EQ(CupsJobs::newest(), before + 1) << agent->standardError();
}

// A restart or a logout while a job waits for the user leaves the job for the next agent, and a
// raw job that stays on the clipboard is not printed again by the next agent.
TEST_F(AgentTest, EndingTheAgentNeitherLosesNorRepeatsAJob) {
  const FixedPaths paths(home.path());
  XMLUtil(paths).addElementToXML("Zebra", "Raw Capture");
  startAgent();
  const int before = CupsJobs::newest();
  JobTextComposer::Job raw;
  raw.command = "USERDEFINEDDRIVER";
  raw.serverPrinter = "Zebra";
  raw.document = "raw bytes for the label printer";
  RemoteClipboardOwner owner;
  owner.offer(JobTextComposer::compose(raw, JobTextComposer::Channel::Clipboard));
  ASSERT_TRUE(waitFor([&] { return CupsJobs::newest() == before + 1; }, 10s))
      << agent->standardError();

  // A folder job for a printer that is not paired yet: the prompt asks.
  raw.serverPrinter = "Dock";
  writeFile(documents() / "ZbDataDrive" / "pjob.data",
            JobTextComposer::compose(raw, JobTextComposer::Channel::Folder));
  writeFile(documents() / "ZbDataDrive" / "pjobd.data", "");
  ASSERT_TRUE(waitFor(promptIsUp, 10s)) << agent->standardError();
  ::kill(lockHolder(home), SIGTERM);
  ASSERT_TRUE(waitFor([&] { return !agent->running(); }, 10s));
  EXPECT_TRUE(fs::exists(documents() / "ZbDataDrive" / "pjob.data")) << agent->standardError();

  // The next agent asks again, and leaves the raw job on the clipboard alone; so does the one
  // that the prompt's restart brings.
  for (const bool restart : {false, true}) {
    const qint64 previous = lockHolder(home);
    std::unique_ptr<AgentProcess> asking;
    if (restart) {
      asking = std::make_unique<AgentProcess>(ZELBRIN_CLIENT_PATH, home.path(),
                                              std::vector<std::string>{"--restart"});
    } else {
      startAgent();
    }
    ASSERT_TRUE(waitFor(
        [&] {
          const qint64 now = lockHolder(home);
          return now != 0 && now != previous && ::kill(now, 0) == 0 && promptIsUp();
        },
        15s))
        << agent->standardError();
    EXPECT_TRUE(fs::exists(documents() / "ZbDataDrive" / "pjob.data"));
  }
  EXPECT_EQ(CupsJobs::newest(), before + 1) << "the raw job printed once";
  ::kill(lockHolder(home), SIGTERM);
}

// A queue added with the description of a paired printer (the same model on USB and on the
// network) does not take that printer's raw jobs.
TEST_F(AgentTest, APairKeepsItsQueueWhenAnotherQueueTakesItsName) {
  XMLUtil(FixedPaths(home.path())).addElementToXML("Zebra", "Raw Capture");
  startAgent();
  JobTextComposer::Job raw;
  raw.command = "USERDEFINEDDRIVER";
  raw.serverPrinter = "Zebra";
  const auto printedOn = [&](const std::string& data) {
    const int before = CupsJobs::newest();
    raw.document = data;
    RemoteClipboardOwner owner;
    owner.offer(JobTextComposer::compose(raw, JobTextComposer::Channel::Clipboard));
    waitFor([&] { return CupsJobs::newest() > before; }, 10s);
    return CupsJobs::newest() > before ? CupsJobs::waitUntilEnded(CupsJobs::newest())
                                             .value_or(CupsJob{})["job-printer-uri"]
                                       : std::string("nothing printed");
  };
  EXPECT_NE(printedOn("first").find("/zelbrin-raw"), std::string::npos) << agent->standardError();
  // Listed before the paired queue, as CUPS lists queues by name.
  const TempFolder capture;
  ASSERT_EQ(std::system(("lpadmin -p zelbrin-copy -E -v capture:" + capture.path().string() +
                         " -D 'Raw Capture'")
                            .c_str()),
            0);
  EXPECT_NE(printedOn("second").find("/zelbrin-raw"), std::string::npos) << agent->standardError();
  EXPECT_EQ(std::system("lpadmin -x zelbrin-copy"), 0);
}

// A system tray on the X server: the owner of the _NET_SYSTEM_TRAY_S0 selection, announced to
// the clients. It embeds nothing; the agent's icon just stays unseen.
class TrayOwner {
 public:
  TrayOwner() : connection_(xcb_connect(nullptr, nullptr)) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const xcb_window_t window = xcb_generate_id(connection_);
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const auto atom = [&](const char* name) {
      xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
          connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
      const xcb_atom_t value = reply->atom;
      std::free(reply);
      return value;
    };
    const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
    xcb_set_selection_owner(connection_, window, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t manager{};
    manager.response_type = XCB_CLIENT_MESSAGE;
    manager.format = 32;
    manager.window = root;
    manager.type = atom("MANAGER");
    manager.data.data32[0] = XCB_CURRENT_TIME;
    manager.data.data32[1] = selection;
    manager.data.data32[2] = window;
    xcb_send_event(connection_, 0, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&manager));
    xcb_flush(connection_);
  }
  ~TrayOwner() { xcb_disconnect(connection_); }
  TrayOwner(const TrayOwner&) = delete;
  TrayOwner& operator=(const TrayOwner&) = delete;

 private:
  xcb_connection_t* connection_;
};

// A failed job reaches the desktop's notification service whether a tray is there or not, and
// a click on the notice opens the options window. Without a service, standard error says so.
TEST_F(AgentTest, FailureNoticesReachTheNotificationServiceWithOrWithoutATray) {
  auto server = std::make_unique<NotificationServer>();
  ASSERT_TRUE(server->registered());
  // A job for a paired printer that is no longer installed; the agent's one line about telling
  // the user of it.
  const auto failJob = [&](const std::string& printer) {
    XMLUtil(FixedPaths(home.path())).addElementToXML("Zebra", printer);
    sendToFolder({"--command", "USERDEFINEDDRIVER", "--server-printer", "Zebra", "--text", "x"});
    const std::string text = "its printer \"" + printer + "\"";
    std::string errors;
    waitFor([&] { return (errors = agent->standardError()).find(text) != std::string::npos; }, 10s);
    EXPECT_EQ(errors.find(text), errors.rfind(text)) << errors;
    const std::size_t at = errors.find(text);
    if (at == std::string::npos) return errors;
    const std::size_t begin = errors.rfind('\n', at) + 1;  // 0 on the first line
    return errors.substr(begin, errors.find('\n', at) - begin);
  };

  // The first printer settings program looked for on PATH: a stand-in.
  const fs::path printerSettings = home.path() / "bin" / "system-config-printer";
  writeFile(printerSettings, "#!/bin/sh\necho printer settings >> \"" + opened().string() + "\"\n");
  fs::permissions(printerSettings, fs::perms::owner_all);

  // The first start without a tray says once where the agent is.
  startAgent();
  EXPECT_NE(failJob("Gone 1").find("told the user (desktop notification 2)"), std::string::npos);
  ASSERT_EQ(server->calls().size(), 2U) << agent->standardError();
  EXPECT_TRUE(server->calls()[0].summary.contains("background"));
  EXPECT_EQ(server->calls()[0].timeout, -1);
  const NotificationServer::Call& failure = server->calls()[1];
  EXPECT_EQ(failure.appName + " " + failure.icon, "Zelbrin Client zelbrin-client");
  EXPECT_EQ(failure.hints.value("desktop-entry").toString(), "zelbrin-client");
  EXPECT_EQ(failure.timeout, 0) << "a failure stays";
  EXPECT_EQ(failure.actions.join(' '),
            "default Options… options Options… printers Printer Settings…");
  server->invoke(failure.id, "printers");
  EXPECT_TRUE(waitFor([&] { return readFile(opened()) == "printer settings\n"; }, 5s));
  server->invoke(failure.id, "options");
  EXPECT_TRUE(waitFor(
      [] {
        return runCommand("xwininfo -root -tree").find("Zelbrin Client Options") !=
               std::string::npos;
      },
      5s));

  agent->stop();
  startAgent();
  failJob("Gone 2");
  EXPECT_EQ(server->calls().size(), 3U) << "no second word about the background";
  auto tray = std::make_unique<TrayOwner>();
  EXPECT_NE(failJob("Gone 3").find("told the user (desktop notification 4)"), std::string::npos)
      << "a tray does not keep notices from the service";

  // Without a service: the tray's balloon, then standard error alone.
  server.reset();
  EXPECT_NE(failJob("Gone 4").find("); told the user in a balloon of the tray icon: "),
            std::string::npos);
  tray.reset();
  EXPECT_NE(failJob("Gone 5").find(") and no tray: Zelbrin Client: a job was not carried out: "),
            std::string::npos);
}

// In the desktop's language: the notices, the failures' among them, and the windows.
TEST_F(AgentTest, NoticesAndWindowsFollowTheDesktopsLanguage) {
  NotificationServer server;
  ASSERT_TRUE(server.registered());
  const std::vector<std::string> german{"LANG=de_DE.UTF-8", "LANGUAGE=de",
                                        "LC_ALL=", "LC_MESSAGES="};
  startAgent(german);
  XMLUtil(FixedPaths(home.path())).addElementToXML("Zebra", "Alt");
  sendToFolder({"--command", "USERDEFINEDDRIVER", "--server-printer", "Zebra", "--text", "x"});
  ASSERT_TRUE(waitFor([&] { return server.calls().size() == 2; }, 10s)) << agent->standardError();
  EXPECT_EQ(server.calls()[0].summary.toStdString(), "Zelbrin Client läuft im Hintergrund");
  EXPECT_TRUE(server.calls()[1].body.startsWith(
      "Ein Druckauftrag für „Zebra“ wurde nicht gedruckt: Sein Drucker „Alt“"))
      << server.calls()[1].body.toStdString();

  AgentProcess second(ZELBRIN_CLIENT_PATH, home.path(), {}, german);
  EXPECT_TRUE(waitFor(
      [] {
        return runCommand("xwininfo -root -tree").find("Einstellungen\"") != std::string::npos;
      },
      5s))
      << "the options window in German";
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
