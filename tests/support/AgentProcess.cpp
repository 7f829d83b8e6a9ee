#include "support/AgentProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::vector<std::string> environmentFor(const std::filesystem::path& home) {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::string name = text.substr(0, text.find('='));
    if (name == "HOME" || name == "TMPDIR" || name.rfind("XDG_", 0) == 0 ||
        name == "QT_QPA_PLATFORM") {
      continue;
    }
    env.push_back(text);
  }
  // Everything the agent derives its folders from points into the test's own home.
  env.push_back("HOME=" + home.string());
  env.push_back("TMPDIR=" + (home / "tmp").string());
  env.push_back("XDG_CONFIG_HOME=" + (home / ".config").string());
  env.push_back("XDG_DATA_HOME=" + (home / ".local/share").string());
  env.push_back("XDG_CACHE_HOME=" + (home / ".cache").string());
  env.push_back("XDG_RUNTIME_DIR=" + (home / "run").string());
  env.push_back("QT_QPA_PLATFORM=xcb");
  std::filesystem::create_directories(home / "tmp");
  std::filesystem::create_directories(home / "run");
  std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
  return env;
}

}  // namespace

AgentProcess::AgentProcess(const std::string& program, const std::filesystem::path& home,
                           std::vector<std::string> arguments,
                           const std::vector<std::string>& extraEnvironment)
    : errorLog_(home / (std::filesystem::path(program).filename().string() + "-stderr.log")) {
  std::vector<std::string> env = environmentFor(home);
  for (const std::string& entry : extraEnvironment) {
    const std::string name = entry.substr(0, entry.find('=') + 1);
    std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
    env.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::string programCopy = program;
  std::vector<char*> argv{programCopy.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog_.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

AgentProcess::~AgentProcess() { stop(); }

bool AgentProcess::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
  }
  return true;
}

std::string AgentProcess::stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    const bool ended =
        waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(5));
    if (!ended) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  return standardError();
}

std::string AgentProcess::standardError() const {
  std::ifstream in(errorLog_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string runCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
  const int result = ::pclose(pipe);
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}
