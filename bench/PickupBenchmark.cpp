// zelbrin-pickup-benchmark: how long the running agent takes from a job's hand-over until CUPS
// holds the job, for small "ZelbrinDefault" jobs on either carrier. The agent is started by
// scripts/benchmark-pickup.sh inside the private test environment; this program only hands jobs
// over and watches CUPS. Prints figures, judges none.
//
// Clipboard jobs are offered the way a remote-desktop client does (one window of its own that
// claims CLIPBOARD again for every text and answers on its own thread), so the measurement needs
// no event loop here and the clock starts once the X server shows the claim. Folder jobs are
// written as pjob.data and then the pjobd.data marker, each by rename, and the clock starts at
// the marker's rename. It stops when the scheduler lists a new job. The same documents are then
// given to `lp`, measured the same way, as the yardstick of a plain CUPS client.
//
// Beside the times it counts the agent's requests to CUPS per job (from the scheduler's access
// log, which the script has log every request; the benchmark's own Get-Jobs are left out), the
// agent's CPU time per job, and its CPU time while idle.

#include <cups/cups.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "send/JobTextComposer.h"
#include "support/PdfSamples.h"
#include "support/RemoteClipboardOwner.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// A job that has not reached CUPS by then counts as lost: the run failed.
constexpr auto kJobLimit = std::chrono::seconds(10);
// How often CUPS is asked; small against the figures, light on the scheduler.
constexpr auto kPollEvery = std::chrono::milliseconds(5);
// Between jobs: the agent's reply has settled, then a random part of a second so that the jobs
// do not always land at the same point of a periodic look.
constexpr auto kSettle = std::chrono::milliseconds(300);

struct Options {
  int jobs = 20;
  int warmUp = 1;
  fs::path documents;
  std::string agent = "(not named)";
  pid_t agentPid = 0;
  fs::path accessLog;  // the scheduler's, logging every request
  std::string lpPrinter = "zelbrin-raw";
  int idleSeconds = 10;
  unsigned seed = std::random_device{}();
};

[[noreturn]] void usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--jobs N] [--warm-up N] [--documents DIR] [--agent PATH] "
               "[--agent-pid PID] [--access-log FILE] [--lp-printer QUEUE] [--idle-seconds N] "
               "[--seed N]\n",
               self);
  std::exit(2);
}

Options parse(int argc, char* argv[]) {
  Options options;
  if (const char* home = std::getenv("HOME")) options.documents = fs::path(home) / "Documents";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") usage(argv[0]);
    if (i + 1 >= argc) usage(argv[0]);
    const std::string value = argv[++i];
    try {
      if (arg == "--jobs") {
        options.jobs = std::stoi(value);
      } else if (arg == "--warm-up") {
        options.warmUp = std::stoi(value);
      } else if (arg == "--documents") {
        options.documents = value;
      } else if (arg == "--agent") {
        options.agent = value;
      } else if (arg == "--agent-pid") {
        options.agentPid = static_cast<pid_t>(std::stol(value));
      } else if (arg == "--access-log") {
        options.accessLog = value;
      } else if (arg == "--lp-printer") {
        options.lpPrinter = value;
      } else if (arg == "--idle-seconds") {
        options.idleSeconds = std::stoi(value);
      } else if (arg == "--seed") {
        options.seed = static_cast<unsigned>(std::stoul(value));
      } else {
        usage(argv[0]);
      }
    } catch (const std::exception&) {
      usage(argv[0]);
    }
  }
  if (options.jobs < 1 || options.warmUp < 0 || options.documents.empty()) usage(argv[0]);
  return options;
}

// A one-page PDF whose page names the job, so that every job's document and digest differ (the
// agent drops a job equal to the previous one).
std::string pdfNamed(const std::string& label) {
  const std::string text = "BT /F1 24 Tf 72 720 Td (" + label + ") Tj ET";
  return pdfOf(
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      {"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 "
       "4 0 R >> >> /Contents 5 0 R >>",
       "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
       "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text + "\nendstream"});
}

// The highest job id the scheduler knows, completed jobs included; nothing when it cannot be
// asked. Only the ids are requested: this runs every few milliseconds beside the agent.
std::optional<int> newestJob() {
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               "job-id");
  ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");  // frees the request
  if (response == nullptr) return std::nullopt;
  const bool ok = ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
  int newest = 0;
  for (ipp_attribute_t* attr = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
       attr != nullptr; attr = ippFindNextAttribute(response, "job-id", IPP_TAG_INTEGER)) {
    newest = std::max(newest, ippGetInteger(attr, 0));
  }
  ippDelete(response);
  if (!ok) return std::nullopt;
  return newest;
}

// Who owns CLIPBOARD, asked of the X server itself.
class ClipboardOwner {
 public:
  ClipboardOwner() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_) != 0) return;
    const char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
    if (reply != nullptr) atom_ = reply->atom;
    std::free(reply);
  }
  ~ClipboardOwner() { xcb_disconnect(connection_); }
  ClipboardOwner(const ClipboardOwner&) = delete;
  ClipboardOwner& operator=(const ClipboardOwner&) = delete;

  bool usable() const { return atom_ != XCB_ATOM_NONE; }
  xcb_window_t now() {
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, atom_), nullptr);
    const xcb_window_t owner = reply != nullptr ? reply->owner : xcb_window_t{XCB_NONE};
    std::free(reply);
    return owner;
  }

 private:
  xcb_connection_t* connection_;
  xcb_atom_t atom_ = XCB_ATOM_NONE;
};

bool alive(pid_t pid) {
  if (pid <= 0) return true;  // not watched
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  // The state follows the command name, which may hold spaces and parentheses.
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// The process's CPU time (user and system) in milliseconds; nothing when it cannot be read.
std::optional<double> cpuMs(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // Fields 3 to 13 come before utime (14) and stime (15).
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Requests the scheduler logged since the last look, but for Get-Jobs (this benchmark's own
// polling; the agent sends none while it runs).
class AccessLog {
 public:
  explicit AccessLog(fs::path path) : path_(std::move(path)) {
    if (!path_.empty()) take();
  }
  bool usable() const { return !path_.empty() && fs::exists(path_); }
  int take() {
    std::ifstream log(path_);
    log.seekg(offset_);
    std::string line;
    int count = 0;
    while (std::getline(log, line)) {
      if (log.eof()) break;  // a line being written
      offset_ += static_cast<std::streamoff>(line.size() + 1);
      if (line.find(" Get-Jobs ") == std::string::npos) ++count;
    }
    return count;
  }

 private:
  fs::path path_;
  std::streamoff offset_ = 0;
};

bool writeByRename(const fs::path& target, const std::string& content) {
  const fs::path partial = target.parent_path() / ("." + target.filename().string() + ".partial");
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) return false;
  }
  std::error_code error;
  fs::rename(partial, target, error);
  return !error;
}

enum class Outcome { Printed, Lost, AgentGone, CupsGone };

struct Measurement {
  Outcome outcome;
  double ms = 0;
  int extraJobs = 0;  // further CUPS jobs that turned up before the next hand-over
  int requests = 0;   // requests to CUPS from the hand-over until the next one
};

class Run {
 public:
  explicit Run(const Options& options)
      : options_(options),
        random_(options.seed),
        drive_(options.documents / "ZbDataDrive"),
        log_(options.accessLog),
        lpFolder_(fs::temp_directory_path() / ("pickup-lp-" + std::to_string(::getpid()))) {
    fs::create_directories(lpFolder_);
  }
  ~Run() {
    std::error_code error;
    fs::remove_all(lpFolder_, error);
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  bool countsRequests() const { return log_.usable(); }
  AccessLog& log() { return log_; }

  // The same kind of document, given to lp; the clock starts as lp is started.
  Measurement lpJob(int number) {
    const fs::path file = lpFolder_ / ("pickup-lp-" + std::to_string(number) + ".pdf");
    char label[96];
    std::snprintf(label, sizeof label, "Pickup lp job %02d run %u", number, options_.seed);
    if (!writeByRename(file, pdfNamed(label))) return {Outcome::Lost};
    log_.take();
    const std::string name = file.filename().string();
    std::vector<std::string> args{"lp", "-s", "-d", options_.lpPrinter, "-t", name, file.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "lp", nullptr, nullptr, argv.data(), environ) != 0) {
      std::fprintf(stderr, "cannot start lp\n");
      return {Outcome::Lost};
    }
    Measurement m = untilCupsHasIt(t0, 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (m.outcome == Outcome::Printed) settle(m);
    m.requests = log_.take();
    return m;
  }

  bool start() {
    if (!owner_.usable()) {
      std::fprintf(stderr, "no X display to offer clipboard jobs on (DISPLAY=%s)\n",
                   std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
      return false;
    }
    const std::optional<int> newest = newestJob();
    if (!newest) {
      std::fprintf(stderr, "CUPS does not answer (CUPS_SERVER=%s): %s\n", cupsServer(),
                   cupsLastErrorString());
      return false;
    }
    lastJob_ = *newest;
    if (!fs::is_directory(drive_)) {
      std::fprintf(stderr, "no folder %s: is the agent running with this home folder?\n",
                   drive_.c_str());
      return false;
    }
    return true;
  }

  Measurement clipboardJob(int number) {
    const std::string text =
        JobTextComposer::compose(job("clipboard", number), JobTextComposer::Channel::Clipboard);
    log_.take();
    clipboard_.offer(text);  // returns once the X server shows the claim
    const auto t0 = Clock::now();
    const xcb_window_t ours = owner_.now();
    Measurement m = untilCupsHasIt(t0);
    if (m.outcome != Outcome::Printed) return m;
    // A ZelbrinDefault job is answered by the agent taking the clipboard over.
    if (!waitUntil([&] { return owner_.now() != ours; })) {
      std::fprintf(stderr, "clipboard hand-over %d: the agent did not take the clipboard over\n",
                   number + 1);
    }
    settle(m);
    m.requests = log_.take();
    return m;
  }

  Measurement folderJob(int number) {
    const std::string text =
        JobTextComposer::compose(job("folder", number), JobTextComposer::Channel::Folder);
    const fs::path data = drive_ / "pjob.data", marker = drive_ / "pjobd.data";
    log_.take();
    if (!writeByRename(data, text) || !writeByRename(marker, "")) {
      std::fprintf(stderr, "cannot write the job into %s\n", drive_.c_str());
      return {Outcome::Lost};
    }
    const auto t0 = Clock::now();
    Measurement m = untilCupsHasIt(t0);
    // The agent deletes both files once it is done with the job.
    const auto gone = [&] { return !fs::exists(data) && !fs::exists(marker); };
    if (!waitUntil(gone)) {
      std::fprintf(stderr, "folder hand-over %d: still in the folder after %lld s; removed\n",
                   number + 1, static_cast<long long>(kJobLimit.count()));
      std::error_code error;
      fs::remove(marker, error);
      fs::remove(data, error);
    }
    if (m.outcome == Outcome::Printed) settle(m);
    m.requests = log_.take();
    return m;
  }

 private:
  JobTextComposer::Job job(const char* carrier, int number) {
    char label[96];
    std::snprintf(label, sizeof label, "Pickup %s job %02d run %u", carrier, number, options_.seed);
    JobTextComposer::Job job;
    job.command = "ZelbrinDefault";
    job.document = pdfNamed(label);
    job.documentName = std::string("pickup-") + carrier + "-" + std::to_string(number) + ".pdf";
    return job;
  }

  // Polls until the condition holds or kJobLimit has passed; false when the agent ended.
  bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = Clock::now() + kJobLimit;
    while (!condition()) {
      if (Clock::now() >= deadline || !alive(options_.agentPid)) return false;
      std::this_thread::sleep_for(kPollEvery);
    }
    return true;
  }

  Measurement untilCupsHasIt(Clock::time_point t0, pid_t watched = -1) {
    if (watched < 0) watched = options_.agentPid;
    const auto deadline = t0 + kJobLimit;
    for (;;) {
      const std::optional<int> newest = newestJob();
      const auto now = Clock::now();
      if (!newest) return {Outcome::CupsGone};
      if (*newest > lastJob_) {
        const int jobs = *newest - lastJob_;
        lastJob_ = *newest;
        return {Outcome::Printed, Milliseconds(now - t0).count(), jobs - 1};
      }
      if (!alive(watched)) return {Outcome::AgentGone};
      if (now >= deadline) return {Outcome::Lost};
      std::this_thread::sleep_for(kPollEvery);
    }
  }

  // Lets a late second job show up (a job carried out twice), then waits a random phase.
  void settle(Measurement& m) {
    std::uniform_int_distribution<int> phase(0, 999);
    std::this_thread::sleep_for(kSettle + std::chrono::milliseconds(phase(random_)));
    if (const std::optional<int> newest = newestJob(); newest && *newest > lastJob_) {
      m.extraJobs += *newest - lastJob_;
      lastJob_ = *newest;
    }
  }

  const Options& options_;
  std::mt19937 random_;
  const fs::path drive_;
  RemoteClipboardOwner clipboard_;
  ClipboardOwner owner_;
  AccessLog log_;
  const fs::path lpFolder_;
  int lastJob_ = 0;
};

struct Figures {
  std::vector<double> ms;
  int lost = 0;
  int extraJobs = 0;
  int requests = 0;
  double cpuMs = 0;  // the agent's, over the measured jobs
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  const Options options = parse(argc, argv);
  std::printf("Pickup to CUPS of small ZelbrinDefault jobs\n");
  std::printf("  agent      %s\n", options.agent.c_str());
  std::printf("  jobs       %d per carrier after %d warm-up job(s); seed %u\n", options.jobs,
              options.warmUp, options.seed);
  if (std::ifstream load("/proc/loadavg"); load) {
    std::string line;
    std::getline(load, line);
    std::printf("  load       %s\n", line.c_str());
  }
  std::fflush(stdout);

  Run run(options);
  if (!run.start()) return 2;

  struct Carrier {
    const char* name;
    std::function<Measurement(int)> send;
    bool agent;  // the agent's CPU time counts for it
    Figures figures;
  };
  std::vector<Carrier> carriers{
      {"clipboard", [&run](int n) { return run.clipboardJob(n); }, true, {}},
      {"folder", [&run](int n) { return run.folderJob(n); }, true, {}},
      {"lp", [&run](int n) { return run.lpJob(n); }, false, {}}};
  for (Carrier& carrier : carriers) {
    std::optional<double> cpuBefore;
    for (int i = 0; i < options.warmUp + options.jobs; ++i) {
      const bool warmUp = i < options.warmUp;
      if (i == options.warmUp) cpuBefore = cpuMs(options.agentPid);
      char label[24];
      std::snprintf(label, sizeof label, warmUp ? "warm-up %d" : "job %2d",
                    warmUp ? i + 1 : i - options.warmUp + 1);
      const Measurement m = carrier.send(i);
      if (m.outcome == Outcome::AgentGone) {
        std::fprintf(stderr, "the agent ended during %s %s\n", carrier.name, label);
        return 2;
      }
      if (m.outcome == Outcome::CupsGone) {
        std::fprintf(stderr, "CUPS stopped answering during %s %s: %s\n", carrier.name, label,
                     cupsLastErrorString());
        return 2;
      }
      carrier.figures.extraJobs += m.extraJobs;
      if (!warmUp) carrier.figures.requests += m.requests;
      if (m.outcome == Outcome::Lost) {
        std::printf("  %-9s %-9s NOT IN CUPS after %lld s\n", carrier.name, label,
                    static_cast<long long>(kJobLimit.count()));
        if (!warmUp) ++carrier.figures.lost;
      } else {
        std::printf("  %-9s %-9s %7.1f ms  %2d requests%s\n", carrier.name, label, m.ms, m.requests,
                    m.extraJobs > 0 ? "  and a further CUPS job" : "");
        if (!warmUp) carrier.figures.ms.push_back(m.ms);
      }
      std::fflush(stdout);
    }
    const std::optional<double> cpuAfter = cpuMs(options.agentPid);
    if (carrier.agent && cpuBefore && cpuAfter) carrier.figures.cpuMs = *cpuAfter - *cpuBefore;
  }

  // The agent left alone: its CPU time and its requests while nothing happens.
  std::optional<double> idleCpu;
  int idleRequests = 0;
  if (options.idleSeconds > 0) {
    run.log().take();
    const std::optional<double> before = cpuMs(options.agentPid);
    std::this_thread::sleep_for(std::chrono::seconds(options.idleSeconds));
    const std::optional<double> after = cpuMs(options.agentPid);
    idleRequests = run.log().take();
    if (before && after) idleCpu = *after - *before;
  }

  const Figures& lp = carriers.back().figures;
  const double lpMedian = lp.ms.empty() ? 0.0 : median(lp.ms);
  std::printf("\n%-10s %5s %10s %10s %10s %8s %13s %16s\n", "carrier", "jobs", "median ms",
              "worst ms", "best ms", "x lp", "requests/job", "agent CPU ms/job");
  for (const Carrier& carrier : carriers) {
    const std::vector<double>& ms = carrier.figures.ms;
    if (ms.empty()) {
      std::printf("%-10s %5d %10s %10s %10s\n", carrier.name, 0, "-", "-", "-");
      continue;
    }
    const double jobs = static_cast<double>(ms.size());
    // Requests are counted where the access log could be read; CPU time is the agent's.
    std::printf("%-10s %5zu %10.1f %10.1f %10.1f %8.2f %13.2f %16.1f\n", carrier.name, ms.size(),
                median(ms), *std::max_element(ms.begin(), ms.end()),
                *std::min_element(ms.begin(), ms.end()), lpMedian > 0 ? median(ms) / lpMedian : 0,
                run.countsRequests() ? carrier.figures.requests / jobs : -1.0,
                carrier.agent ? carrier.figures.cpuMs / jobs : 0.0);
  }
  if (idleCpu) {
    std::printf("idle       %d s: agent CPU %.0f ms, %d requests to CUPS\n", options.idleSeconds,
                *idleCpu, idleRequests);
  }
  bool failed = false;
  for (const Carrier& carrier : carriers) {
    const std::vector<double>& ms = carrier.figures.ms;
    const double jobs = ms.empty() ? 1.0 : static_cast<double>(ms.size());
    std::printf(
        "PICKUP %s median_ms=%.1f worst_ms=%.1f jobs=%zu lost=%d extra_cups_jobs=%d "
        "ratio_to_lp=%.2f requests_per_job=%.2f agent_cpu_ms_per_job=%.1f\n",
        carrier.name, ms.empty() ? 0.0 : median(ms),
        ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()), ms.size(), carrier.figures.lost,
        carrier.figures.extraJobs, lpMedian > 0 && !ms.empty() ? median(ms) / lpMedian : 0.0,
        run.countsRequests() ? carrier.figures.requests / jobs : -1.0,
        carrier.agent ? carrier.figures.cpuMs / jobs : 0.0);
    failed |= carrier.figures.lost > 0;
  }
  if (idleCpu) {
    std::printf("IDLE seconds=%d agent_cpu_ms=%.0f requests=%d\n", options.idleSeconds, *idleCpu,
                idleRequests);
  }
  return failed ? 1 : 0;
}
