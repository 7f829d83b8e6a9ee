#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "intake/PrintJobProcess.h"
#include "ports/Clipboard.h"
#include "ports/Paths.h"
#include "ports/PrintDialog.h"
#include "ports/PrintSystem.h"
#include "ports/PrinterPrompt.h"
#include "ports/SavePanel.h"
#include "ports/Ticker.h"
#include "ports/Workspace.h"

// An in-memory clipboard: what another program puts there, and our own writes in order.
class FakeClipboard final : public Clipboard {
 public:
  Content read() override {
    ++reads;
    if (unansweredReads == 0) return {true, content};
    --unansweredReads;
    return {false, std::nullopt};
  }
  void clear() override { write(std::nullopt); }
  void setText(const std::string& text) override { write(text); }
  std::uint64_t changeCount() const override { return changes; }
  void put(std::optional<std::string> text) {
    content = std::move(text);
    ++changes;
  }

  std::optional<std::string> content;
  std::uint64_t changes = 0;
  int reads = 0;
  int unansweredReads = 0;  // the next reads that get no answer, as from an owner too slow
  std::vector<std::optional<std::string>> history;

 private:
  void write(std::optional<std::string> text) {
    put(text);
    history.push_back(std::move(text));
  }
};

class FakeTicker final : public Ticker {
 public:
  void start(std::chrono::milliseconds every, std::function<void()> onTick) override {
    interval = every;
    callback = std::move(onTick);
  }
  void fire() { callback(); }
  std::chrono::milliseconds interval{0};
  std::function<void()> callback;
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

class RecordingFolderJobs final : public PrintJobProcess {
 public:
  void PreProcessDocumentZelbrin(std::string_view text) override {
    received.emplace_back(text);
    if (duringJob) duringJob();
  }
  std::vector<std::string> received;
  std::function<void()> duringJob;  // runs inside the job, as a modal window's event loop would
};

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
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs the scope as an ordinary user when the tests run as root, for whom no folder is read-only.
class AsUnprivilegedUser {
 public:
  AsUnprivilegedUser() : wasRoot_(::geteuid() == 0) {
    if (wasRoot_ && ::seteuid(65534) != 0) std::perror("seteuid");
  }
  ~AsUnprivilegedUser() {
    if (wasRoot_ && ::seteuid(0) != 0) std::perror("seteuid");
  }
  AsUnprivilegedUser(const AsUnprivilegedUser&) = delete;
  AsUnprivilegedUser& operator=(const AsUnprivilegedUser&) = delete;

 private:
  bool wasRoot_;
};

inline std::string readFile(const std::filesystem::path& path) {
  std::stringstream content;
  content << std::ifstream(path, std::ios::binary).rdbuf();
  return content.str();
}

inline void writeFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(content.data(), content.size());
}

// A print system that records what would have gone to CUPS.
class RecordingPrintSystem final : public PrintSystem {
 public:
  struct PdfJob {
    std::string printer;
    std::string pdf;
    PrintOptions options;
  };
  struct RawJob {
    std::string printer;
    std::string bytes;
  };

  std::vector<std::string> printerNames() override {
    ++nameQueries;
    return printers;
  }
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
    if (rawResult == RawSubmission::Result::Submitted) rawJobs.push_back({printer, readFile(filePath)});
    RawSubmission result;
    result.result = rawResult;
    return result;
  }

  std::vector<std::string> printers{"Office Printer", "Label Printer"};
  std::optional<std::string> defaultName = "Office Printer";
  std::vector<std::string> rawRefusing;  // printers that do not take raw data
  RawSubmission::Result rawResult = RawSubmission::Result::Submitted;
  std::vector<PdfJob> pdfJobs;
  std::vector<RawJob> rawJobs;
  int nameQueries = 0;
};

// The print dialog, answered in advance like a user would: unchanged unless `answer` says.
class ScriptedPrintDialog final : public PrintDialog {
 public:
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

class RecordingProgress final : public ProgressIndicator {
 public:
  void begin(const std::string& label, std::size_t /*total*/) override { labels.push_back(label); }
  void advance(std::size_t done) override { last = done; }
  void end() override { ++ended; }
  std::vector<std::string> labels;
  std::size_t last = 0;
  int ended = 0;
};

class RecordingWorkspace final : public Workspace {
 public:
  void activateApplication() override { ++activations; }
  bool openFile(const std::string& path) override {
    openedFiles.push_back(path);
    return true;
  }
  bool openUrl(const std::string& url) override {
    openedUrls.push_back(url);
    return true;
  }
  int activations = 0;
  std::vector<std::string> openedFiles;
  std::vector<std::string> openedUrls;
};

// The printer prompt, answered in advance.
class ScriptedPrompt final : public PrinterPrompt {
 public:
  void setPrinters(const std::vector<std::string>& /*names*/) override {}
  void prepare(const std::string& serverPrinter,
               const std::optional<std::string>& preselected) override {
    askedFor = serverPrinter;
    this->preselected = preselected;
  }
  Answer run() override {
    ++runs;
    return answer;
  }
  Answer answer;
  std::string askedFor;
  std::optional<std::string> preselected;
  int runs = 0;
};

class ScriptedSavePanel final : public SavePanel {
 public:
  std::optional<std::string> run(const std::string& suggestedName) override {
    suggested.push_back(suggestedName);
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> suggested;
};
