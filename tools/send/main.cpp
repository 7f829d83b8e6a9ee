// zelbrin-send: puts a job text on the clipboard or into the redirected folder, the way the
// session side does, so that the agent can be tried and tested without a remote session.

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "core/Diagnostics.h"
#include "send/JobTextComposer.h"

namespace {

// Remembers who owns CLIPBOARD right after we took it, and tells when that changes.
class ClipboardOwnerWatch {
 public:
  ClipboardOwnerWatch() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_) != 0) return;
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
    if (atom != nullptr) {
      clipboard_ = atom->atom;
      std::free(atom);
    }
  }
  // Once we have taken the clipboard.
  void taken() { first_ = current(); }
  ~ClipboardOwnerWatch() { xcb_disconnect(connection_); }
  ClipboardOwnerWatch(const ClipboardOwnerWatch&) = delete;
  ClipboardOwnerWatch& operator=(const ClipboardOwnerWatch&) = delete;

  bool changed() { return clipboard_ != XCB_ATOM_NONE && current() != first_; }

  xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_,
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
  }

 private:
  xcb_window_t current() {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, clipboard_), nullptr);
    const xcb_window_t owner = reply != nullptr ? reply->owner : XCB_NONE;
    std::free(reply);
    return owner;
  }

  xcb_connection_t* connection_;
  xcb_atom_t clipboard_ = XCB_ATOM_NONE;
  xcb_window_t first_ = XCB_NONE;
};

// Notices another program reading the text we offer: a request for it, and the property changes
// of a large transfer in pieces. Seen before Qt answers them.
class ReadWatch final : public QAbstractNativeEventFilter {
 public:
  // A request for the list of targets alone (a clipboard manager looking) is no read.
  explicit ReadWatch(xcb_atom_t targets) : targets_(targets) {}

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t kind = event->response_type & 0x7f;
    if (kind == XCB_SELECTION_REQUEST &&
        reinterpret_cast<const xcb_selection_request_event_t*>(event)->target != targets_) {
      requested_ = true;
      last_ = Clock::now();
    } else if (kind == XCB_PROPERTY_NOTIFY && requested_) {
      last_ = Clock::now();
    }
    return false;
  }
  // Someone asked, and the transfer has been quiet for a moment since.
  bool readAndQuiet() const {
    return requested_ && Clock::now() - last_ > std::chrono::milliseconds(500);
  }

 private:
  using Clock = std::chrono::steady_clock;
  xcb_atom_t targets_;
  bool requested_ = false;
  Clock::time_point last_;
};

int fail(const std::string& message) {
  Diagnostics::error() << message;
  return 1;
}

bool writeWhole(const std::filesystem::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[]) {
  Diagnostics::setProgramName("zelbrin-send");
  // Qt would take options such as --name for itself: it gets none of ours.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  int qtArgc = 1;

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Sends a job text to zelbrin-client."));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption clipboard(
      QStringLiteral("clipboard"), QStringLiteral("Put the job on the clipboard and keep it there "
                                                  "until another program takes the clipboard."));
  const QCommandLineOption folder(QStringLiteral("folder"),
                                  QStringLiteral("Write pjob.data, then the pjobd.data marker."));
  const QCommandLineOption print(QStringLiteral("print"),
                                 QStringLiteral("Write the job text to standard output."));
  const QCommandLineOption command(QStringLiteral("command"), QStringLiteral("Command keyword."),
                                   QStringLiteral("name"), QStringLiteral("ZelbrinDefault"));
  const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("Document to send."),
                                QStringLiteral("path"));
  const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Document content."),
                                QStringLiteral("text"));
  const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Document name."),
                                QStringLiteral("name"));
  const QCommandLineOption tray(QStringLiteral("tray"), QStringLiteral("Tray value."),
                                QStringLiteral("tray"), QStringLiteral("Default"));
  const QCommandLineOption duplex(QStringLiteral("duplex"), QStringLiteral("Duplex value."),
                                  QStringLiteral("duplex"), QStringLiteral("NONE"));
  const QCommandLineOption color(QStringLiteral("color"), QStringLiteral("Colour value."),
                                 QStringLiteral("color"), QStringLiteral("Color"));
  const QCommandLineOption collate(QStringLiteral("collate"), QStringLiteral("Collate value."),
                                   QStringLiteral("true|false"));
  const QCommandLineOption copies(QStringLiteral("copies"),
                                  QStringLiteral("Copies (needs --collate)."), QStringLiteral("n"));
  const QCommandLineOption serverPrinter(QStringLiteral("server-printer"),
                                         QStringLiteral("Server printer of a user-defined job."),
                                         QStringLiteral("name"), QStringLiteral("Server Printer"));
  const QCommandLineOption noSettings(QStringLiteral("no-settings"),
                                      QStringLiteral("Leave the settings block out (clipboard)."));
  const QCommandLineOption documents(QStringLiteral("documents"),
                                     QStringLiteral("Documents folder (default: the user's)."),
                                     QStringLiteral("path"));
  const QCommandLineOption timeout(QStringLiteral("timeout"),
                                   QStringLiteral("Seconds to keep the clipboard (default 60)."),
                                   QStringLiteral("s"), QStringLiteral("60"));
  parser.addOptions({clipboard, folder, print, command, file, text, name, tray, duplex, color,
                     collate, copies, serverPrinter, noSettings, documents, timeout});
  // Before Qt starts, so that a wrong option is refused and --help answered without a display.
  const bool parsed = parser.parse(arguments);
  const bool helpAsked = parsed && (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")));
  if (!parsed || helpAsked || !parser.positionalArguments().isEmpty()) {
    const QCoreApplication plain(qtArgc, argv);  // the usage names the program from it
    if (helpAsked) {
      std::fputs(qPrintable(parser.helpText()), stdout);
      return 0;
    }
    Diagnostics::error() << (parsed ? "unexpected argument \"" +
                                          parser.positionalArguments().constFirst().toStdString() +
                                          "\""
                                    : parser.errorText().toStdString());
    std::fputs(qPrintable(parser.helpText()), stderr);
    return 2;
  }

  // The clipboard needs a display connection; --print and --folder work without one.
  if (!parser.isSet(clipboard) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(qtArgc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zelbrin-send"));

  JobTextComposer::Job job;
  job.command = parser.value(command).toStdString();
  job.tray = parser.value(tray).toStdString();
  job.duplex = parser.value(duplex).toStdString();
  job.color = parser.value(color).toStdString();
  job.serverPrinter = parser.value(serverPrinter).toStdString();
  job.withSettingsBlock = !parser.isSet(noSettings);
  if (parser.isSet(collate)) job.collate = parser.value(collate).toStdString();
  if (parser.isSet(copies)) job.copies = parser.value(copies).toStdString();
  if (parser.isSet(file)) {
    const std::string path = parser.value(file).toStdString();
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot read " + path);
    job.document.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    job.documentName = std::filesystem::path(path).filename().string();
  } else if (parser.isSet(text)) {
    job.document = parser.value(text).toStdString();
  }
  if (parser.isSet(name)) job.documentName = parser.value(name).toStdString();

  const int channels =
      int(parser.isSet(clipboard)) + int(parser.isSet(folder)) + int(parser.isSet(print));
  if (channels != 1) return fail("choose one of --clipboard, --folder or --print");

  if (parser.isSet(print)) {
    const std::string jobText = JobTextComposer::compose(job, JobTextComposer::Channel::Folder);
    std::fwrite(jobText.data(), 1, jobText.size(), stdout);
    return 0;
  }

  if (parser.isSet(folder)) {
    const std::string jobText = JobTextComposer::compose(job, JobTextComposer::Channel::Folder);
    const std::filesystem::path base =
        parser.isSet(documents)
            ? parser.value(documents).toStdString()
            : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    const std::filesystem::path drive = base / "ZbDataDrive";
    std::error_code error;
    std::filesystem::create_directories(drive, error);
    // The job file must be complete before the marker says it is ready.
    const std::filesystem::path partial = drive / ".pjob.data.partial";
    if (!writeWhole(partial, jobText)) return fail("cannot write " + partial.string());
    std::filesystem::rename(partial, drive / "pjob.data", error);
    if (error) return fail("cannot write " + (drive / "pjob.data").string());
    if (!writeWhole(drive / "pjobd.data", "")) return fail("cannot write the ready marker");
    std::cout << "job written to " << (drive / "pjob.data").string() << '\n';
    return 0;
  }

  const std::string jobText = JobTextComposer::compose(job, JobTextComposer::Channel::Clipboard);
  // On X11 the text lives in this process: stay until another program (the agent's reply)
  // takes the clipboard over, or the time runs out. Qt may ignore the selection-clear event
  // when the new owner's timestamp looks older than ours, so the X server itself is asked who
  // owns the clipboard. Reads are watched from before the text is offered: one that comes at
  // once must count.
  ClipboardOwnerWatch owner;
  ReadWatch reads(owner.atom("TARGETS"));
  app.installNativeEventFilter(&reads);
  QClipboard* board = QGuiApplication::clipboard();
  board->setText(QString::fromStdString(jobText), QClipboard::Clipboard);
  QCoreApplication::processEvents();
  owner.taken();
  // Raw printer data and unknown commands are carried out without a reply: for those, a
  // finished read is all there is to wait for.
  const bool replies = JobTextComposer::agentRepliesOnClipboard(job.command);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &app, [&owner, &reads, replies] {
    if (owner.changed()) QCoreApplication::exit(0);
    if (!replies && reads.readAndQuiet()) {
      std::cout << "job handed over (this command leaves the clipboard as it is)\n";
      QCoreApplication::exit(0);
    }
  });
  poll.start(100);
  QTimer::singleShot(parser.value(timeout).toInt() * 1000, &app, [] {
    Diagnostics::error() << "nobody took the job off the clipboard";
    QCoreApplication::exit(2);
  });
  return QGuiApplication::exec();
}
