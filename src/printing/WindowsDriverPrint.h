#pragma once

#include <string>
#include <string_view>

class Paths;
class PrintSystem;

// Hands printer-ready data unchanged to a local queue: the decoded bytes are written to
// "temp.txt" in the private temporary folder, submitted as application/vnd.cups-raw and removed.
class WindowsDriverPrint {
 public:
  WindowsDriverPrint(PrintSystem& printSystem, const Paths& paths)
      : printSystem_(printSystem), paths_(paths) {}

  // rawData is the job's Base64 payload; printerName a printer name as the prompt offers it.
  void printWindowsDriver(std::string_view rawData, const std::string& printerName);

 private:
  PrintSystem& printSystem_;
  const Paths& paths_;
};
