#include "documents/OpenPolicy.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <string_view>

#include "core/JobText.h"

namespace OpenPolicy {

std::optional<std::string> linkInText(std::string_view text) {
  const std::size_t start = text.find("http");
  if (start == std::string_view::npos) return std::nullopt;
  std::string_view link = text.substr(start);
  link = link.substr(0, link.find('\0'));
  while (!link.empty() && (link.back() == '\n' || link.back() == '\r' || link.back() == ' ' ||
                           link.back() == '\t')) {
    link.remove_suffix(1);
  }
  return std::string(link);
}

bool isWebLink(std::string_view link) {
  const std::string lower = [&] {
    std::string text(link.substr(0, 8));
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return text;
  }();
  std::size_t hostStart = 0;
  if (lower.rfind("https://", 0) == 0) {
    hostStart = 8;
  } else if (lower.rfind("http://", 0) == 0) {
    hostStart = 7;
  } else {
    return false;
  }
  if (link.size() <= hostStart || link[hostStart] == '/') return false;
  for (const char c : link) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '"' || c == '\'' || c == '`' || c == '\\') {
      return false;
    }
  }
  return true;
}

std::optional<std::string> refusal(const std::string& path, bool modeBitsCount) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  const std::string extension =
      (dot == std::string::npos || (slash != std::string::npos && dot < slash))
          ? std::string()
          : JobText::upperCased(path.substr(dot + 1));
  static constexpr std::array<std::string_view, 27> kExecutable = {
      "DESKTOP", "SH",  "BASH", "ZSH",      "CSH", "KSH", "FISH", "PY",  "PL",
      "RB",      "PHP", "JAR",  "RUN",      "BIN", "EXE", "COM",  "BAT", "CMD",
      "PS1",     "VBS", "JS",   "APPIMAGE", "MSI", "DEB", "RPM",  "SO",  "ELF"};
  for (const std::string_view executable : kExecutable) {
    if (extension == executable) return "its type runs as a program";
  }
  struct stat info {};
  if (modeBitsCount && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      (info.st_mode & 0111) != 0) {
    return "it is marked as a program";
  }
  // The content decides as much as the name: a script or a binary under a harmless name.
  char head[16] = {};
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got >= 2 && head[0] == '#' && head[1] == '!') return "it is a script";
    if (got >= 15 && std::string_view(head, 15) == "[Desktop Entry]")
      return "it is a desktop entry";
    if (got >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') {
      return "it is a program";
    }
    if (got >= 2 && head[0] == 'M' && head[1] == 'Z') return "it is a Windows program";
  }
  return std::nullopt;
}

}  // namespace OpenPolicy
