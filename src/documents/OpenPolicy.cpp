#include "documents/OpenPolicy.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

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

namespace {

constexpr std::string_view kUnknown = "application/octet-stream";

// Kept short on purpose: every type here has an application that shows or edits it without
// running anything from it. SVG is left out (a browser, often its opener, runs the scripts it
// holds), so are HTML and Markdown (rendered with the scripts they may hold), EPS (a PostScript
// program), mail (its attachments are not checked), audio and video (players follow playlists
// onto the network) and the macro-enabled OOXML types.
constexpr std::array<std::string_view, 15> kDocuments = {
    // PDF and pictures
    "application/pdf", "image/png", "image/jpeg", "image/gif", "image/bmp", "image/tiff",
    "image/webp", "image/heif", "image/avif",
    // text
    "text/plain", "text/csv", "application/rtf",
    // the older office formats
    "application/msword", "application/vnd.ms-excel", "application/vnd.ms-powerpoint"};
constexpr std::array<std::string_view, 2> kDocumentFamilies = {
    "application/vnd.oasis.opendocument.", "application/vnd.openxmlformats-officedocument."};
// What the content of an office document shows when the database cannot see further in: the
// zip of OOXML, the OLE2 storage of the older formats, the XML of flat OpenDocument files.
constexpr std::array<std::string_view, 3> kContainers = {
    "application/zip", "application/x-ole-storage", "application/xml"};

constexpr std::array<std::string_view, 7> kPrograms = {
    "application/x-executable",    "application/x-sharedlib", "application/x-ms-dos-executable",
    "application/x-msdownload",    "application/x-msi",       "application/x-ms-shortcut",
    "application/x-java-jnlp-file"};
constexpr std::array<std::string_view, 19> kArchivesAndPackages = {
    // archives
    "application/zip", "application/gzip", "application/x-tar", "application/x-7z-compressed",
    "application/vnd.rar", "application/x-bzip", "application/x-xz", "application/zstd",
    "application/x-lzma", "application/x-cpio", "application/x-cd-image",
    // packages and installers
    "application/vnd.debian.binary-package", "application/x-rpm", "application/vnd.flatpak",
    "application/vnd.flatpak.ref", "application/vnd.flatpak.repo", "application/vnd.snap",
    "application/vnd.android.package-archive", "application/x-java-archive"};
constexpr std::array<std::string_view, 4> kWebPages = {"text/html", "application/xhtml+xml",
                                                       "image/svg+xml", "image/svg+xml-compressed"};

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

template <std::size_t N>
bool isKindOf(const TypeGuess& type, const std::array<std::string_view, N>& list) {
  if (listed(list, type.name)) return true;
  return std::any_of(type.ancestors.begin(), type.ancestors.end(),
                     [&](const std::string& ancestor) { return listed(list, ancestor); });
}

bool isDocument(std::string_view name) {
  return listed(kDocuments, name) ||
         std::any_of(kDocumentFamilies.begin(), kDocumentFamilies.end(),
                     [&](std::string_view family) { return name.rfind(family, 0) == 0; });
}

// What the type is, for the message: the reason it is not opened.
std::string kindOf(const TypeGuess& type) {
  if (type.name == kUnknown) return "a type that is not known";
  if (type.name == "application/x-desktop") return "a desktop entry, which starts programs";
  if (listed(kWebPages, type.name)) return "whose scripts a browser would run";
  if (isKindOf(type, kPrograms)) return "a program or script";
  if (isKindOf(type, kArchivesAndPackages)) {
    return "an archive or package, which its application may unpack or install";
  }
  return "not a document type that is opened";
}

std::string refused(std::string_view reading, const TypeGuess& type) {
  return std::string(reading) + type.name + ", " + kindOf(type);
}

bool contentAgrees(const FileType& type) {
  const TypeGuess& content = type.byContent;
  if (isDocument(content.name) || content.name == "application/x-zerosize") return true;
  const std::vector<std::string>& containers = type.byName.ancestors;
  return listed(kContainers, content.name) &&
         std::find(containers.begin(), containers.end(), content.name) != containers.end();
}

}  // namespace

std::optional<std::string> refusal(const FileType& type) {
  // The most telling reading first: x.desktop. is unknown by its name, a desktop entry by both.
  if (!isDocument(type.combined.name)) return refused("it is ", type.combined);
  if (!contentAgrees(type)) return refused("its content is ", type.byContent);
  if (!isDocument(type.byName.name)) return refused("its name says ", type.byName);
  return std::nullopt;
}

std::optional<std::string> refusal(const std::string& path, FileTypes& types, bool modeBitsCount) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return std::string("it cannot be read: ") + std::strerror(errno);
  }
  if (!S_ISREG(info.st_mode)) return "it is not a regular file";
  if (modeBitsCount && (info.st_mode & 0111) != 0) return "it is marked as a program";
  // Interpreters the MIME database does not know run such a file all the same.
  char head[2] = {};
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    if (got == 2 && head[0] == '#' && head[1] == '!') return "it is a script";
  }
  return refusal(types.typeOf(path));
}

}  // namespace OpenPolicy
