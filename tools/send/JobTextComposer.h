#pragma once

#include <optional>
#include <string>

// Composes job texts the way the session side writes them. A test and demonstration tool; the
// agent never uses it.
namespace JobTextComposer {

enum class Channel { Clipboard, Folder };

struct Job {
  std::string command = "ZelbrinDefault";  // as sent, any casing
  std::string tray = "Default";
  std::string duplex = "NONE";
  std::string color = "Color";
  std::string documentName = "document.pdf";
  std::string document;                // raw bytes; Base64-encoded (and encrypted where due) here
  std::optional<std::string> collate;  // "true"/"false"; the folder channel always sends one
  std::optional<std::string> copies;   // only written after collate
  bool closeCopiesWithStar = true;
  bool withSettingsBlock = true;  // product commands on the clipboard may leave it out
  std::string serverPrinter = "Server Printer";  // user-defined commands
};

// The job text for the given channel. A clipboard "ZelbrinOpen" payload is encrypted the way the
// agent expects (zero-filled to whole blocks, one extra byte); a "ZelbrinOpenUrl" carries the
// Base64 of the link in the name field.
std::string compose(const Job& job, Channel channel);

// Whether the agent answers a clipboard job of this command by taking the clipboard over. Raw
// printer data and unknown commands are carried out without a word on the clipboard.
bool agentRepliesOnClipboard(const std::string& command);

}  // namespace JobTextComposer
