#include "support/AgentProcess.h"

#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

AgentProcess::AgentProcess(const std::string& program, const std::filesystem::path& home,
                           const std::vector<std::string>& arguments,
                           const std::vector<std::string>& extraEnvironment)
    : errorLog_(home / (std::filesystem::path(program).filename().string() + "-stderr.log")),
      outputLog_(home / (std::filesystem::path(program).filename().string() + "-stdout.log")) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  std::vector<std::string> entries{"HOME=" + home.string(),
                                   "TMPDIR=" + (home / "tmp").string(),
                                   "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                   "XDG_DATA_HOME=" + (home / ".local").string(),
                                   "XDG_RUNTIME_DIR=" + (home / "run").string(),
                                   "QT_QPA_PLATFORM=xcb"};
  entries.insert(entries.end(), extraEnvironment.begin(), extraEnvironment.end());
  for (const std::string& entry : entries) {
    const std::size_t equals = entry.find('=');
    environment.insert(QString::fromStdString(entry.substr(0, equals)),
                       QString::fromStdString(entry.substr(equals + 1)));
  }
  std::filesystem::create_directories(home / "tmp");
  std::filesystem::create_directories(home / "run");
  std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
  QStringList list;
  for (const std::string& argument : arguments) list << QString::fromStdString(argument);
  process_.setProcessEnvironment(environment);
  process_.setStandardOutputFile(QString::fromStdString(outputLog_.string()));
  process_.setStandardErrorFile(QString::fromStdString(errorLog_.string()));
  process_.start(QString::fromStdString(program), list);
  process_.waitForStarted();
}

int AgentProcess::exitStatus() const {
  if (process_.state() != QProcess::NotRunning || process_.exitStatus() != QProcess::NormalExit) {
    return -1;
  }
  return process_.exitCode();
}

std::string AgentProcess::stop() {
  if (process_.state() != QProcess::NotRunning) {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished();
  }
  return standardError();
}

std::string AgentProcess::standardError() const {
  std::stringstream text;
  text << std::ifstream(errorLog_).rdbuf();
  return text.str();
}

std::string AgentProcess::standardOutput() const {
  std::stringstream text;
  text << std::ifstream(outputLog_).rdbuf();
  return text.str();
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string runCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t got;
  while (pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    output.append(buffer, got);
  }
  const int result = pipe != nullptr ? ::pclose(pipe) : -1;
  if (status != nullptr) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}
