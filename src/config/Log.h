#pragma once

#include <optional>
#include <string>
#include <string_view>

class Paths;

// The log file ~/Documents/com.kestrova.ZelbrinClient/ZelbrinLogFile.txt: the settings of every
// folder job and the folder-redirection events, as entries "\r <type> --> <data> " with nothing
// in between, no line feed and no time stamp. Entries are written whatever the switch "Log" says;
// switching it off only deletes the file. Callers never learn whether an entry was written.
class Log {
 public:
  static constexpr const char* kLogFileName = "ZelbrinLogFile.txt";

  explicit Log(const Paths& paths) : paths_(paths) {}

  // Appends one entry; a missing value is written as "(null)". Each field is clipped like a line
  // on standard error (Diagnostics::clipped). The file is kept ASCII: every other character is
  // written as \uXXXX (\UXXXXXXXX beyond U+FFFF; the "…" of a clipped field as \u2026), a byte
  // that is not UTF-8 as \xHH. The support folder is never created here; a failed write goes to
  // standard error.
  void WriteLogData(std::optional<std::string_view> data,
                    std::optional<std::string_view> type) const;
  // What callers use: the data first, then the entry type.
  void Logging(std::optional<std::string_view> data, std::optional<std::string_view> type) const;
  // Six entries: DocumentName, Color, Collate, Copies, ServerPrinterType, PrinterName. The record
  // is printing's Settings; the log, a layer below, needs only these six fields of it.
  template <typename Record>
  void LogSettings(const Record& settings) const {
    Logging(settings.DocumentName, "DocumentName");
    Logging(settings.Color, "Color");
    Logging(settings.Collate, "Collate");
    Logging(std::to_string(settings.Copies), "Copies");
    Logging(settings.ServerPrinterType, "ServerPrinterType");
    Logging(settings.PrinterName, "PrinterName");
  }
  // For the options window's "Log" switch turned off; a file that is not there is no failure.
  void deleteLogFile() const;

  std::string logFilePath() const;

 private:
  const Paths& paths_;
};
