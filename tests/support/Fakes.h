#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <utility>

#include "intake/PrintJobProcess.h"
#include "ports/Clipboard.h"
#include "ports/FolderWatch.h"
#include "ports/LoginItems.h"
#include "ports/Notifier.h"
#include "ports/Paths.h"
#include "ports/PrintDialog.h"
#include "ports/PrintSystem.h"
#include "ports/PrinterPrompt.h"
#include "ports/Process.h"
#include "ports/SavePanel.h"
#include "ports/Shares.h"
#include "ports/Ticker.h"
#include "ports/Workspace.h"

inline std::string readFile(const std::filesystem::path& path) {
  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

inline void writeFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(content.data(), content.size());
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelbrin-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class FixedPaths final : public Paths {
 public:
  explicit FixedPaths(std::filesystem::path home) : home_(std::move(home)) {}
  std::string documentsDirectory() const override { return (home_ / "Documents").string(); }
  std::string desktopDirectory() const override { return (home_ / "Desktop").string(); }
  std::optional<std::string> temporaryDirectory() const override {
    std::filesystem::create_directories(home_ / "tmp");
    return (home_ / "tmp").string() + "/";
  }

 private:
  std::filesystem::path home_;
};

// An in-memory clipboard: what another program puts there, and our own writes in order.
struct FakeClipboard final : Clipboard {
  Content read() override {
    ++reads;
    if (unansweredReads == 0) return {true, content, {}, othersTook};
    --unansweredReads;
    return {false, std::nullopt, {}, othersTook, std::exchange(ownerStuck, false)};
  }
  void clear() override { write(std::nullopt); }
  void setText(const std::string& text) override { write(text); }
  std::uint64_t changeCount() const override { return changes; }
  std::uint64_t takenByOthers() override { return othersTook; }
  void onChangedByOthers(std::function<void()> onChange) override { changed = std::move(onChange); }
  // Another program offers a text, and says so.
  void offer(std::optional<std::string> text) {
    put(std::move(text));
    if (changed) changed();
  }
  // Another program takes the clipboard without a notice reaching us.
  void put(std::optional<std::string> text) {
    content = std::move(text);
    ++changes;
    ++othersTook;
  }
  void write(const std::optional<std::string>& text) {
    content = text;
    ++changes;
    history.push_back(text);
  }

  std::optional<std::string> content;
  std::uint64_t changes = 0;
  std::uint64_t othersTook = 0;
  int reads = 0;
  int unansweredReads = 0;  // the next reads that get no answer, as from an owner too slow
  bool ownerStuck = false;  // the next unanswered read says the owner has not answered for long
  std::vector<std::optional<std::string>> history;
  std::function<void()> changed;
};

struct FakeTicker final : Ticker {
  void start(std::chrono::milliseconds every, std::function<void()> /*onTick*/) override {
    interval = every;
  }
  void soon(std::function<void()> once) override {
    ++soonCalls;
    if (!pending) pending = std::move(once);
  }
  // Runs what is due, as the event loop would a few milliseconds later; false when nothing is.
  bool runPending() {
    if (!pending) return false;
    const std::function<void()> once = std::exchange(pending, nullptr);
    once();
    return true;
  }
  std::chrono::milliseconds interval{0};
  std::function<void()> pending;
  int soonCalls = 0;
};

struct FakeFolderWatch final : FolderWatch {
  void watch(const std::string& folder, const std::string& fileName,
             std::function<void()> onAppeared) override {
    watched = folder + "/" + fileName;
    appeared = std::move(onAppeared);
  }
  std::string watched;
  std::function<void()> appeared;
};

// The real folder dispatcher, with a record of what it was given.
struct RecordingFolderJobs final : PrintJobProcess {
  using PrintJobProcess::PrintJobProcess;
  bool PreProcessDocumentZelbrin(std::string_view text) override {
    received.emplace_back(text);
    if (duringJob) duringJob();
    return PrintJobProcess::PreProcessDocumentZelbrin(text);
  }
  std::vector<std::string> received;
  std::function<void()> duringJob;  // runs inside the job, as a modal window's event loop would
};

// Shares are tried against a real Samba server and GVfs; here there are none.
struct NoShares final : Shares {
  std::optional<std::string> unavailable() override { return "no shares here"; }
  std::optional<std::string> mountedAt(const std::string&) override { return {}; }
  Mounting mount(const std::string&, const std::optional<ShareLogin>&) override { return {}; }
  std::optional<std::string> localFile(const std::string&, const std::string&) override {
    return {};
  }
};

// A print system that records what would have gone to CUPS.
struct RecordingPrintSystem final : PrintSystem {
  struct PdfJob {
    std::string printer;
    std::string pdf;
    PrintOptions options;
  };
  std::vector<std::string> printerNames() override {
    ++nameQueries;
    return down ? std::vector<std::string>{} : printers;
  }
  bool serviceAnswered() const override { return !down; }
  std::optional<std::string> defaultPrinter() override { return defaultName; }
  std::optional<std::vector<std::string>> inputSlots(const std::string& printer) override {
    if (printer != "Office Printer") return std::nullopt;
    return std::vector<std::string>{"Tray1", "Tray2", "Manual"};
  }
  PrintSubmission printPdf(const std::string& printer, std::string_view pdf,
                           const PrintOptions& options, const PrintProgress& progress) override {
    pdfJobs.push_back({printer, std::string(pdf), options});
    if (progress) progress(pdf.size(), pdf.size());
    return {true, static_cast<int>(pdfJobs.size()), ""};
  }
  bool acceptsRaw(const std::string& printer) override {
    return std::find(rawRefusing.begin(), rawRefusing.end(), printer) == rawRefusing.end();
  }
  RawSubmission printRaw(const std::string& printer, const std::string& filePath,
                         const std::string& /*jobName*/) override {
    RawSubmission result;
    result.result = std::find(printers.begin(), printers.end(), printer) == printers.end()
                        ? RawSubmission::Result::NotAPrinter
                        : rawResult;
    if (result.result == RawSubmission::Result::Submitted) rawJobs.push_back(readFile(filePath));
    rawFileModes.push_back(std::filesystem::status(filePath).permissions());
    return result;
  }

  std::vector<std::string> printers{"Office Printer", "Label Printer"};
  std::optional<std::string> defaultName = "Office Printer";
  std::vector<std::string> rawRefusing;  // printers that do not take raw data
  bool down = false;                     // CUPS stopped or frozen
  RawSubmission::Result rawResult = RawSubmission::Result::Submitted;
  std::vector<PdfJob> pdfJobs;
  std::vector<std::string> rawJobs;                  // the bytes of each
  std::vector<std::filesystem::perms> rawFileModes;  // of the file handed over, every time
  int nameQueries = 0;
};

// The print dialog, answered in advance like a user would: unchanged unless `answer` says.
struct ScriptedPrintDialog final : PrintDialog {
  std::optional<PrintDialogChoice> run(const PrintDialogRequest& request) override {
    requests.push_back(request);
    if (cancel) return std::nullopt;
    PrintDialogChoice choice;
    choice.printerName = request.printerName;
    choice.copies = request.copies;
    choice.collate = request.collate;
    choice.duplexMode = request.duplexMode;
    if (answer) answer(choice);
    return choice;
  }
  bool cancel = false;
  std::function<void(PrintDialogChoice&)> answer;
  std::vector<PrintDialogRequest> requests;
};

struct RecordingProgress final : ProgressIndicator {
  void begin(const UserText& /*label*/, std::size_t /*total*/) override {}
  void advance(std::size_t /*done*/) override {}
  void end() override {}
};

struct RecordingWorkspace final : Workspace {
  void activateApplication() override { ++activations; }
  bool openFile(const std::string& path) override { return (openedFiles.push_back(path), true); }
  bool openUrl(const std::string& url) override { return (openedUrls.push_back(url), true); }
  int activations = 0;
  std::vector<std::string> openedFiles;
  std::vector<std::string> openedUrls;
};

// The printer prompt and the save panel, answered in advance.
struct ScriptedPrompt final : PrinterPrompt {
  void setPrinters(const std::vector<std::string>& /*names*/) override {}
  void prepare(const std::string& server, const std::optional<std::string>& first) override {
    askedFor = server;
    preselected = first;
  }
  Answer run() override {
    ++runs;
    if (whileOpen) whileOpen();
    return answer;
  }
  Answer answer;
  std::function<void()> whileOpen;  // what happens on the computer while the user chooses
  std::string askedFor;
  std::optional<std::string> preselected;
  int runs = 0;
};

struct ScriptedSavePanel final : SavePanel {
  std::optional<std::string> run(const std::string& suggestedName) override {
    suggested.push_back(suggestedName);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> suggested;
};

struct RecordingNotifier final : Notifier {
  void notify(const Notice& notice) override {
    told.push_back(notice.text.english());
    notices.push_back(notice);
  }
  std::vector<std::string> told;
  std::vector<Notice> notices;
};

// The agent as a process, and its login items, as the job monitor sees them at start-up.
struct FakeProcess final : Process, LoginItems {
  std::string executablePath() const override { return "/opt/zelbrin/bin/zelbrin-client"; }
  bool relaunch() override { return (++relaunches, true); }
  State stateOf(const std::string& /*program*/) const override { return state; }
  bool set(const std::string& program, bool on) override {
    added.push_back(program);
    state = on ? State::On : State::Off;
    return true;
  }
  std::string folder() const override { return {}; }
  State state = State::Missing;
  std::vector<std::string> added;
  int relaunches = 0;
};
