#pragma once

#include <optional>
#include <string>

class DocumentCommands;
class Paths;
class ServerLogin;
class Shares;
struct Settings;

// Opening what a folder job names: its document, or a web link or a file on a Windows share
// ("ZelbrinOpenUrl").
class OpenPrintJob {
 public:
  struct Services {
    DocumentCommands& documents;
    Shares& shares;
    const Paths& paths;
    const ServerLogin& login;
  };

  explicit OpenPrintJob(const Services& services) : services_(services) {}

  // Writes the open copy and opens it, or the web link a text file holds.
  void OpenDocument(Settings& settings);
  // Writes the decoded document into its open copy; the copy's path, or nothing when it could
  // not be written.
  std::optional<std::string> SaveFileToDocument(Settings& settings);
  // The record's DocumentName is the target in Base64: a web link, or a UNC path whose share is
  // mounted unless it is mounted already, and whose file is then opened.
  void OpenDocumentURL(Settings& settings);
  // Whether a mounted volume serves the share of that URL; says where on standard output.
  bool IsDriveMounted(const std::string& shareUrl);

 private:
  Services services_;
};

// Saving the document of a folder job where the user chooses.
class SavePrintJob {
 public:
  explicit SavePrintJob(DocumentCommands& documents) : documents_(documents) {}
  void SaveDocument(Settings& settings);

 private:
  DocumentCommands& documents_;
};
