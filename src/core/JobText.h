#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The grammar of a job text: one line that names a command, carries the print settings, the
// document name and the document as Base64. Views returned here point into the given text.
namespace JobText {

inline constexpr std::string_view kSeparator = "1!1!1!";
inline constexpr char kStar = '*';

inline constexpr std::string_view kZelbrinPrinter = "ZelbrinPrinter";
inline constexpr std::string_view kZelbrinDefault = "ZelbrinDefault";
inline constexpr std::string_view kZelbrinSave = "ZelbrinSave";
inline constexpr std::string_view kZelbrinOpen = "ZelbrinOpen";
inline constexpr std::string_view kZelbrinOpenUrl = "ZelbrinOpenUrl";
inline constexpr std::string_view kUserDefinedDriver = "USERDEFINEDDRIVER";
inline constexpr std::string_view kUserDefinedPdf = "USERDEFINEDPDF*";

// No reading uses a piece past the eleventh (index 10): splitting stops after the twelfth piece,
// which holds the rest of the text, so a text full of separators costs no more than a job.
inline constexpr std::size_t kPiecesRead = 12;

// The text split at every separator, empty pieces kept: n separators give n + 1 pieces, at most
// kPiecesRead.
std::vector<std::string_view> fieldView(std::string_view text);
// The text split at every "*" in the same way.
std::vector<std::string_view> starView(std::string_view text);

bool hasSeparator(std::string_view text);
// Field 0: the text before the first separator (the whole text when there is none).
std::string_view keyword(std::string_view text);
// ASCII upper-casing: keywords are compared with ASCII constants only.
std::string upperCased(std::string_view text);

enum class Kind { UserDefinedPdf, UserDefinedDriver, Product, Other };
// Sorts a keyword by its upper-cased form; a product command in odd casing is still Product.
Kind classify(std::string_view keyword);

// Reading of a clipboard product command: tray, duplex, colour (star pieces 1, 3, 5 when the star
// view has at least 2 pieces), then collate (field 6 when there are at least 7 fields), then
// copies (star piece 7 when there are at least 8 star pieces). Empty: no settings block.
// Nothing when the text claims a settings block that is too short to hold the three values.
std::optional<std::vector<std::string>> productSettings(std::string_view text);

// Reading of a folder job text: tray, duplex, colour (star pieces 1, 3, 5 when the star view has
// at least 2 pieces), document name (field 4), payload (field 5), collate (field 6 when there are
// at least 7 fields), keyword (field 0), copies (star piece 7 when there are at least 8 star
// pieces). Nothing when a position it must read is missing.
std::optional<std::vector<std::string>> folderSettings(std::string_view text);

// "*tray*!1!1!1!*duplex*!1!1!1!*colour*!1!1!1!", the block as a sender writes it.
std::string settingsBlock(std::string_view tray, std::string_view duplex, std::string_view color);

// The duplex number of a duplex value, in any casing: 1 one-sided (NONE), 2 long edge
// (DUPLEXNOTUMBLE), 3 short edge (DUPLEXTUMBLE); nothing for any other text.
std::optional<std::int32_t> duplexNumber(std::string_view duplex);

// Deletes every occurrence of pattern from text, in place, in one pass.
void eraseAll(std::string& text, std::string_view pattern);

}  // namespace JobText
