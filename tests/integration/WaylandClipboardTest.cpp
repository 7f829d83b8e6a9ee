#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>

#include "core/Crypto.h"
#include "platform/WaylandClipboard.h"
#include "send/JobTextComposer.h"
#include "support/AgentProcess.h"
#include "support/CupsJobs.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

using namespace std::chrono_literals;

// The Wayland clipboard against a real compositor with data control, with wl-copy and wl-paste
// as the other programs: the private headless sway that testenv.sh names in
// ZELBRIN_WAYLAND_DISPLAY, or else the one in WAYLAND_DISPLAY.
namespace {

constexpr std::size_t kLimit = std::size_t{1} << 20;

class WaylandClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QByteArray display = qEnvironmentVariableIsEmpty("ZELBRIN_WAYLAND_DISPLAY")
                                   ? qgetenv("WAYLAND_DISPLAY")
                                   : qgetenv("ZELBRIN_WAYLAND_DISPLAY");
    if (display.isEmpty()) {
      GTEST_SKIP() << "no Wayland display: "
                   << qEnvironmentVariable(
                          "ZELBRIN_WAYLAND_SKIP",
                          "neither ZELBRIN_WAYLAND_DISPLAY nor WAYLAND_DISPLAY is set")
                          .toStdString();
    }
    // For the clipboard and for wl-copy and wl-paste; the other tests keep to X11.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) previous_ = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", display);
    clipboard_ = WaylandClipboard::connect(kLimit, 300ms);
    ASSERT_TRUE(clipboard_) << "the compositor offers no data control";
    clipboard_->onChangedByOthers([this] { ++notices_; });
  }
  void TearDown() override {
    for (const auto& owner : owners_) {
      owner->kill();
      owner->waitForFinished();
    }
    if (previous_) {
      qputenv("WAYLAND_DISPLAY", *previous_);
    } else {
      qunsetenv("WAYLAND_DISPLAY");
    }
  }

  // wl-copy takes the clipboard and serves it until the test ends.
  void copy(const QStringList& arguments, const QByteArray& input = {},
            const QString& path = qEnvironmentVariable("PATH")) {
    const std::uint64_t taken = clipboard_->takenByOthers();
    auto& process = owners_.emplace_back(std::make_unique<QProcess>());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", path);
    process->setProcessEnvironment(environment);
    process->start("wl-copy", QStringList{"--foreground"} + arguments);
    process->write(input);
    process->closeWriteChannel();
    ASSERT_TRUE(waitFor([&] { return clipboard_->takenByOthers() == taken + 1; }, 5s));
  }

  std::string paste() {
    QProcess process;
    process.start("wl-paste", {"--no-newline"});
    // Our own event loop serves what wl-paste asks for.
    waitFor([&] { return process.state() == QProcess::NotRunning; }, 5s);
    return process.readAllStandardOutput().toStdString();
  }

  Clipboard::Content readThrough() {
    Clipboard::Content content;
    waitFor([&] { return (content = clipboard_->read()).answered; }, 20s);
    return content;
  }

  std::optional<QByteArray> previous_;
  std::unique_ptr<WaylandClipboard> clipboard_;
  int notices_ = 0;
  std::vector<std::unique_ptr<QProcess>> owners_;
};

TEST_F(WaylandClipboardTest, AnotherProgramsTextIsReadWithoutWaitingAndAnnounced) {
  const std::string text = "Zelbrin 1 ü job";
  copy({QString::fromStdString(text)});
  const int notices = notices_;
  const std::uint64_t generation = clipboard_->takenByOthers();
  EXPECT_FALSE(clipboard_->read().answered) << "the read waited for the owner";
  ASSERT_TRUE(waitFor([&] { return notices_ == notices + 1; }, 5s)) << "no notice of the text";
  const Clipboard::Content content = clipboard_->read();
  EXPECT_TRUE(content.answered);
  EXPECT_EQ(content.text, text);
  EXPECT_EQ(content.digest, Crypto::md5Hex(text));
  EXPECT_EQ(content.generation, generation);

  // Emptied by another program: taken all the same, and no text.
  copy({"--clear"});
  EXPECT_EQ(readThrough().text, std::nullopt);
}

// A reply is what the other programs paste, and is never taken for another program's doing.
TEST_F(WaylandClipboardTest, OurRepliesAreWhatOthersPaste) {
  copy({"a job"});
  const std::uint64_t taken = clipboard_->takenByOthers();
  const std::uint64_t changes = clipboard_->changeCount();
  clipboard_->setText(" ");
  EXPECT_EQ(paste(), " ");
  EXPECT_EQ(readThrough().text, " ");
  clipboard_->clear();
  EXPECT_EQ(paste(), "");
  EXPECT_EQ(clipboard_->takenByOthers(), taken);
  EXPECT_GT(clipboard_->changeCount(), changes);
}

// wl-copy keeps its input in a file and serves each paste with `cat FILE`: a `cat` of our own
// makes it an owner that sends without end, or one that holds the pipe open for a second when
// the file says "held".
TEST_F(WaylandClipboardTest, AnEndlessOwnerStopsAtTheLimitAndAStuckOneIsReported) {
  QTemporaryDir bin;
  std::ofstream(bin.filePath("cat").toStdString()) << "#!/bin/sh\n"
                                                      "[ $# -eq 0 ] && exec /bin/cat\n"
                                                      "grep -q held \"$1\" && exec sleep 1\n"
                                                      "exec yes\n";
  QFile::setPermissions(bin.filePath("cat"), QFileDevice::ExeOwner | QFileDevice::ReadOwner);
  const QString path = bin.path() + ":" + qEnvironmentVariable("PATH");

  copy({}, "endless", path);
  const Clipboard::Content endless = readThrough();
  EXPECT_TRUE(endless.answered && !endless.text) << "read past the limit";

  copy({}, "held", path);
  int stuck = 0;
  Clipboard::Content held;
  waitFor([&] { return (held = clipboard_->read(), stuck += held.ownerStuck, held.answered); }, 5s);
  EXPECT_EQ(stuck, 1);
  EXPECT_EQ(held.text, "");
}

// Whether sway shows a window of that title, with the focus (sway lists a window's "focused" a
// few lines before its "name").
bool focusedInSway(const QString& wayland, const std::string& title) {
  const std::string tree = runCommand("SWAYSOCK=$(ls " + QFileInfo(wayland).path().toStdString() +
                                      "/sway-ipc.*.sock) swaymsg -t get_tree");
  const std::size_t name = tree.find("\"name\": \"" + title + "\"");
  const std::string focused = "\"focused\": true";
  return name != std::string::npos &&
         tree.compare(tree.rfind("\"focused\": ", name), focused.size(), focused) == 0;
}

// The real agent in the Wayland session, with Qt on either plugin: a job that a Wayland program,
// or an X11 program under XWayland, copies is printed, and that program sees the reply. sway
// hands X11's clipboard to Wayland and back only while an X11 window has the focus, as it has
// while the user works in an X11 remote-desktop client.
using Session = std::tuple<const char*, const char*>;  // Qt's plugin, the copying program's kind
class WaylandAgentTest : public ::testing::TestWithParam<Session> {};
INSTANTIATE_TEST_SUITE_P(Wayland, WaylandAgentTest,
                         ::testing::Combine(::testing::Values("wayland", "xcb"),
                                            ::testing::Values("wayland", "x11")));

TEST_P(WaylandAgentTest, AJobCopiedInTheSessionPrintsAndTheReplyComesBack) {
  const auto [platform, client] = GetParam();
  const QString wayland = qEnvironmentVariable("ZELBRIN_WAYLAND_DISPLAY");
  const QString x11 = qEnvironmentVariable("ZELBRIN_XWAYLAND_DISPLAY");
  if (wayland.isEmpty()) GTEST_SKIP() << qEnvironmentVariable("ZELBRIN_WAYLAND_SKIP").toStdString();
  QProcessEnvironment session = QProcessEnvironment::systemEnvironment();
  session.insert("WAYLAND_DISPLAY", wayland);
  session.insert("DISPLAY", x11);
  const auto run = [&](QProcess& process, const QString& program, const QStringList& arguments) {
    process.setProcessEnvironment(session);
    process.start(program, arguments);
  };
  const bool fromX11 = std::string(client) == "x11";
  QProcess focus;  // an X11 window, which sway gives the focus
  if (fromX11) {
    run(focus, "xmessage", {"the remote-desktop window"});
    ASSERT_TRUE(waitFor([&] { return focusedInSway(wayland, "xmessage"); }, 10s));
  }
  const TempFolder home;
  AgentProcess agent(ZELBRIN_CLIENT_PATH, home.path(), {},
                     {"WAYLAND_DISPLAY=" + wayland.toStdString(),
                      "DISPLAY=" + x11.toStdString(), std::string("QT_QPA_PLATFORM=") + platform});
  ASSERT_TRUE(waitFor(
      [&] { return agent.standardError().find("clipboard: Wayland data control") !=
                   std::string::npos; },
      10s))
      << agent.standardError();
  const int before = CupsJobs::newest();
  JobTextComposer::Job job;
  job.document = makePdf(300, 400);
  QProcess owner;
  if (fromX11) {
    run(owner, "xclip", {"-selection", "clipboard", "-i", "-quiet"});
  } else {
    run(owner, "wl-copy", {"--foreground"});
  }
  owner.write(QByteArray::fromStdString(
      JobTextComposer::compose(job, JobTextComposer::Channel::Clipboard)));
  owner.closeWriteChannel();
  EXPECT_TRUE(waitFor([&] { return CupsJobs::newest() > before; }, 15s)) << agent.standardError();
  // The reply follows the submission: an empty clipboard, as the copying program sees it.
  std::string pasted;
  EXPECT_TRUE(waitFor(
      [&] {
        QProcess paste;
        if (fromX11) {
          run(paste, "xclip", {"-selection", "clipboard", "-o"});
        } else {
          run(paste, "wl-paste", {"--no-newline"});
        }
        paste.waitForFinished(5000);
        pasted = paste.readAllStandardOutput().toStdString();
        return paste.exitCode() == 0 && pasted.empty();
      },
      5s))
      << pasted.substr(0, 40);
  for (QProcess* process : {&owner, &focus}) {
    process->kill();
    process->waitForFinished();
  }
}

// The printer prompt comes up in the Wayland session on either plugin, with the focus, while
// the user works in another window.
class WaylandPromptTest : public ::testing::TestWithParam<const char*> {};
INSTANTIATE_TEST_SUITE_P(Wayland, WaylandPromptTest, ::testing::Values("wayland", "xcb"));

TEST_P(WaylandPromptTest, ThePromptComesUpFocused) {
  const QString wayland = qEnvironmentVariable("ZELBRIN_WAYLAND_DISPLAY");
  if (wayland.isEmpty()) GTEST_SKIP() << qEnvironmentVariable("ZELBRIN_WAYLAND_SKIP").toStdString();
  const QString x11 = qEnvironmentVariable("ZELBRIN_XWAYLAND_DISPLAY");
  const TempFolder home;
  AgentProcess agent(ZELBRIN_CLIENT_PATH, home.path(), {},
                     {"WAYLAND_DISPLAY=" + wayland.toStdString(), "DISPLAY=" + x11.toStdString(),
                      std::string("QT_QPA_PLATFORM=") + GetParam()});
  ASSERT_TRUE(waitFor([&] { return agent.standardError().find("clipboard:") != std::string::npos; },
                      10s));
  // wl-copy serves from the background; its output must not keep the command's pipe open.
  runCommand("export WAYLAND_DISPLAY=" + wayland.toStdString() + "; " ZELBRIN_SEND_PATH
             " --print --command USERDEFINEDDRIVER --server-printer Dock --text raw"
             " | wl-copy >/dev/null 2>&1");
  EXPECT_TRUE(waitFor([&] { return focusedInSway(wayland, "Choose a Printer"); }, 10s))
      << agent.standardError();
}

}  // namespace
