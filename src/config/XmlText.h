#pragma once

#include <pugixml.hpp>
#include <string>

// The bytes of one of our XML files as a rewrite writes them.
namespace XmlText {

// In the encoding the document's declaration names: UTF-8 when it names none, or names Latin-1
// for a text that Latin-1 cannot hold (the declaration is then changed to say UTF-8). Pretty-
// printed, unless the indentation would outweigh the content, as it does for a deep nesting that
// someone else wrote: then every node is on a line of its own without indentation, so that the
// size follows the content.
std::string of(pugi::xml_document& document);

}  // namespace XmlText
