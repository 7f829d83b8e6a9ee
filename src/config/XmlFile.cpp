#include "config/XmlFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>

#include "config/XmlText.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "core/FileSystem.h"
#include "core/JobFailure.h"

namespace XmlFile {

namespace {

// Comments, processing instructions, the declaration and the document type are not ours, but
// they are carried along through every rewrite like anything else we do not own.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype;

// Whether the tree has more levels than limit. Walked without recursion: the depth is what is
// in question.
bool deeperThan(const pugi::xml_document& document, std::size_t limit) {
  std::size_t level = 1;
  pugi::xml_node node = document.first_child();
  while (node) {
    if (level > limit) return true;
    if (const pugi::xml_node child = node.first_child()) {
      node = child;
      ++level;
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      if (--level == 0) return false;
    }
    node = node.next_sibling();
  }
  return false;
}

std::string timeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// Moves the file to NAME.unreadable-DATE (-2, -3... when that is taken), never over another
// file. The new path, or nothing with errno set.
std::optional<std::string> moveAside(const std::string& path) {
  const std::string base = path + ".unreadable-" + timeStamp();
  for (int number = 1; number <= 100; ++number) {
    const std::string aside = number == 1 ? base : base + "-" + std::to_string(number);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      return aside;
    }
    if (errno == EEXIST) continue;
    if (errno != EINVAL && errno != ENOSYS) return std::nullopt;
    // A file system that cannot rename without replacing: look first.
    struct stat info {};
    if (::lstat(aside.c_str(), &info) == 0) continue;
    if (::rename(path.c_str(), aside.c_str()) == 0) return aside;
    return std::nullopt;
  }
  errno = EEXIST;
  return std::nullopt;
}

// An unreadable file that cannot be moved either is told about once, not at every read.
std::map<std::string, FileSystem::Stamp>& toldStuck() {
  static std::map<std::string, FileSystem::Stamp> told;
  return told;
}

// False when the file was gone before it could be moved: another agent of this user (on another
// display) has just moved it, and perhaps put what it saved in its place.
bool setAside(const std::string& path, const FileSystem::Stamp& stamp, const Kind& kind,
              const std::string& why, const pugi::xml_document* damaged, Content& content) {
  const std::optional<std::string> aside = moveAside(path);
  if (!aside && errno == ENOENT) return false;
  if (!aside) {
    const std::string error = std::strerror(errno);
    content.replaceable = false;
    auto [told, added] = toldStuck().try_emplace(path, stamp);
    if (!added && told->second == stamp) return true;
    told->second = stamp;
    const std::string message = std::string(kind.what) + " " + path + " cannot be read (" + why +
                                ") and cannot be moved aside (" + error +
                                "); it is left as it is, and changes are not saved until it is "
                                "repaired or removed";
    Diagnostics::error() << message;
    JobFailure::note("unreadable:" + path, kind.leftAsItIs, {path, why, error});
    return true;
  }
  toldStuck().erase(path);
  UserText kept;
  if (damaged != nullptr && kind.salvage) {
    auto fresh = std::make_unique<pugi::xml_document>();
    kept = kind.salvage(*damaged, *fresh);
    if (!kept.source.empty()) {
      write(path, *fresh);
      content.document = std::move(fresh);
    }
  }
  const std::string message = std::string(kind.what) + " " + path + " could not be read (" + why +
                              "). It was moved to " + *aside + "; " +
                              (kept.source.empty() ? kind.afterwards : kept.english());
  Diagnostics::warning() << message;
  if (kept.source.empty()) kept = UserText(JobFailure::kContext, kind.afterwards);
  JobFailure::note("unreadable:" + path, kind.movedAside, {path, why, *aside, std::move(kept)});
  return true;
}

// The parser stops where the damage begins. What it made of an attribute it was reading then is
// not the value that was written: the value may be cut short, or missing.
void dropCutShort(pugi::xml_document& document, const pugi::xml_parse_result& result) {
  if (result.status != pugi::status_bad_attribute) return;
  pugi::xml_node last = document;
  while (last.last_child()) last = last.last_child();
  if (last.type() == pugi::node_element) last.remove_attribute(last.last_attribute());
}

// One reading; nothing when the file went while it was being set aside.
std::optional<Content> loadOnce(const std::string& path, const Kind& kind) {
  Content content;
  const std::optional<FileSystem::Stamp> stamp = FileSystem::stamp(path);
  if (!stamp || !stamp->regular || stamp->size == 0) return content;
  const auto unreadable = [&](const std::string& why, const pugi::xml_document* damaged) {
    return setAside(path, *stamp, kind, why, damaged, content) ? std::optional(std::move(content))
                                                               : std::nullopt;
  };
  const std::string tooLarge = "it is larger than " + std::to_string(kMaxBytes >> 20) + " MiB";
  if (static_cast<std::uint64_t>(stamp->size) > kMaxBytes) return unreadable(tooLarge, nullptr);
  const std::optional<std::string> text = FileSystem::readRegularFile(path);
  if (!text) return unreadable("it cannot be opened", nullptr);
  if (text->empty()) return content;
  if (text->size() > kMaxBytes) return unreadable(tooLarge, nullptr);
  auto document = std::make_unique<pugi::xml_document>();
  const pugi::xml_parse_result result =
      document->load_buffer(text->data(), text->size(), kParseOptions, pugi::encoding_auto);
  if (!result) {
    dropCutShort(*document, result);
    return unreadable("it is not well-formed XML: " + std::string(result.description()) +
                          " at byte " + std::to_string(result.offset),
                      document.get());
  }
  if (!document->document_element()) return unreadable("it holds no element", nullptr);
  if (deeperThan(*document, kMaxDepth)) {
    return unreadable("it is nested deeper than " + std::to_string(kMaxDepth) + " levels",
                      document.get());
  }
  content.document = std::move(document);
  return content;
}

}  // namespace

Content load(const std::string& path, const Kind& kind) {
  if (std::optional<Content> content = loadOnce(path, kind)) return std::move(*content);
  // Read again what the other agent left, once: it does not move files in a loop.
  return loadOnce(path, kind).value_or(Content{});
}

std::unique_ptr<pugi::xml_document> read(const std::string& path, const Kind& kind) {
  return load(path, kind).document;
}

bool write(const std::string& path, pugi::xml_document& document) {
  const std::string text = XmlText::of(document);
  if (text.size() > kMaxBytes) {
    Diagnostics::error() << "not writing " << path << ": at " << text.size()
                       << " bytes it would be larger than any file of ours is read";
    return false;
  }
  return AtomicFile::write(path, text);
}

}  // namespace XmlFile
