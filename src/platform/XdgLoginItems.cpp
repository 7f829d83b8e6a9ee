#include "platform/XdgLoginItems.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kEntryName = "zelbrin-client";

// The value of a key of the [Desktop Entry] group, with the escapes of desktop entries undone.
std::optional<std::string> valueOf(const std::string& entry, std::string_view key) {
  std::istringstream lines(entry);
  std::string line;
  bool inMainGroup = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup || line.compare(0, key.size(), key) != 0) continue;
    std::size_t at = key.size();
    while (at < line.size() && line[at] == ' ') ++at;
    if (at >= line.size() || line[at] != '=') continue;
    ++at;
    while (at < line.size() && line[at] == ' ') ++at;
    std::string value;
    for (; at < line.size(); ++at) {
      if (line[at] != '\\' || at + 1 == line.size()) {
        value += line[at];
        continue;
      }
      const char next = line[++at];
      value += next == 's'   ? ' '
               : next == 'n' ? '\n'
               : next == 't' ? '\t'
               : next == 'r' ? '\r'
                             : next;
    }
    return value;
  }
  return std::nullopt;
}

// The program an Exec value starts: its first word, quotes and field-code escapes undone.
std::string programOf(std::string_view exec) {
  std::string word;
  bool quoted = false;
  for (std::size_t at = 0; at < exec.size(); ++at) {
    const char c = exec[at];
    if (quoted && c == '\\' && at + 1 < exec.size()) {
      word += exec[++at];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      if (!word.empty()) break;
    } else if (c == '%' && at + 1 < exec.size() && exec[at + 1] == '%') {
      word += '%';
      ++at;
    } else {
      word += c;
    }
  }
  return word;
}

// The Exec value that starts exactly this path, whatever characters it holds.
std::string execFor(const std::string& program) {
  std::string exec = "\"";
  for (const char c : program) {
    if (c == '"' || c == '`' || c == '$') {
      exec += "\\\\";
      exec += c;
    } else if (c == '\\') {
      exec += "\\\\\\\\";
    } else if (c == '%') {
      exec += "%%";
    } else {
      exec += c;
    }
  }
  return exec + "\"";
}

bool isOff(const std::string& entry) {
  return valueOf(entry, "Hidden") == "true" ||
         valueOf(entry, "X-GNOME-Autostart-enabled") == "false";
}

// The entry files of the folder that start the program, in name order.
std::vector<fs::path> entriesFor(const std::string& folder, const std::string& program) {
  std::vector<fs::path> found;
  std::error_code error;
  for (const auto& file : fs::directory_iterator(folder, error)) {
    if (file.path().extension() != ".desktop") continue;
    const std::optional<std::string> entry = FileSystem::readRegularFile(file.path().string());
    if (!entry) continue;
    if (programOf(valueOf(*entry, "Exec").value_or("")) == program) found.push_back(file.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The entry text with its on/off keys replaced, right under the group's header.
std::string switched(const std::string& entry, bool on) {
  std::istringstream lines(entry);
  std::string line;
  std::string result;
  bool inMainGroup = false;
  while (std::getline(lines, line)) {
    const bool header = !line.empty() && line.front() == '[';
    if (header) inMainGroup = line.rfind("[Desktop Entry]", 0) == 0;
    if (!header && inMainGroup &&
        (line.rfind("Hidden", 0) == 0 || line.rfind("X-GNOME-Autostart-enabled", 0) == 0)) {
      continue;
    }
    result += line + "\n";
    if (header && inMainGroup) {
      if (!on) result += "Hidden=true\n";
      result += std::string("X-GNOME-Autostart-enabled=") + (on ? "true" : "false") + "\n";
    }
  }
  return result;
}

}  // namespace

XdgLoginItems::XdgLoginItems() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = (config != nullptr && config[0] == '/')
                               ? std::string(config)
                               : std::string(home != nullptr ? home : "") + "/.config";
  folder_ = base + "/autostart";
}

LoginItems::State XdgLoginItems::stateOf(const std::string& program) const {
  State state = State::Missing;
  for (const fs::path& file : entriesFor(folder_, program)) {
    if (!isOff(FileSystem::readRegularFile(file.string()).value_or(""))) return State::On;
    state = State::Off;
  }
  return state;
}

bool XdgLoginItems::set(const std::string& program, bool on) {
  const std::vector<fs::path> entries = entriesFor(folder_, program);
  if (!entries.empty()) {
    bool written = true;
    for (const fs::path& file : entries) {
      const std::string entry = FileSystem::readRegularFile(file.string()).value_or("");
      if (isOff(entry) == !on) continue;
      written = AtomicFile::write(file.string(), switched(entry, on)) && written;
    }
    return written;
  }
  if (!on) return true;
  std::error_code error;
  fs::create_directories(folder_, error);
  // A copy of the agent in another folder gets an entry of its own beside the first one.
  fs::path file = fs::path(folder_) / (std::string(kEntryName) + ".desktop");
  for (int n = 2; fs::exists(fs::symlink_status(file, error)); ++n) {
    file = fs::path(folder_) / (std::string(kEntryName) + "-" + std::to_string(n) + ".desktop");
  }
  const std::string entry =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Zelbrin Client\n"
      "Comment=Prints from the remote desktop session on this computer's printers\n"
      "Exec=" +
      execFor(program) +
      "\n"
      "Icon=zelbrin-client\n"
      "Terminal=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  if (!AtomicFile::write(file.string(), entry)) {
    Diagnostics::error() << "cannot add the login item " << file.string();
    return false;
  }
  return true;
}
