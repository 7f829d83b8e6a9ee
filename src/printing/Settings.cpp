#include "printing/Settings.h"

#include <cstddef>
#include <utility>

#include "core/JobText.h"
#include "core/TextValue.h"
#include "ports/PrintSystem.h"

namespace {

// Whether the text has the collate field, i.e. at least seven fields. Counting stops at the
// sixth separator, so the document after it is not scanned twice.
bool hasCollateField(std::string_view text) {
  std::size_t at = 0;
  for (int found = 0; found < 6; ++found) {
    at = text.find(JobText::kSeparator, at);
    if (at == std::string_view::npos) return false;
    at += JobText::kSeparator.size();
  }
  return true;
}

}  // namespace

std::optional<Settings> Settings::GetPrintSettings(std::string_view folderJobText,
                                                   PrintSystem& printSystem) {
  // Without the collate field every later entry moves up by one and the keyword would be read
  // as the collate flag; such a text is not a job we can trust.
  if (!hasCollateField(folderJobText)) return std::nullopt;
  auto values = ValueFromMapedSettings(folderJobText);
  if (!values || values->size() < 7) return std::nullopt;
  auto& L = *values;

  Settings settings;
  settings.Tray = std::move(L[0]);
  settings.Duplex = std::move(L[1]);
  settings.Color = std::move(L[2]);
  settings.DocumentName = std::move(L[3]);
  settings.Job = std::move(L[4]);  // the document as Base64: moved, it can be tens of megabytes
  settings.Collate = std::move(L[5]);
  settings.ServerPrinterType = std::move(L[6]);
  settings.ShowPrintPanel = GetValuePrintPanel(*settings.ServerPrinterType);
  if (L.size() >= 8) settings.Copies = TextValue::integerValue(L[7]);
  if (*settings.ServerPrinterType == JobText::kZelbrinDefault) {
    settings.PrinterName = printSystem.defaultPrinter();
  }
  return settings;
}

std::optional<std::vector<std::string>> Settings::ValueFromMapedSettings(std::string_view text) {
  return JobText::folderSettings(text);
}

std::int32_t Settings::DuplexNumber(std::string_view duplex) {
  return JobText::duplexNumber(duplex).value_or(1);  // whatever a sender may invent: one-sided
}

bool Settings::GetValuePrintPanel(std::string_view keyword) {
  return keyword == JobText::kZelbrinPrinter;
}
