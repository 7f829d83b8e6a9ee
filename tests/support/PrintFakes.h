#pragma once

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/PrintDialog.h"
#include "ports/PrintSystem.h"
#include "ports/PrinterPrompt.h"
#include "ports/SavePanel.h"
#include "ports/Workspace.h"
#include "support/Fakes.h"

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
