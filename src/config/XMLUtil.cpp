#include "config/XMLUtil.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <utility>

#include "config/XmlFile.h"
#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/JobFailure.h"
#include "core/Utf8.h"
#include "ports/Paths.h"

namespace {

constexpr std::string_view kKeyPrefix = "Printer";
constexpr const char* kNewRootName = "Printer";

// Letters and marks (Unicode 14 general categories L and M) beyond ASCII in the Basic
// Multilingual Plane, as closed ranges. Only the first character of a server printer name is
// looked up; a character beyond the plane starts with a surrogate, which is no letter.
constexpr std::pair<char16_t, char16_t> kLettersAndMarks[] = {
    {0x00AA, 0x00AA}, {0x00B5, 0x00B5}, {0x00BA, 0x00BA}, {0x00C0, 0x00D6}, {0x00D8, 0x00F6},
    {0x00F8, 0x02C1}, {0x02C6, 0x02D1}, {0x02E0, 0x02E4}, {0x02EC, 0x02EC}, {0x02EE, 0x02EE},
    {0x0300, 0x0374}, {0x0376, 0x0377}, {0x037A, 0x037D}, {0x037F, 0x037F}, {0x0386, 0x0386},
    {0x0388, 0x038A}, {0x038C, 0x038C}, {0x038E, 0x03A1}, {0x03A3, 0x03F5}, {0x03F7, 0x0481},
    {0x0483, 0x052F}, {0x0531, 0x0556}, {0x0559, 0x0559}, {0x0560, 0x0588}, {0x0591, 0x05BD},
    {0x05BF, 0x05BF}, {0x05C1, 0x05C2}, {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x05D0, 0x05EA},
    {0x05EF, 0x05F2}, {0x0610, 0x061A}, {0x0620, 0x065F}, {0x066E, 0x06D3}, {0x06D5, 0x06DC},
    {0x06DF, 0x06E8}, {0x06EA, 0x06EF}, {0x06FA, 0x06FC}, {0x06FF, 0x06FF}, {0x0710, 0x074A},
    {0x074D, 0x07B1}, {0x07CA, 0x07F5}, {0x07FA, 0x07FA}, {0x07FD, 0x07FD}, {0x0800, 0x082D},
    {0x0840, 0x085B}, {0x0860, 0x086A}, {0x0870, 0x0887}, {0x0889, 0x088E}, {0x0898, 0x08E1},
    {0x08E3, 0x0963}, {0x0971, 0x0983}, {0x0985, 0x098C}, {0x098F, 0x0990}, {0x0993, 0x09A8},
    {0x09AA, 0x09B0}, {0x09B2, 0x09B2}, {0x09B6, 0x09B9}, {0x09BC, 0x09C4}, {0x09C7, 0x09C8},
    {0x09CB, 0x09CE}, {0x09D7, 0x09D7}, {0x09DC, 0x09DD}, {0x09DF, 0x09E3}, {0x09F0, 0x09F1},
    {0x09FC, 0x09FC}, {0x09FE, 0x09FE}, {0x0A01, 0x0A03}, {0x0A05, 0x0A0A}, {0x0A0F, 0x0A10},
    {0x0A13, 0x0A28}, {0x0A2A, 0x0A30}, {0x0A32, 0x0A33}, {0x0A35, 0x0A36}, {0x0A38, 0x0A39},
    {0x0A3C, 0x0A3C}, {0x0A3E, 0x0A42}, {0x0A47, 0x0A48}, {0x0A4B, 0x0A4D}, {0x0A51, 0x0A51},
    {0x0A59, 0x0A5C}, {0x0A5E, 0x0A5E}, {0x0A70, 0x0A75}, {0x0A81, 0x0A83}, {0x0A85, 0x0A8D},
    {0x0A8F, 0x0A91}, {0x0A93, 0x0AA8}, {0x0AAA, 0x0AB0}, {0x0AB2, 0x0AB3}, {0x0AB5, 0x0AB9},
    {0x0ABC, 0x0AC5}, {0x0AC7, 0x0AC9}, {0x0ACB, 0x0ACD}, {0x0AD0, 0x0AD0}, {0x0AE0, 0x0AE3},
    {0x0AF9, 0x0AFF}, {0x0B01, 0x0B03}, {0x0B05, 0x0B0C}, {0x0B0F, 0x0B10}, {0x0B13, 0x0B28},
    {0x0B2A, 0x0B30}, {0x0B32, 0x0B33}, {0x0B35, 0x0B39}, {0x0B3C, 0x0B44}, {0x0B47, 0x0B48},
    {0x0B4B, 0x0B4D}, {0x0B55, 0x0B57}, {0x0B5C, 0x0B5D}, {0x0B5F, 0x0B63}, {0x0B71, 0x0B71},
    {0x0B82, 0x0B83}, {0x0B85, 0x0B8A}, {0x0B8E, 0x0B90}, {0x0B92, 0x0B95}, {0x0B99, 0x0B9A},
    {0x0B9C, 0x0B9C}, {0x0B9E, 0x0B9F}, {0x0BA3, 0x0BA4}, {0x0BA8, 0x0BAA}, {0x0BAE, 0x0BB9},
    {0x0BBE, 0x0BC2}, {0x0BC6, 0x0BC8}, {0x0BCA, 0x0BCD}, {0x0BD0, 0x0BD0}, {0x0BD7, 0x0BD7},
    {0x0C00, 0x0C0C}, {0x0C0E, 0x0C10}, {0x0C12, 0x0C28}, {0x0C2A, 0x0C39}, {0x0C3C, 0x0C44},
    {0x0C46, 0x0C48}, {0x0C4A, 0x0C4D}, {0x0C55, 0x0C56}, {0x0C58, 0x0C5A}, {0x0C5D, 0x0C5D},
    {0x0C60, 0x0C63}, {0x0C80, 0x0C83}, {0x0C85, 0x0C8C}, {0x0C8E, 0x0C90}, {0x0C92, 0x0CA8},
    {0x0CAA, 0x0CB3}, {0x0CB5, 0x0CB9}, {0x0CBC, 0x0CC4}, {0x0CC6, 0x0CC8}, {0x0CCA, 0x0CCD},
    {0x0CD5, 0x0CD6}, {0x0CDD, 0x0CDE}, {0x0CE0, 0x0CE3}, {0x0CF1, 0x0CF2}, {0x0D00, 0x0D0C},
    {0x0D0E, 0x0D10}, {0x0D12, 0x0D44}, {0x0D46, 0x0D48}, {0x0D4A, 0x0D4E}, {0x0D54, 0x0D57},
    {0x0D5F, 0x0D63}, {0x0D7A, 0x0D7F}, {0x0D81, 0x0D83}, {0x0D85, 0x0D96}, {0x0D9A, 0x0DB1},
    {0x0DB3, 0x0DBB}, {0x0DBD, 0x0DBD}, {0x0DC0, 0x0DC6}, {0x0DCA, 0x0DCA}, {0x0DCF, 0x0DD4},
    {0x0DD6, 0x0DD6}, {0x0DD8, 0x0DDF}, {0x0DF2, 0x0DF3}, {0x0E01, 0x0E3A}, {0x0E40, 0x0E4E},
    {0x0E81, 0x0E82}, {0x0E84, 0x0E84}, {0x0E86, 0x0E8A}, {0x0E8C, 0x0EA3}, {0x0EA5, 0x0EA5},
    {0x0EA7, 0x0EBD}, {0x0EC0, 0x0EC4}, {0x0EC6, 0x0EC6}, {0x0EC8, 0x0ECD}, {0x0EDC, 0x0EDF},
    {0x0F00, 0x0F00}, {0x0F18, 0x0F19}, {0x0F35, 0x0F35}, {0x0F37, 0x0F37}, {0x0F39, 0x0F39},
    {0x0F3E, 0x0F47}, {0x0F49, 0x0F6C}, {0x0F71, 0x0F84}, {0x0F86, 0x0F97}, {0x0F99, 0x0FBC},
    {0x0FC6, 0x0FC6}, {0x1000, 0x103F}, {0x1050, 0x108F}, {0x109A, 0x109D}, {0x10A0, 0x10C5},
    {0x10C7, 0x10C7}, {0x10CD, 0x10CD}, {0x10D0, 0x10FA}, {0x10FC, 0x1248}, {0x124A, 0x124D},
    {0x1250, 0x1256}, {0x1258, 0x1258}, {0x125A, 0x125D}, {0x1260, 0x1288}, {0x128A, 0x128D},
    {0x1290, 0x12B0}, {0x12B2, 0x12B5}, {0x12B8, 0x12BE}, {0x12C0, 0x12C0}, {0x12C2, 0x12C5},
    {0x12C8, 0x12D6}, {0x12D8, 0x1310}, {0x1312, 0x1315}, {0x1318, 0x135A}, {0x135D, 0x135F},
    {0x1380, 0x138F}, {0x13A0, 0x13F5}, {0x13F8, 0x13FD}, {0x1401, 0x166C}, {0x166F, 0x167F},
    {0x1681, 0x169A}, {0x16A0, 0x16EA}, {0x16F1, 0x16F8}, {0x1700, 0x1715}, {0x171F, 0x1734},
    {0x1740, 0x1753}, {0x1760, 0x176C}, {0x176E, 0x1770}, {0x1772, 0x1773}, {0x1780, 0x17D3},
    {0x17D7, 0x17D7}, {0x17DC, 0x17DD}, {0x180B, 0x180D}, {0x180F, 0x180F}, {0x1820, 0x1878},
    {0x1880, 0x18AA}, {0x18B0, 0x18F5}, {0x1900, 0x191E}, {0x1920, 0x192B}, {0x1930, 0x193B},
    {0x1950, 0x196D}, {0x1970, 0x1974}, {0x1980, 0x19AB}, {0x19B0, 0x19C9}, {0x1A00, 0x1A1B},
    {0x1A20, 0x1A5E}, {0x1A60, 0x1A7C}, {0x1A7F, 0x1A7F}, {0x1AA7, 0x1AA7}, {0x1AB0, 0x1ACE},
    {0x1B00, 0x1B4C}, {0x1B6B, 0x1B73}, {0x1B80, 0x1BAF}, {0x1BBA, 0x1BF3}, {0x1C00, 0x1C37},
    {0x1C4D, 0x1C4F}, {0x1C5A, 0x1C7D}, {0x1C80, 0x1C88}, {0x1C90, 0x1CBA}, {0x1CBD, 0x1CBF},
    {0x1CD0, 0x1CD2}, {0x1CD4, 0x1CFA}, {0x1D00, 0x1F15}, {0x1F18, 0x1F1D}, {0x1F20, 0x1F45},
    {0x1F48, 0x1F4D}, {0x1F50, 0x1F57}, {0x1F59, 0x1F59}, {0x1F5B, 0x1F5B}, {0x1F5D, 0x1F5D},
    {0x1F5F, 0x1F7D}, {0x1F80, 0x1FB4}, {0x1FB6, 0x1FBC}, {0x1FBE, 0x1FBE}, {0x1FC2, 0x1FC4},
    {0x1FC6, 0x1FCC}, {0x1FD0, 0x1FD3}, {0x1FD6, 0x1FDB}, {0x1FE0, 0x1FEC}, {0x1FF2, 0x1FF4},
    {0x1FF6, 0x1FFC}, {0x2071, 0x2071}, {0x207F, 0x207F}, {0x2090, 0x209C}, {0x20D0, 0x20F0},
    {0x2102, 0x2102}, {0x2107, 0x2107}, {0x210A, 0x2113}, {0x2115, 0x2115}, {0x2119, 0x211D},
    {0x2124, 0x2124}, {0x2126, 0x2126}, {0x2128, 0x2128}, {0x212A, 0x212D}, {0x212F, 0x2139},
    {0x213C, 0x213F}, {0x2145, 0x2149}, {0x214E, 0x214E}, {0x2183, 0x2184}, {0x2C00, 0x2CE4},
    {0x2CEB, 0x2CF3}, {0x2D00, 0x2D25}, {0x2D27, 0x2D27}, {0x2D2D, 0x2D2D}, {0x2D30, 0x2D67},
    {0x2D6F, 0x2D6F}, {0x2D7F, 0x2D96}, {0x2DA0, 0x2DA6}, {0x2DA8, 0x2DAE}, {0x2DB0, 0x2DB6},
    {0x2DB8, 0x2DBE}, {0x2DC0, 0x2DC6}, {0x2DC8, 0x2DCE}, {0x2DD0, 0x2DD6}, {0x2DD8, 0x2DDE},
    {0x2DE0, 0x2DFF}, {0x2E2F, 0x2E2F}, {0x3005, 0x3006}, {0x302A, 0x302F}, {0x3031, 0x3035},
    {0x303B, 0x303C}, {0x3041, 0x3096}, {0x3099, 0x309A}, {0x309D, 0x309F}, {0x30A1, 0x30FA},
    {0x30FC, 0x30FF}, {0x3105, 0x312F}, {0x3131, 0x318E}, {0x31A0, 0x31BF}, {0x31F0, 0x31FF},
    {0x3400, 0x4DBF}, {0x4E00, 0xA48C}, {0xA4D0, 0xA4FD}, {0xA500, 0xA60C}, {0xA610, 0xA61F},
    {0xA62A, 0xA62B}, {0xA640, 0xA672}, {0xA674, 0xA67D}, {0xA67F, 0xA6E5}, {0xA6F0, 0xA6F1},
    {0xA717, 0xA71F}, {0xA722, 0xA788}, {0xA78B, 0xA7CA}, {0xA7D0, 0xA7D1}, {0xA7D3, 0xA7D3},
    {0xA7D5, 0xA7D9}, {0xA7F2, 0xA827}, {0xA82C, 0xA82C}, {0xA840, 0xA873}, {0xA880, 0xA8C5},
    {0xA8E0, 0xA8F7}, {0xA8FB, 0xA8FB}, {0xA8FD, 0xA8FF}, {0xA90A, 0xA92D}, {0xA930, 0xA953},
    {0xA960, 0xA97C}, {0xA980, 0xA9C0}, {0xA9CF, 0xA9CF}, {0xA9E0, 0xA9EF}, {0xA9FA, 0xA9FE},
    {0xAA00, 0xAA36}, {0xAA40, 0xAA4D}, {0xAA60, 0xAA76}, {0xAA7A, 0xAAC2}, {0xAADB, 0xAADD},
    {0xAAE0, 0xAAEF}, {0xAAF2, 0xAAF6}, {0xAB01, 0xAB06}, {0xAB09, 0xAB0E}, {0xAB11, 0xAB16},
    {0xAB20, 0xAB26}, {0xAB28, 0xAB2E}, {0xAB30, 0xAB5A}, {0xAB5C, 0xAB69}, {0xAB70, 0xABEA},
    {0xABEC, 0xABED}, {0xAC00, 0xD7A3}, {0xD7B0, 0xD7C6}, {0xD7CB, 0xD7FB}, {0xF900, 0xFA6D},
    {0xFA70, 0xFAD9}, {0xFB00, 0xFB06}, {0xFB13, 0xFB17}, {0xFB1D, 0xFB28}, {0xFB2A, 0xFB36},
    {0xFB38, 0xFB3C}, {0xFB3E, 0xFB3E}, {0xFB40, 0xFB41}, {0xFB43, 0xFB44}, {0xFB46, 0xFBB1},
    {0xFBD3, 0xFD3D}, {0xFD50, 0xFD8F}, {0xFD92, 0xFDC7}, {0xFDF0, 0xFDFB}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFE70, 0xFE74}, {0xFE76, 0xFEFC}, {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A},
    {0xFF66, 0xFFBE}, {0xFFC2, 0xFFC7}, {0xFFCA, 0xFFCF}, {0xFFD2, 0xFFD7}, {0xFFDA, 0xFFDC}};

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isAsciiLetterOrDigit(char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9'); }

// The first character as a code point of the Basic Multilingual Plane; nothing for an empty
// text, a character beyond the plane and bytes that are not UTF-8.
std::optional<char16_t> firstBmpCharacter(std::string_view text) {
  const auto decoded = Utf8::decode(text);
  if (!decoded || decoded->second > 0xFFFF) return std::nullopt;
  return static_cast<char16_t>(decoded->second);
}

bool isLetterOrMark(char16_t c) {
  if (c < 0x80) return isAsciiLetter(static_cast<char>(c));
  const auto* end = std::end(kLettersAndMarks);
  const auto* range =
      std::upper_bound(std::begin(kLettersAndMarks), end, c,
                       [](char16_t value, const auto& r) { return value < r.first; });
  return range != std::begin(kLettersAndMarks) && c <= std::prev(range)->second;
}

// The pairs of a damaged pair file that were read whole: every one asked again would be another
// prompt for the user.
UserText salvagePairs(const pugi::xml_document& damaged, pugi::xml_document& fresh) {
  const pugi::xml_node root = damaged.document_element();
  if (!root.first_attribute()) return {};
  for (const pugi::xml_node node : damaged.children()) {
    if (node.type() == pugi::node_declaration) fresh.append_copy(node);
  }
  pugi::xml_node copy = fresh.append_child(root.name());
  std::size_t kept = 0;
  for (const pugi::xml_attribute& attribute : root.attributes()) {
    copy.append_attribute(attribute.name()).set_value(attribute.value());
    ++kept;
  }
  return UserText(JobFailure::kContext,
                  kept == 1 ? QT_TRANSLATE_NOOP("JobFailure",
                                                "%1 printer pair that could still be read was "
                                                "kept, the others are asked for again at their "
                                                "next job")
                            : QT_TRANSLATE_NOOP("JobFailure",
                                                "%1 printer pairs that could still be read were "
                                                "kept, the others are asked for again at their "
                                                "next job"),
                  {std::to_string(kept)});
}

const XmlFile::Kind kPairFile{
    .what = "the printer pair file",
    .afterwards =
        QT_TRANSLATE_NOOP("JobFailure", "each server printer is paired again at its next job"),
    .movedAside = QT_TRANSLATE_NOOP("JobFailure",
                                    "The printer pair file %1 could not be read (%2). It was moved "
                                    "to %3; %4."),
    .leftAsItIs = QT_TRANSLATE_NOOP("JobFailure",
                                    "The printer pair file %1 cannot be read (%2) and cannot be "
                                    "moved aside (%3); it is left as it is, and changes are not "
                                    "saved until it is repaired or removed."),
    .salvage = salvagePairs,
};

// The root's attribute of that name. A key with a NUL byte names no attribute (and must not be
// cut short into one that does).
pugi::xml_attribute findAttribute(const pugi::xml_node& root, std::string_view key) {
  if (key.find('\0') != std::string_view::npos) return {};
  return root.attribute(std::string(key).c_str());
}

constexpr const char* kRecordName = "Pair";

pugi::xml_node findRecord(const pugi::xml_node& root, std::string_view key) {
  if (key.find('\0') != std::string_view::npos) return {};
  return root.find_child_by_attribute(kRecordName, "key", std::string(key).c_str());
}

}  // namespace

std::string XMLUtil::getSavePath() const {
  const std::string path = supportFolder(paths_.documentsDirectory());
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) {
    Diagnostics::error() << "cannot create support folder " << path << ": " << error.message();
  }
  return path;
}

std::string XMLUtil::pairFilePath() const {
  return supportFolder(paths_.documentsDirectory()) + "/" + kPairFileName;
}

std::string XMLUtil::checkIfStringIsDigit(std::string_view text) {
  const std::optional<char16_t> first = firstBmpCharacter(text);
  if (first && isLetterOrMark(*first)) return std::string(text);
  std::string prefixed(kKeyPrefix);
  prefixed += ' ';
  prefixed += text;
  return prefixed;
}

std::string XMLUtil::stringFilter(std::string_view serverPrinterName) {
  std::string withoutSpaces;
  withoutSpaces.reserve(serverPrinterName.size());
  for (const char c : serverPrinterName) {
    if (c != ' ') withoutSpaces += c;
  }
  std::string key;
  for (const char c : checkIfStringIsDigit(withoutSpaces)) {
    if (isAsciiLetterOrDigit(c)) key += c;
  }
  // A leading non-ASCII letter is dropped after the test, which can leave nothing or a digit in
  // front; neither may name an attribute, and a file holding one could never be read again.
  if (key.empty() || !isAsciiLetter(key.front())) key.insert(0, kKeyPrefix);
  return key;
}

std::unique_ptr<pugi::xml_document> XMLUtil::getXMLDocument() const {
  return XmlFile::read(pairFilePath(), kPairFile);
}

void XMLUtil::addElementToXML(std::string_view nameOrKey, std::string_view localPrinter) const {
  const std::string key = stringFilter(nameOrKey);
  const std::string path = getSavePath() + "/" + kPairFileName;
  const std::string printer(localPrinter);
  XmlFile::Content content = XmlFile::load(path, kPairFile);
  if (!content.replaceable) return;
  std::unique_ptr<pugi::xml_document>& document = content.document;
  if (!document) {
    document = std::make_unique<pugi::xml_document>();
    document->append_child(kNewRootName);
  }
  pugi::xml_node root = document->document_element();
  // Adding never replaces: a new choice is stored only after the old pair was deleted.
  if (!root.attribute(key.c_str())) root.append_attribute(key.c_str()).set_value(printer.c_str());
  XmlFile::write(path, *document);
}

std::optional<std::string> XMLUtil::loadDataFromXML(std::string_view key) const {
  const auto document = getXMLDocument();
  if (!document) return std::nullopt;
  const pugi::xml_node root = document->document_element();
  const pugi::xml_attribute attribute =
      key.empty() ? root.last_attribute() : findAttribute(root, key);
  if (!attribute) return std::nullopt;
  return std::string(attribute.value());
}

bool XMLUtil::attributExist(std::string_view key) const {
  const auto document = getXMLDocument();
  return document && findAttribute(document->document_element(), key);
}

void XMLUtil::deleteDataFromXMLFile(std::string_view key) const {
  const std::string path = pairFilePath();
  const auto document = XmlFile::read(path, kPairFile);
  bool written = false;
  if (document) {
    pugi::xml_node root = document->document_element();
    // A hand-edited file may name a key twice; deleting must leave none behind.
    while (const pugi::xml_attribute attribute = findAttribute(root, key)) {
      root.remove_attribute(attribute);
    }
    while (const pugi::xml_node record = findRecord(root, key)) root.remove_child(record);
    written = XmlFile::write(path, *document);
  }
  if (!written) Diagnostics::error() << "Could not write document out...";
}

std::optional<XMLUtil::PairRecord> XMLUtil::pairRecord(std::string_view key) const {
  const auto document = getXMLDocument();
  if (!document) return std::nullopt;
  const pugi::xml_node record = findRecord(document->document_element(), key);
  if (!record) return std::nullopt;
  return PairRecord{record.attribute("server").value(), record.attribute("queue").value()};
}

std::string XMLUtil::pairKey(std::string_view serverPrinterName) const {
  const std::string key = stringFilter(serverPrinterName);
  const auto document = getXMLDocument();
  const pugi::xml_node root = document ? document->document_element() : pugi::xml_node();
  const pugi::xml_node record = findRecord(root, key);
  const bool own = record ? record.attribute("server").value() == serverPrinterName
                          : findAttribute(root, key) ||
                                std::any_of(serverPrinterName.begin(), serverPrinterName.end(),
                                            isAsciiLetterOrDigit);
  if (own) return key;
  // Only A-Z, a-z and 0-9, beginning with a letter: filtering it again changes nothing.
  return std::string(kKeyPrefix) + Crypto::md5Hex(serverPrinterName).substr(0, 16);
}

bool XMLUtil::storePair(std::string_view key, const PairRecord& record,
                        std::string_view localPrinter) const {
  const std::string path = getSavePath() + "/" + kPairFileName;
  XmlFile::Content content = XmlFile::load(path, kPairFile);
  if (!content.replaceable) return false;
  std::unique_ptr<pugi::xml_document>& document = content.document;
  if (!document) {
    document = std::make_unique<pugi::xml_document>();
    document->append_child(kNewRootName);
  }
  pugi::xml_node root = document->document_element();
  const std::string name(key);
  pugi::xml_attribute attribute = findAttribute(root, name);
  if (!attribute) attribute = root.append_attribute(name.c_str());
  attribute.set_value(std::string(localPrinter).c_str());
  pugi::xml_node entry = findRecord(root, name);
  if (!entry) {
    entry = root.append_child(kRecordName);
    entry.append_attribute("key").set_value(name.c_str());
  }
  (entry.attribute("server") ? entry.attribute("server") : entry.append_attribute("server"))
      .set_value(record.server.c_str());
  (entry.attribute("queue") ? entry.attribute("queue") : entry.append_attribute("queue"))
      .set_value(record.queue.c_str());
  return XmlFile::write(path, *document);
}
