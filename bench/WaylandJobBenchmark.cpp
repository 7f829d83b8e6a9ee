// zelbrin-wayland-job-benchmark: a 50 MB PDF job that a Wayland program (wl-copy) offers, carried
// out by the job monitor's tick through the Wayland clipboard and a private CUPS, against
// wl-paste reading the same text plus the submission alone; the tick's peak memory; and the CPU
// the job monitor spends while the same large text stays on the clipboard. Runs inside the
// private test environment (scripts/benchmark-wayland-job.sh starts it); prints figures,
// asserts nothing.

#include <cups/cups.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "MonitorHarness.h"
#include "config/TableViewControler.h"
#include "intake/PastboardController.h"
#include "platform/CupsPrintSystem.h"
#include "platform/InotifyFolderWatch.h"
#include "platform/QtTicker.h"
#include "platform/StandardPaths.h"
#include "platform/WaylandClipboard.h"
#include "send/JobTextComposer.h"
#include "support/Fakes.h"
#include "support/PdfSamples.h"

namespace {


double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Jobs the scheduler knows that are not finished yet; -1 when it cannot be asked.
int activeCupsJobs() {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
  cupsFreeJobs(std::max(count, 0), jobs);
  return count;
}

int newestCupsJob() {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
  int id = 0;
  for (int i = 0; i < count; ++i) id = std::max(id, jobs[i].id);
  cupsFreeJobs(std::max(count, 0), jobs);
  return id;
}

// The clipboard as the job monitor sees it, counting what it asks of it.
struct CountingClipboard final : Clipboard {
  explicit CountingClipboard(Clipboard& real) : real(real) {}
  Content read() override {
    ++reads;
    Content content = real.read();
    if (content.answered) ++answered;
    return content;
  }
  void clear() override { real.clear(); }
  void setText(const std::string& text) override { real.setText(text); }
  std::uint64_t changeCount() const override { return real.changeCount(); }
  std::uint64_t takenByOthers() override {
    ++ticks;  // once at the start of every tick
    return real.takenByOthers();
  }
  void onChangedByOthers(std::function<void()> onChange) override {
    real.onChangedByOthers(std::move(onChange));
  }
  Clipboard& real;
  int reads = 0;
  int answered = 0;
  int ticks = 0;
};


// The submission alone, in a fresh process as the agent's is: the PDF read from the file first.
int runSubmission(const char* pdfPath) {
  std::ifstream file(pdfPath, std::ios::binary);
  const std::string pdf((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  CupsPrintSystem cups;
  PrintOptions options;
  options.jobName = "benchmark.pdf";
  const auto start = Clock::now();
  const PrintSubmission submitted = cups.printPdf("", pdf, options, {});
  std::printf("SUBMIT_SECONDS %.4f\nSUBMITTED %d\n", secondsSince(start),
              submitted.submitted ? 1 : 0);
  return submitted.submitted ? 0 : 3;
}

// One tick of the job monitor on the job that another program offers: from the moment the tick
// asks for the text until the job is with CUPS and the reply is up.
int runAgentTick() {
  std::unique_ptr<WaylandClipboard> clipboard = WaylandClipboard::connect();
  if (!clipboard) return 2;
  FakeTicker ticker;
  FakeFolderWatch folderWatch;
  Monitor monitor(*clipboard, ticker, folderWatch);
  PastboardController& controller = monitor.controller;
  controller.getPasteboardContent();  // the clipboard's notice that the text is in makes a tick
  const int newestBefore = newestCupsJob();
  const double before = peakMegabytes();

  const auto start = Clock::now();
  controller.MonitorSharedFolder();  // asks for the text
  while (!ticker.pending && secondsSince(start) < 120) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const double textIn = secondsSince(start);
  ticker.runPending();  // takes the text and carries the job out
  const double tick = secondsSince(start);

  std::printf(
      "TICK_SECONDS %.4f\nTEXT_IN_SECONDS %.4f\nPEAK_MB %.1f\nPEAK_BEFORE_TICK_MB %.1f\n"
      "CUPS_JOBS %d\nDIALOGS %zu\nNOTICES %zu\n",
      tick, textIn, peakMegabytes(), before, newestCupsJob() - newestBefore,
      monitor.dialog.requests.size(), monitor.notifier.told.size());
  return 0;
}

void runEventLoopFor(std::chrono::milliseconds span) {
  QEventLoop loop;
  QTimer::singleShot(span, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

// The job monitor on its own timer, started on a clipboard whose large job it carried out in an
// earlier run (its digest is kept): the one look it takes at the start, then what the ticks cost
// while the text stays.
int runIdle(int seconds) {
  std::unique_ptr<WaylandClipboard> wayland = WaylandClipboard::connect();
  if (!wayland) return 2;
  CountingClipboard clipboard(*wayland);
  QtTicker ticker;
  InotifyFolderWatch folderWatch;
  Monitor monitor(clipboard, ticker, folderWatch);
  const int newestBefore = newestCupsJob();

  double cpu = cpuSeconds();
  auto start = Clock::now();
  monitor.controller.getPasteboardContent();
  monitor.controller.MonitorSharedFolder();  // the tick at start asks for the text
  while (clipboard.answered == 0 && secondsSince(start) < 120) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  const double firstLook = secondsSince(start);
  const double firstLookCpu = cpuSeconds() - cpu;

  const int reads = clipboard.reads;
  const int ticks = clipboard.ticks;
  cpu = cpuSeconds();
  start = Clock::now();
  runEventLoopFor(std::chrono::seconds(seconds));
  const double idleCpu = cpuSeconds() - cpu;
  const double idle = secondsSince(start);
  std::printf(
      "FIRST_LOOK_SECONDS %.4f\nFIRST_LOOK_CPU_SECONDS %.4f\nIDLE_SECONDS %.4f\n"
      "IDLE_CPU_SECONDS %.5f\nIDLE_TICKS %d\nIDLE_READS %d\nCUPS_JOBS %d\n",
      firstLook, firstLookCpu, idle, idleCpu, clipboard.ticks - ticks, clipboard.reads - reads,
      newestCupsJob() - newestBefore);
  return 0;
}

// ---------------------------------------------------------------- the parent

double valueOf(const QString& output, const QString& key) {
  for (const QString& line : output.split('\n')) {
    if (line.startsWith(key + ' ')) return line.mid(key.size() + 1).toDouble();
  }
  return -1;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? -1 : (values[(n - 1) / 2] + values[n / 2]) / 2;
}

void waitForCupsIdle() {
  // The capture backend of the last job would otherwise compete for the CPU with the next figure.
  const auto start = Clock::now();
  while (activeCupsJobs() > 0 && secondsSince(start) < 60) QThread::msleep(50);
}

bool clipboardOffersText() {
  QProcess types;
  types.start("wl-paste", {"--list-types"});
  types.waitForFinished(10000);
  return types.exitCode() == 0 &&
         types.readAllStandardOutput().split('\n').contains("text/plain;charset=utf-8");
}

// wl-copy takes the clipboard with the job text and serves it until another program takes it
// over (the agent's reply) or it is stopped.
bool offer(QProcess& owner, const QString& textPath) {
  QProcess::execute("wl-copy", {"--clear"});
  owner.setStandardInputFile(textPath);
  owner.setProcessChannelMode(QProcess::ForwardedChannels);
  owner.start("wl-copy", {"--foreground"});
  if (!owner.waitForStarted(10000)) return false;
  const auto start = Clock::now();
  while (!clipboardOffersText()) {
    if (secondsSince(start) > 60 || owner.state() == QProcess::NotRunning) return false;
    QThread::msleep(20);
  }
  return true;
}

void stop(QProcess& owner, int waitMs) {
  if (owner.state() != QProcess::NotRunning && !owner.waitForFinished(waitMs)) {
    owner.kill();
    owner.waitForFinished(5000);
  }
}

struct Child {
  int status;
  QString output;
};

Child runChild(const QString& home, const QStringList& arguments) {
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("HOME", home);
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(), arguments);
  if (!child.waitForFinished(300000)) child.kill();
  const QString output = QString::fromLocal8Bit(child.readAllStandardOutput());
  const int status = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
  return {status, output};
}

double wlPasteSeconds() {
  QProcess paste;
  paste.setStandardOutputFile(QProcess::nullDevice());
  const auto start = Clock::now();
  paste.start("wl-paste");
  paste.waitForFinished(120000);
  return secondsSince(start);
}

}  // namespace

int main(int argc, char* argv[]) {
  // Qt's own windowing plays no part: the clipboard keeps a Wayland connection of its own.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--submit" && argc > 2) return runSubmission(argv[2]);
  if (mode == "--agent") return runAgentTick();
  if (mode == "--idle") return runIdle(argc > 2 ? std::stoi(argv[2]) : 5);

  if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    if (qEnvironmentVariableIsEmpty("ZELBRIN_WAYLAND_DISPLAY")) {
      std::fprintf(stderr, "no Wayland display: %s\n",
                   qEnvironmentVariable("ZELBRIN_WAYLAND_SKIP", "WAYLAND_DISPLAY is not set")
                       .toLocal8Bit()
                       .constData());
      return 1;
    }
    qputenv("WAYLAND_DISPLAY", qgetenv("ZELBRIN_WAYLAND_DISPLAY"));
  }
  const std::size_t megabytes = argc > 1 ? std::stoul(argv[1]) : 50;
  const int rounds = argc > 2 ? std::stoi(argv[2]) : 3;
  const int idleSeconds = 5;

  QTemporaryDir folder;
  const QString pdfPath = folder.filePath("benchmark.pdf");
  const QString textPath = folder.filePath("job.txt");
  std::size_t textBytes = 0;
  {
    JobTextComposer::Job job;
    job.command = "ZelbrinDefault";
    job.documentName = "benchmark.pdf";
    job.document = makePdf(595, 842, megabytes * 1000 * 1000);
    job.collate = "true";
    job.copies = "1";
    std::ofstream(pdfPath.toStdString(), std::ios::binary)
        .write(job.document.data(), static_cast<long>(job.document.size()));
    const std::string text = JobTextComposer::compose(job, JobTextComposer::Channel::Clipboard);
    std::ofstream(textPath.toStdString(), std::ios::binary)
        .write(text.data(), static_cast<long>(text.size()));
    textBytes = text.size();
  }
  const double textMb = static_cast<double>(textBytes) / (1024.0 * 1024.0);

  std::printf(
      "A %zu MB PDF (job text %.1f MiB) from a Wayland program's clipboard to CUPS, %d "
      "rounds\n",
      megabytes, textMb, rounds);
  std::vector<double> pastes, submits, baselines, ticks, textIns, peaks, idles;
  for (int round = 0; round < rounds; ++round) {
    // A fresh home each round: the digest of the job carried out stays in it, and the same job
    // would not be carried out twice.
    const QString home = folder.filePath(QString("home-%1").arg(round));
    QDir().mkpath(home);
    QProcess owner;
    if (!offer(owner, textPath)) {
      std::fprintf(stderr, "wl-copy did not offer the job text\n");
      return 1;
    }
    waitForCupsIdle();
    const double paste = wlPasteSeconds();
    waitForCupsIdle();
    const Child submit = runChild(home, {"--submit", pdfPath});
    waitForCupsIdle();
    const Child agent = runChild(home, {"--agent"});
    stop(owner, 5000);  // the agent's reply has taken the clipboard over

    QProcess stillThere;
    if (!offer(stillThere, textPath)) {
      std::fprintf(stderr, "wl-copy did not offer the job text again\n");
      return 1;
    }
    waitForCupsIdle();
    const Child idle = runChild(home, {"--idle", QString::number(idleSeconds)});
    stop(stillThere, 0);
    if (submit.status != 0 || agent.status != 0 || idle.status != 0) {
      std::fprintf(stderr, "benchmark run failed (%d, %d, %d)\n", submit.status, agent.status,
                   idle.status);
      return 1;
    }

    pastes.push_back(paste);
    submits.push_back(valueOf(submit.output, "SUBMIT_SECONDS"));
    baselines.push_back(pastes.back() + submits.back());
    ticks.push_back(valueOf(agent.output, "TICK_SECONDS"));
    textIns.push_back(valueOf(agent.output, "TEXT_IN_SECONDS"));
    peaks.push_back(valueOf(agent.output, "PEAK_MB"));
    idles.push_back(valueOf(idle.output, "IDLE_CPU_SECONDS") /
                    valueOf(idle.output, "IDLE_SECONDS"));
    std::printf(
        "round %d: wl-paste %.1f ms + submission %.1f ms = %.1f ms; agent tick %.1f ms (text in "
        "after %.1f ms, CUPS jobs %.0f, dialogs %.0f, notices %.0f);\n"
        "         peak %.1f MiB (%.1f MiB before the tick)\n"
        "         idle: first look %.1f ms (%.1f ms CPU), then %.0f ticks in %.1f s: %.3f ms CPU, "
        "%.0f reads, %.0f CUPS jobs\n",
        round + 1, paste * 1000, submits.back() * 1000, baselines.back() * 1000,
        ticks.back() * 1000, textIns.back() * 1000, valueOf(agent.output, "CUPS_JOBS"),
        valueOf(agent.output, "DIALOGS"), valueOf(agent.output, "NOTICES"), peaks.back(),
        valueOf(agent.output, "PEAK_BEFORE_TICK_MB"),
        valueOf(idle.output, "FIRST_LOOK_SECONDS") * 1000,
        valueOf(idle.output, "FIRST_LOOK_CPU_SECONDS") * 1000, valueOf(idle.output, "IDLE_TICKS"),
        valueOf(idle.output, "IDLE_SECONDS"), valueOf(idle.output, "IDLE_CPU_SECONDS") * 1000,
        valueOf(idle.output, "IDLE_READS"), valueOf(idle.output, "CUPS_JOBS"));
    std::fflush(stdout);
  }

  const double baseline = median(baselines);
  const double tick = median(ticks);
  const double peak = median(peaks);
  std::printf(
      "wl-paste (median)                       %8.1f ms\n"
      "submission to CUPS alone (median)       %8.1f ms\n"
      "wl-paste + submission (median)          %8.1f ms\n"
      "agent tick (median)                     %8.1f ms (%.2f x wl-paste + submission; target "
      "<= 1.15)\n"
      "  of which the text coming in (median)  %8.1f ms\n",
      median(pastes) * 1000, median(submits) * 1000, baseline * 1000, tick * 1000, tick / baseline,
      median(textIns) * 1000);
  std::printf(
      "agent peak resident memory (median)     %8.1f MiB (%.2f x the %.1f MiB job text; target "
      "<= 2.5)\n",
      peak, peak / textMb, textMb);
  std::printf(
      "idle on the unchanged %.1f MiB clipboard  %8.3f ms CPU per second (median of rounds of "
      "%d s; target: no CPU)\n",
      textMb, median(idles) * 1000, idleSeconds);
  return 0;
}
