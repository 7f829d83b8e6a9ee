#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Clipboard;
class ClipboardCarrier;
class DocumentCommands;
class Paths;
class PrintSystem;
class PrinterProcess;
class Workspace;
struct JobValues;
struct ProductCommand;

// Carries out a product command from the clipboard: print with or without the print dialog,
// save, or open; then empties the clipboard, which tells the session side the job was taken.
class CommandDispatcher {
 public:
  struct Services {
    Clipboard& clipboard;
    ClipboardCarrier& carrier;
    PrintSystem& printSystem;
    PrinterProcess& printer;
    DocumentCommands& documents;
    Workspace& workspace;
    const Paths& paths;
    JobValues& job;
  };

  explicit CommandDispatcher(const Services& services) : services_(services) {}

  void carryOut(const ProductCommand& command);

  // The clipboard print routine: prints the PDF with the job settings given, then empties the
  // clipboard (if any). The name is the job's name in the print queue.
  void printing(std::string_view document, bool dialog, Clipboard* pasteboard,
                const std::string& tray, std::int32_t duplex, const std::string& printerName,
                bool chkState, const std::string& collate, std::int32_t copies,
                const std::string& name);
  // The save command: asks where, then writes the document (never decrypted).
  void saveFile(std::string_view name, Clipboard& pasteboard, std::string_view file);
  // Empties the clipboard: clear, then the empty plain text.
  static void returnStringIntoClipboard(Clipboard& clipboard);

 private:
  void applySettings(const ProductCommand& command);

  Services services_;
};
