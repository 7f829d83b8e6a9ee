#include "config/XmlFile.h"

#include <sstream>

#include "core/AtomicFile.h"
#include "core/FileSystem.h"

namespace XmlFile {

std::unique_ptr<pugi::xml_document> read(const std::string& path) {
  const std::optional<std::string> content = FileSystem::readRegularFile(path);
  if (!content || content->empty()) return nullptr;
  auto document = std::make_unique<pugi::xml_document>();
  // Comments and processing instructions are not ours, but they are carried along through every
  // rewrite like anything else we do not own.
  const pugi::xml_parse_result result = document->load_buffer(
      content->data(), content->size(), pugi::parse_default | pugi::parse_comments | pugi::parse_pi,
      pugi::encoding_auto);
  if (!result || !document->document_element()) return nullptr;
  return document;
}

bool write(const std::string& path, const pugi::xml_document& document) {
  std::ostringstream out;
  document.save(out, "    ", pugi::format_indent, pugi::encoding_utf8);
  return AtomicFile::write(path, out.str());
}

}  // namespace XmlFile
