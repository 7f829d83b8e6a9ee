#include "documents/DocumentCommands.h"

#include <filesystem>

#include "config/XMLUtil.h"
#include "core/AtomicFile.h"
#include "core/Base64.h"
#include "core/Crypto.h"
#include "core/Diagnostics.h"
#include "core/FileName.h"
#include "core/FileSystem.h"
#include "core/JobFailure.h"
#include "core/JobText.h"
#include "documents/OpenPolicy.h"
#include "ports/Paths.h"
#include "ports/SavePanel.h"
#include "ports/Workspace.h"

namespace {

bool hasExtension(std::string_view name, std::string_view upperExtension) {
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 &&
         JobText::upperCased(name.substr(dot + 1)) == upperExtension;
}

}  // namespace

std::optional<std::string> DocumentCommands::choosePlace(std::string_view documentName) {
  return savePanel_.run(FileName::plain(documentName));
}

void DocumentCommands::save(const std::string& path, std::string_view payload) {
  if (!AtomicFile::write(path, Base64::dataFromBase64String(payload))) {
    Diagnostics::say() << "the document was not saved";
  }
}

std::optional<std::string> DocumentCommands::copyFolder() {
  const std::optional<std::string> temporary = paths_.temporaryDirectory();
  if (!temporary) return std::nullopt;
  const std::string folder = *temporary + XMLUtil::kSupportFolderName;
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::optional<std::string> DocumentCommands::writeOpenCopy(std::string_view documentName,
                                                           std::string_view bytes) {
  const std::optional<std::string> folder = copyFolder();
  if (!folder) return std::nullopt;
  std::string fileName = FileName::plain(documentName);
  // A batch file is only ever shown as text.
  if (hasExtension(fileName, "BAT")) fileName = fileName.substr(0, fileName.rfind('.')) + ".txt";
  const std::string copy = *folder + "/" + fileName;
  if (!AtomicFile::write(copy, bytes, 0600)) return std::nullopt;
  return copy;
}

void DocumentCommands::open(const std::optional<std::string>& copy) {
  if (!copy) {
    Diagnostics::say() << "the document to open did not decrypt or could not be written; "
                          "nothing opened";
    return;
  }
  if (hasExtension(*copy, "TXT")) {
    if (const std::optional<std::string> text = FileSystem::readRegularFile(*copy)) {
      if (const std::optional<std::string> link = OpenPolicy::linkInText(*text)) {
        openLink(*link);
        return;
      }
    }
  }
  openFile(*copy);
}

void DocumentCommands::openFile(const std::string& path, bool onShare) {
  const std::string name(FileName::lastComponent(path));
  if (const std::optional<std::string> why = OpenPolicy::refusal(path, fileTypes_, !onShare)) {
    Diagnostics::say() << "not opening " << path << ": " << *why;
    JobFailure::report("refused", "\"" + name + "\" was not opened: " + *why +
                                      ". Only PDF, pictures, text and office documents are "
                                      "opened from the remote session.");
    return;
  }
  if (!workspace_.openFile(path)) {
    Diagnostics::say() << "the desktop could not open " << path;
    JobFailure::report("no-application", "\"" + name +
                                             "\" was not opened: no application on this computer "
                                             "opens it. Install one for this kind of file.");
  }
}

void DocumentCommands::openLink(const std::string& link) {
  if (!OpenPolicy::isWebLink(link)) {
    Diagnostics::say() << "not opening \"" << Diagnostics::printable(link)
                       << "\": only http and https links are opened";
    JobFailure::report("refused", "The link \"" + Diagnostics::printable(link) +
                                      "\" was not opened: only http and https links are opened.");
    return;
  }
  if (!workspace_.openUrl(link)) {
    Diagnostics::say() << "the desktop could not open " << Diagnostics::printable(link);
  }
}

std::optional<std::string> DocumentCommands::AesCBCDecryption(std::string_view data) {
  return Crypto::aesCbcDecrypt(data);
}
