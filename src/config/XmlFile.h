#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "core/UserText.h"

// Reading and writing the agent's XML files. A file that is missing, empty or not a regular file
// counts as missing. A file that stands there but cannot be read (not XML, damaged, nested deeper
// or larger than any file of ours ever is, or not open to us) is never overwritten: it is moved
// aside, as NAME.unreadable-YYYYMMDD-HHMMSS in the same folder, the user is told where it went
// (a line on standard error, and the running job's failure notice), and the caller goes on as
// without a file, or with what could be saved of it.
namespace XmlFile {

// Our files hold a handful of elements; anything far beyond this was not written by us, and
// rewriting it (or searching it on every job) would cost without end.
inline constexpr std::size_t kMaxBytes = std::size_t{4} << 20;  // 4 MiB
inline constexpr std::size_t kMaxDepth = 64;  // levels of elements, the root being the first

// One of our files, as the user is told about it.
struct Kind {
  std::string_view what;        // "the settings file"
  // What the user finds now, when nothing of the file was kept; marked for translation.
  const char* afterwards;
  // The user's notes, marked QT_TRANSLATE_NOOP("JobFailure", …): the file %1 was moved aside
  // (%2 why, %3 where to, %4 what the user finds now), or could not be (%2 why, %3 why not).
  const char* movedAside;
  const char* leftAsItIs;
  // Copies into fresh what of a damaged file's tree can still be trusted, and says in a few
  // words what that was; empty when nothing was kept. The tree ends where the damage begins, and
  // a value that the damage cut short is already gone from it. Without a salvage nothing is kept.
  std::function<UserText(const pugi::xml_document& damaged, pugi::xml_document& fresh)> salvage;
};

struct Content {
  // The file's document, or what was saved of an unreadable one (already written in its place);
  // nothing when there is no file, or nothing could be saved.
  std::unique_ptr<pugi::xml_document> document;
  // False while an unreadable file that could not be moved aside still stands at the path: it
  // must not be replaced.
  bool replaceable = true;
};

Content load(const std::string& path, const Kind& kind);
// load(), for those who only read.
std::unique_ptr<pugi::xml_document> read(const std::string& path, const Kind& kind);

// Replaced atomically with XmlText::of(document). False, with a line on standard error, when the
// write failed or the file would be larger than kMaxBytes, which the next read would refuse.
bool write(const std::string& path, pugi::xml_document& document);

}  // namespace XmlFile
