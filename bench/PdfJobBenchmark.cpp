// zelbrin-pdf-job-benchmark: a 50 MB PDF job from the X clipboard to a CUPS job, stage by stage,
// and the agent's peak memory for the same job. Runs inside the private test environment
// (scripts/benchmark-pdf-job.sh starts it); prints figures, asserts nothing.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "config/Log.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/JobText.h"
#include "documents/DocumentCommands.h"
#include "documents/OpenPrintJob.h"
#include "documents/ServerLogin.h"
#include "intake/MD5HashCompare.h"
#include "intake/PastboardController.h"
#include "intake/PrintJobProcess.h"
#include "platform/CupsPrintSystem.h"
#include "platform/QtClipboard.h"
#include "platform/QtFileTypes.h"
#include "platform/StandardPaths.h"
#include "ports/CheckBox.h"
#include "printing/JobValues.h"
#include "printing/PdfDocument.h"
#include "printing/PrinterProcess.h"
#include "printing/WindowsDriverPrint.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double peakMegabytes() {
  // This process image's own high-water mark. getrusage's would also count the pages of the
  // parent that started us, which the kernel carries across exec.
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

// Waits until the clipboard's owner offers a job text, without transferring it.
bool waitForJobOnClipboard() {
  const auto start = Clock::now();
  while (secondsSince(start) < 30) {
    QCoreApplication::processEvents();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data != nullptr && data->hasText() && !QGuiApplication::clipboard()->ownsClipboard()) {
      return true;
    }
    QThread::msleep(20);
  }
  return false;
}

void report(const char* stage, double seconds, double bytes) {
  std::printf("  %-34s %8.1f ms  %8.0f MB/s\n", stage, seconds * 1000, bytes / seconds / 1e6);
}

// The work without the agent around it: each stage timed on its own.
int runStages() {
  if (!waitForJobOnClipboard()) return 2;
  QtClipboard clipboard;
  auto start = Clock::now();
  const std::optional<std::string> text = clipboard.read().text;
  const double read = secondsSince(start);
  if (!text || !JobText::hasSeparator(*text)) return 3;
  const double peakAfterRead = peakMegabytes();

  start = Clock::now();
  const std::string digest = Crypto::md5Hex(*text);
  const double md5 = secondsSince(start);

  const auto fields = JobText::fieldView(*text);
  start = Clock::now();
  const std::string pdf = Base64::dataFromBase64String(fields[5]);
  const double decode = secondsSince(start);

  start = Clock::now();
  const bool readable = PdfDocument::read(pdf).readable;
  const double validate = secondsSince(start);

  CupsPrintSystem cups;
  PrintOptions options;
  options.jobName = "benchmark.pdf";
  start = Clock::now();
  const PrintSubmission submitted = cups.printPdf("", pdf, options, {});
  const double submit = secondsSince(start);

  std::printf("job text %.1f MB, document %.1f MB, digest %s, page %s, CUPS job %d%s\n",
              text->size() / 1e6, pdf.size() / 1e6, digest.c_str(),
              readable ? "read" : "UNREADABLE", submitted.jobId,
              submitted.submitted ? "" : " NOT SUBMITTED");
  report("clipboard read (X transfer)", read, static_cast<double>(text->size()));
  report("digest (MD5)", md5, static_cast<double>(text->size()));
  report("decode (Base64)", decode, static_cast<double>(fields[5].size()));
  report("validation (qpdf, page 1)", validate, static_cast<double>(pdf.size()));
  report("submission to CUPS", submit, static_cast<double>(pdf.size()));
  std::printf("  peak resident memory after the clipboard read: %.1f MB\n", peakAfterRead);
  std::printf("BASELINE_SECONDS %.4f\n", read + submit);
  clipboard.setText("");  // lets the sender go
  return 0;
}

// The same job through the agent's own tick, as it runs in zelbrin-client.
int runAgentTick() {
  if (!waitForJobOnClipboard()) return 2;
  StandardPaths paths;
  XMLUtil util(paths);
  TableViewControler settings(paths, util);
  settings.WriteSettings(TableViewControler::kDialog, "0");
  QtClipboard clipboard;
  CupsPrintSystem cups;
  ScriptedPrintDialog dialog;  // never shown: the default-printer job runs without it
  RecordingProgress progress;
  RecordingWorkspace workspace;
  FakeTicker ticker;
  JobValues job;
  PrinterProcess printer({cups, dialog, progress, paths});
  WindowsDriverPrint raw(cups, paths);
  ScriptedPrompt prompt;
  ScriptedSavePanel savePanel;
  NoShares shares;
  ServerLogin login;
  QtFileTypes fileTypes;
  DocumentCommands documents(savePanel, workspace, fileTypes, paths);
  SavePrintJob saver(documents);
  OpenPrintJob opener({documents, shares, paths, login});
  Log log(paths);
  PrintJobProcess folderJobs({cups, log, MD5HashCompare::sharedInstance(), printer, saver, opener});
  RecordingNotifier notifier;
  FakeProcess process;
  process.state = LoginItems::State::On;  // a benchmark adds no login item
  FakeFolderWatch folderWatch;
  PastboardController controller({clipboard, paths, cups, ticker, folderWatch, folderJobs, job,
                                  printer, raw, workspace, prompt, documents, util, settings,
                                  notifier, process, process});

  const double before = peakMegabytes();
  const auto start = Clock::now();
  controller.MonitorSharedFolder();
  const double tick = secondsSince(start);
  std::printf("TICK_SECONDS %.4f\nPEAK_MB %.1f\nPEAK_BEFORE_TICK_MB %.1f\nDIALOGS %zu\n", tick,
              peakMegabytes(), before, dialog.requests.size());
  return 0;
}

struct Child {
  int status;
  QString output;
};

Child runChild(const QString& self, const QString& mode, const QString& sender,
               const QString& pdfPath) {
  QProcess send;
  send.start(sender, {"--clipboard", "--command", "ZelbrinDefault", "--file", pdfPath, "--collate",
                      "true", "--copies", "1", "--timeout", "120"});
  send.waitForStarted();
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(self, {mode});
  child.waitForFinished(300000);
  send.waitForFinished(10000);
  if (send.state() != QProcess::NotRunning) send.kill();
  return {child.exitCode(), QString::fromLocal8Bit(child.readAllStandardOutput())};
}

double valueOf(const QString& output, const QString& key) {
  for (const QString& line : output.split('\n')) {
    if (line.startsWith(key + ' ')) return line.mid(key.size() + 1).toDouble();
  }
  return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (mode == "--stages") return runStages();
  if (mode == "--agent") return runAgentTick();

  const std::size_t megabytes = argc > 1 ? std::stoul(argv[1]) : 50;
  QTemporaryDir folder;
  const QString pdfPath = folder.filePath("benchmark.pdf");
  {
    const std::string pdf = makePdf(595, 842, megabytes * 1000 * 1000);
    std::ofstream(pdfPath.toStdString(), std::ios::binary)
        .write(pdf.data(), static_cast<long>(pdf.size()));
  }
  const QString self = QCoreApplication::applicationFilePath();
  const QString sender = QDir(QCoreApplication::applicationDirPath()).filePath("zelbrin-send");

  std::printf("A %zu MB PDF from the X clipboard to CUPS\n", megabytes);
  const Child stages = runChild(self, "--stages", sender, pdfPath);
  std::fputs(stages.output.toLocal8Bit().constData(), stdout);
  const Child agent = runChild(self, "--agent", sender, pdfPath);
  if (stages.status != 0 || agent.status != 0) {
    std::fprintf(stderr, "benchmark run failed (%d, %d)\n", stages.status, agent.status);
    return 1;
  }
  const double baseline = valueOf(stages.output, "BASELINE_SECONDS");
  const double tick = valueOf(agent.output, "TICK_SECONDS");
  const double peak = valueOf(agent.output, "PEAK_MB");
  const double textMb = static_cast<double>(megabytes) * 4.0 / 3.0;
  std::printf(
      "agent tick                           %8.1f ms (%.2f x clipboard read + submission; target "
      "<= 1.5)\n",
      tick * 1000, tick / baseline);
  std::printf(
      "agent peak resident memory           %8.1f MB (%.2f x the %.0f MB job text; target <= 3)\n",
      peak, peak / textMb, textMb);
  return 0;
}
