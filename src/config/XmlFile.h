#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>

// Reading and writing the agent's XML files. A file that is missing, empty, not a regular file,
// unreadable or not XML counts as missing.
namespace XmlFile {

std::unique_ptr<pugi::xml_document> read(const std::string& path);
// Pretty-printed, replaced atomically. False when the write failed (already reported).
bool write(const std::string& path, const pugi::xml_document& document);

}  // namespace XmlFile
