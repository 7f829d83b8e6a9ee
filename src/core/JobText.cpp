#include "core/JobText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace JobText {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (pieces.size() + 1 < kPiecesRead) {
    const std::size_t at = text.find(separator, start);
    if (at == std::string_view::npos) break;
    pieces.push_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace

std::vector<std::string_view> fieldView(std::string_view text) { return split(text, kSeparator); }

std::vector<std::string_view> starView(std::string_view text) {
  return split(text, std::string_view(&kStar, 1));
}

bool hasSeparator(std::string_view text) { return text.find(kSeparator) != std::string_view::npos; }

std::string_view keyword(std::string_view text) { return text.substr(0, text.find(kSeparator)); }

std::string upperCased(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
  return upper;
}

Kind classify(std::string_view keyword) {
  const std::string upper = upperCased(keyword);
  if (upper == kUserDefinedPdf) return Kind::UserDefinedPdf;
  if (upper == kUserDefinedDriver) return Kind::UserDefinedDriver;
  if (upper == "ZELBRINPRINTER" || upper == "ZELBRINDEFAULT" || upper == "ZELBRINSAVE" ||
      upper == "ZELBRINOPEN") {
    return Kind::Product;
  }
  return Kind::Other;
}

std::optional<std::vector<std::string>> productSettings(std::string_view text) {
  const auto stars = starView(text);
  const auto fields = fieldView(text);
  std::vector<std::string> values;
  if (stars.size() >= 2) {
    // A block has six stars; with five, the colour would swallow the rest of the text.
    if (stars.size() < 7) return std::nullopt;
    values.emplace_back(stars[1]);
    values.emplace_back(stars[3]);
    values.emplace_back(stars[5]);
  }
  if (fields.size() >= 7) {
    // Seven fields but no settings block: the collate value would be taken as the tray.
    if (values.empty()) return std::nullopt;
    values.emplace_back(fields[6]);
  }
  if (stars.size() >= 8) values.emplace_back(stars[7]);
  return values;
}

std::optional<std::vector<std::string>> folderSettings(std::string_view text) {
  const auto stars = starView(text);
  const auto fields = fieldView(text);
  // The consumer takes the entries by position, so a text without the settings block or the
  // name and payload fields cannot be read at all.
  if (stars.size() < 7 || fields.size() < 6) return std::nullopt;
  std::vector<std::string> values{std::string(stars[1]), std::string(stars[3]),
                                  std::string(stars[5]), std::string(fields[4]),
                                  std::string(fields[5])};
  if (fields.size() >= 7) values.emplace_back(fields[6]);
  values.emplace_back(fields[0]);
  if (stars.size() >= 8) values.emplace_back(stars[7]);
  return values;
}

std::string settingsBlock(std::string_view tray, std::string_view duplex, std::string_view color) {
  std::string block;
  block.reserve(tray.size() + duplex.size() + color.size() + 3 * (3 + kSeparator.size()));
  for (const std::string_view value : {tray, duplex, color}) {
    block += kStar;
    block += value;
    block += "*!";
    block += kSeparator;
  }
  return block;
}

std::optional<std::int32_t> duplexNumber(std::string_view duplex) {
  const std::string upper = upperCased(duplex);
  if (upper == "NONE") return 1;
  if (upper == "DUPLEXNOTUMBLE") return 2;
  if (upper == "DUPLEXTUMBLE") return 3;
  return std::nullopt;
}

void eraseAll(std::string& text, std::string_view pattern) {
  if (pattern.empty()) return;
  std::size_t read = text.find(pattern);
  if (read == std::string::npos) return;
  std::size_t write = read;
  while (read != std::string::npos) {
    read += pattern.size();
    const std::size_t next = text.find(pattern, read);
    const std::size_t end = next == std::string::npos ? text.size() : next;
    std::memmove(text.data() + write, text.data() + read, end - read);
    write += end - read;
    read = next;
  }
  text.resize(write);
}

}  // namespace JobText
