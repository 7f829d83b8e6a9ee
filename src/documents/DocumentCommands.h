#pragma once

#include <optional>
#include <string>
#include <string_view>

class Paths;
class SavePanel;
class Workspace;

// Saving and opening the documents that jobs carry. A document name comes from the server, so
// only its plain file name ever becomes part of a path.
class DocumentCommands {
 public:
  DocumentCommands(SavePanel& savePanel, Workspace& workspace, const Paths& paths)
      : savePanel_(savePanel), workspace_(workspace), paths_(paths) {}

  // Asks the user where to save a document of that name; nothing when the panel was cancelled.
  std::optional<std::string> choosePlace(std::string_view documentName);
  // Writes the Base64 payload, decoded and never decrypted, atomically to the path.
  void save(const std::string& path, std::string_view payload);

  // Decrypts the decoded payload into a private 0600 copy in the job temporary folder. The path
  // of the copy, or nothing when the payload did not decrypt or could not be written: a copy an
  // earlier job left under the same name must never be opened in its place.
  std::optional<std::string> writeTemporaryCopy(std::string_view documentName,
                                                std::string_view decoded);
  // Opens the copy with its application, or the web link a text file holds. Nothing executable
  // is ever opened; a link only when it is http(s).
  void open(const std::optional<std::string>& copy);

  static std::optional<std::string> AesCBCDecryption(std::string_view data);

 private:
  SavePanel& savePanel_;
  Workspace& workspace_;
  const Paths& paths_;
};
