#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A product command ("ZelbrinPrinter", "ZelbrinDefault", "ZelbrinSave", "ZelbrinOpen", read in
// any casing) as it arrives on the clipboard.
struct ProductCommand {
  // The keyword as sent.
  std::string importedStringFile;
  // Tray, duplex, colour, then collate and copies when the text carries them; empty without a
  // settings block.
  std::vector<std::string> settings;
  // The text without its settings block: after the keyword, field 1 is the document name and
  // field 2 the payload as Base64.
  std::string pdfFile;

  std::string_view name() const {
    return std::string_view(pdfFile).substr(name_.first, name_.second);
  }
  std::string_view payload() const {
    return std::string_view(pdfFile).substr(payload_.first, payload_.second);
  }
  // Only the four keywords in their exact casing are carried out.
  bool isZbComand() const;

  // Tray, duplex, colour, then collate and copies when present; empty without a settings block;
  // nothing when the settings are too incomplete to read.
  static std::optional<std::vector<std::string>> getValueFromMapedSettings(std::string_view text);
  // The command of a job text whose keyword is a product command; nothing, with one line on
  // standard error, when a piece that the command needs is missing.
  static std::optional<ProductCommand> read(std::string text, std::string_view keyword);

 private:
  // Where fields 1 and 2 stand in pdfFile: a job text is read once, not at every use.
  std::pair<std::size_t, std::size_t> name_;
  std::pair<std::size_t, std::size_t> payload_;
};
