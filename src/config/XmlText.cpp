#include "config/XmlText.h"

#include <cstring>
#include <sstream>
#include <string_view>

namespace XmlText {

namespace {

constexpr const char* kIndent = "    ";

// The bytes that pretty-printing adds in front of lines: one indent per level, on the line of
// every node and on the closing line of every element with children.
std::size_t indentationOf(const pugi::xml_document& document) {
  std::size_t bytes = 0;
  std::size_t level = 0;
  pugi::xml_node node = document.first_child();
  while (node) {
    bytes += level * std::strlen(kIndent) * (node.first_child() ? 2 : 1);
    if (const pugi::xml_node child = node.first_child()) {
      node = child;
      ++level;
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      if (level-- == 0) return bytes;
    }
    node = node.next_sibling();
  }
  return bytes;
}

pugi::xml_node declarationOf(pugi::xml_document& document) {
  for (pugi::xml_node node : document.children()) {
    if (node.type() == pugi::node_declaration) return node;
    if (node.type() == pugi::node_element) break;
  }
  return {};
}

std::string lowerCased(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower;
}

// Whether UTF-8 text holds only characters up to U+00FF.
bool fitsLatin1(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) continue;
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 == text.size() ||
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80) {
      return false;
    }
    ++i;
  }
  return true;
}

bool treeFitsLatin1(pugi::xml_document& document) {
  struct Check final : pugi::xml_tree_walker {
    bool fits = true;
    bool for_each(pugi::xml_node& node) override {
      fits = fitsLatin1(node.name()) && fitsLatin1(node.value());
      for (const pugi::xml_attribute& attribute : node.attributes()) {
        fits = fits && fitsLatin1(attribute.name()) && fitsLatin1(attribute.value());
      }
      return fits;
    }
  } check;
  document.traverse(check);
  return check.fits;
}

struct Output {
  pugi::xml_encoding encoding = pugi::encoding_utf8;
  unsigned flags = pugi::format_indent;
};

// The encoding the declaration names, where pugixml can write it. The two Latin-1 names are
// those its reading recognises; a text Latin-1 cannot hold is written as UTF-8, and the
// declaration is changed to say so rather than lose a printer's name.
Output outputFor(pugi::xml_document& document) {
  Output output;
  pugi::xml_node declaration = declarationOf(document);
  pugi::xml_attribute encoding = declaration.attribute("encoding");
  const std::string name = lowerCased(encoding.value());
  if (name == "iso-8859-1" || name == "latin1") {
    if (treeFitsLatin1(document)) {
      output.encoding = pugi::encoding_latin1;
    } else {
      encoding.set_value("UTF-8");
    }
  } else if (name == "utf-16" || name == "utf-16le" || name == "utf-16be") {
    output.encoding = name == "utf-16be" ? pugi::encoding_utf16_be : pugi::encoding_utf16_le;
    // Without a named byte order the byte order mark tells it.
    if (name == "utf-16") output.flags |= pugi::format_write_bom;
  }
  return output;
}

std::string serialised(const pugi::xml_document& document, const char* indent,
                       const Output& output) {
  std::ostringstream out;
  document.save(out, indent, output.flags, output.encoding);
  return std::move(out).str();
}

}  // namespace

std::string of(pugi::xml_document& document) {
  const Output output = outputFor(document);
  // Every node on a line of its own, without indentation: the size follows the content.
  std::string text = serialised(document, "", output);
  if (indentationOf(document) <= text.size()) text = serialised(document, kIndent, output);
  return text;
}

}  // namespace XmlText
