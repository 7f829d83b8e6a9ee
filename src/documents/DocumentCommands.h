#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/UserText.h"

class FileTypes;
class Paths;
class SavePanel;
class Workspace;

// Saving and opening the documents that jobs carry. A document name comes from the server, so
// only its plain file name ever becomes part of a path.
class DocumentCommands {
 public:
  DocumentCommands(SavePanel& savePanel, Workspace& workspace, FileTypes& fileTypes,
                   const Paths& paths)
      : savePanel_(savePanel), workspace_(workspace), fileTypes_(fileTypes), paths_(paths) {}

  // Asks the user where to save a document of that name; nothing when the panel was cancelled.
  // The panel opens in the folder last saved in, unless that is gone or one of the agent's own
  // folders (support, redirected, its private temporary folder): then in the user's Downloads
  // folder.
  std::optional<std::string> choosePlace(std::string_view documentName);
  // Writes the Base64 payload, decoded and never decrypted, atomically to the path, and
  // remembers its folder for the next save. A failure is the job's, told to the user with its
  // cause.
  void save(const std::string& path, std::string_view payload);

  // Writes the bytes into a private 0600 copy in the job temporary folder, under the document's
  // plain name. The path of the copy, or nothing when it could not be written: a copy an earlier
  // job left under the same name must never be opened in its place.
  std::optional<std::string> writeOpenCopy(std::string_view documentName, std::string_view bytes);
  // The same for a document that is about to be opened: a copy that cannot be written is the
  // job's failure, told to the user with its cause.
  std::optional<std::string> copyToOpen(std::string_view documentName, std::string_view bytes);
  // The private folder of the open copies, made when missing; nothing when it cannot be had.
  std::optional<std::string> copyFolder();
  // Opens the copy with its application, or the web link a text file holds; without a copy the
  // job fails.
  void open(const std::optional<std::string>& copy);
  // Opens a file with its application when it is a document that OpenPolicy allows; anything
  // else is refused with a line on standard error. On a share the file's mode bits mean nothing.
  void openFile(const std::string& path, bool onShare = false);
  // Opens an http(s) link with the desktop's handler; any other link is refused.
  void openLink(const std::string& link);

  static std::optional<std::string> AesCBCDecryption(std::string_view data);

 private:
  // Where the save panel opens; empty leaves it to the panel.
  std::string saveFolder() const;
  // Whether the folder is, or lies inside, one the agent keeps its own files in.
  bool isAgentFolder(const std::string& folder) const;
  // The copy's path; nothing, with what went wrong in problem, when it could not be written.
  std::optional<std::string> writeCopy(std::string_view documentName, std::string_view bytes,
                                       UserText& problem);

  SavePanel& savePanel_;
  Workspace& workspace_;
  FileTypes& fileTypes_;
  const Paths& paths_;
};
