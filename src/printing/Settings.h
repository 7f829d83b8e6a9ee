#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PrintSystem;

// The print settings of one folder job, as read from its job text.
struct Settings {
  bool ShowPrintPanel = false;
  std::int32_t Copies = 0;
  std::optional<std::string> Collate;
  std::optional<std::string> DocumentName;
  std::optional<std::string> Tray;
  std::optional<std::string> Color;
  std::optional<std::string> ServerPrinterType;
  std::optional<std::string> PrinterName;
  std::optional<std::string> Job;
  std::optional<std::string> Duplex;
  std::optional<std::string> localMountPath;
  std::optional<std::string> urlServerPath;
  std::optional<std::string> Message;

  // The settings of a folder job text; nothing when the text lacks a piece the job needs, in
  // which case the job is rejected without printing.
  static std::optional<Settings> GetPrintSettings(std::string_view folderJobText,
                                                  PrintSystem& printSystem);
  // The settings values of a folder job text in reading order (see JobText::folderSettings).
  static std::optional<std::vector<std::string>> ValueFromMapedSettings(std::string_view text);
  // 1 one-sided, 2 long edge, 3 short edge; anything unknown prints one-sided.
  static std::int32_t DuplexNumber(std::string_view duplex);
  // Whether the keyword asks for the print dialog before printing.
  static bool GetValuePrintPanel(std::string_view keyword);
};
