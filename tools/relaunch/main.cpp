// zelbrin-relaunch AGENT_PATH PID
//
// Starts the agent again once its running instance has ended. The agent cannot start its
// successor itself: while it runs it holds the single-instance lock, and a successor started
// then would find the lock taken and quit. So the agent starts this helper and exits; the helper
// waits for that process to be gone and then starts AGENT_PATH, detached from itself.
// Only the C++ library and POSIX: it is small and needs no display.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr auto kLongestWait = std::chrono::seconds(60);

constexpr const char* kUsage =
    "usage: zelbrin-relaunch AGENT_PATH PID\n"
    "Waits until process PID has ended, then starts AGENT_PATH (an absolute path).\n";

// Our standard error is the agent's, often the journal: there a line starts with the journal's
// mark for an error, as the agent's own lines do. systemd names the journal's stream, device and
// inode in decimal, in JOURNAL_STREAM; a redirected standard error keeps the variable, not the
// stream.
std::string errorMark() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  struct stat info {};
  const bool journal = stream != nullptr && fstat(STDERR_FILENO, &info) == 0 &&
                       stream == std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  return journal ? "<3>" : "";
}

int fail(const std::string& message) {
  std::cerr << errorMark() + "zelbrin-relaunch: " + message + '\n' << std::flush;
  return 1;
}

int usage() {
  fail("it needs an absolute AGENT_PATH and a PID");
  std::cerr << kUsage;
  return 2;
}

// Digits only; 0 would name our own process group.
bool parsePid(std::string_view text, pid_t& pid) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  const char* end = text.data() + text.size();
  auto [last, error] = std::from_chars(text.data(), end, pid);
  return error == std::errc() && last == end && pid > 0;
}

// An agent that has exited but was not yet collected by its parent stays a zombie; it holds
// nothing any more, and its parent may take its time.
bool isZombie(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) {
    return false;
  }
  // "PID (NAME) STATE ...", and NAME may itself hold ") ".
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool hasEnded(pid_t pid) {
  // EPERM means it exists under another user: keep waiting.
  if (kill(pid, 0) == -1 && errno == ESRCH) {
    return true;
  }
  return isZombie(pid);
}

bool waitForEnd(pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  while (!hasEnded(pid)) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

// Starts the agent in a session of its own with standard input on /dev/null; standard output
// and error stay ours, so its lines go where the old agent's went. A close-on-exec pipe carries
// the errno of a failed execv back, so that failure is reported here and not lost in the child.
// Returns an error text, empty when the agent runs.
std::string startDetached(const std::string& path) {
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    return std::string("pipe: ") + std::strerror(errno);
  }
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    return std::string("fork: ") + std::strerror(error);
  }
  if (child == 0) {
    close(report[0]);
    // Blocked or ignored signals would pass through execv into the agent.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int number = 1; number < NSIG; ++number) {
      std::signal(number, SIG_DFL);
    }
    setsid();
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      if (null != STDIN_FILENO) {
        close(null);
      }
    } else {
      close(STDIN_FILENO);
    }
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    execv(path.c_str(), argv);
    const int error = errno;
    [[maybe_unused]] auto written = write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got > 0) {
    waitpid(child, nullptr, 0);
    return "cannot start " + path + ": " + std::strerror(error);
  }
  return {};
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  pid_t pid = 0;
  if (argc != 3 || argv[1][0] != '/' || !parsePid(argv[2], pid)) {
    return usage();
  }
  const std::string agent = argv[1];

  // Descriptors the old agent passed on (its lock among them, were it not close-on-exec) must
  // neither outlive it here nor reach its successor.
  close_range(3, ~0U, 0);

  if (!waitForEnd(pid)) {
    return fail("process " + std::to_string(pid) + " has not ended after " +
                std::to_string(kLongestWait.count()) + " s; " + agent + " is not started");
  }
  struct stat info {};
  if (stat(agent.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      access(agent.c_str(), X_OK) != 0) {
    return fail(agent + " is not an executable file; nothing is started");
  }
  if (const std::string error = startDetached(agent); !error.empty()) {
    return fail(error);
  }
  return 0;
}
