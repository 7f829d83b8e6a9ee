#include "documents/DocumentCommands.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/AgentStatus.h"
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
  const std::string name = FileName::plain(documentName);
  std::optional<std::string> path;
  {
    const AgentStatus::Choice waiting;
    path = savePanel_.runIn(saveFolder(), name);
  }
  if (!path) {
    AgentStatus::jobDone(
        name, QT_TRANSLATE_NOOP("AgentStatus", "not saved: the save panel was cancelled"));
  }
  return path;
}

std::string DocumentCommands::saveFolder() const {
  const std::string folder =
      TableViewControler::GetOptionsValue(paths_.documentsDirectory(),
                                          TableViewControler::kSaveFolder)
          .value_or("");
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error) || isAgentFolder(folder)) {
    return {};
  }
  return folder;
}

namespace {

// The path made absolute with its links resolved, without a trailing separator.
std::optional<std::filesystem::path> resolved(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::weakly_canonical(path, error);
  if (error) return std::nullopt;
  if (full.filename().empty()) full = full.parent_path();
  return full;
}

}  // namespace

bool DocumentCommands::isAgentFolder(const std::string& folder) const {
  const std::optional<std::filesystem::path> place = resolved(folder);
  if (!place) return true;  // a folder that cannot be told apart from ours is not offered
  const std::string documents = paths_.documentsDirectory();
  std::vector<std::filesystem::path> own{
      XMLUtil::supportFolder(documents),
      documents + "/" + std::string(TableViewControler::kRedirectedFolderName)};
  if (const std::optional<std::string> temporary = paths_.temporaryDirectory()) {
    own.emplace_back(*temporary);
  }
  for (const std::filesystem::path& folderOfOurs : own) {
    const std::optional<std::filesystem::path> ours = resolved(folderOfOurs);
    if (!ours || ours->empty()) continue;
    if (std::mismatch(ours->begin(), ours->end(), place->begin(), place->end()).first ==
        ours->end()) {
      return true;
    }
  }
  return false;
}

void DocumentCommands::save(const std::string& path, std::string_view payload) {
  const std::size_t nameStart = path.rfind('/') + 1;  // 0 without a "/"
  const std::string name = path.substr(nameStart);
  const std::string folder = path.substr(0, nameStart);
  if (AtomicFile::write(path, Base64::dataFromBase64String(payload))) {
    const std::string saved = nameStart > 1 ? folder.substr(0, nameStart - 1) : folder;
    const std::string documents = paths_.documentsDirectory();
    if (!saved.empty() &&
        TableViewControler::GetOptionsValue(documents, TableViewControler::kSaveFolder) != saved) {
      XMLUtil util(paths_);
      TableViewControler(paths_, util).WriteSettings(TableViewControler::kSaveFolder, saved);
    }
    AgentStatus::jobDone(name, QT_TRANSLATE_NOOP("AgentStatus", "saved in %1"), {saved});
    return;
  }
  const std::string why = std::strerror(errno);
  Diagnostics::error() << "the document was not saved";
  // The save panel has closed by now; without a notice the user would take it as saved.
  JobFailure::report("not-saved",
                     QT_TRANSLATE_NOOP("JobFailure",
                                       "\"%1\" was not saved in %2: %3. Save it again, in another "
                                       "folder or under a shorter name."),
                     {name, folder, why});
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
  UserText problem;
  return writeCopy(documentName, bytes, problem);
}

std::optional<std::string> DocumentCommands::writeCopy(std::string_view documentName,
                                                       std::string_view bytes, UserText& problem) {
  const std::optional<std::string> folder = copyFolder();
  if (!folder) {
    problem =
        UserText(JobFailure::kContext,
                 QT_TRANSLATE_NOOP("JobFailure", "there is no temporary folder to put it in"));
    return std::nullopt;
  }
  std::string fileName = FileName::plain(documentName);
  // A batch file is only ever shown as text.
  if (hasExtension(fileName, "BAT")) fileName = fileName.substr(0, fileName.rfind('.')) + ".txt";
  const std::string copy = *folder + "/" + fileName;
  if (!AtomicFile::write(copy, bytes, 0600)) {
    problem = UserText(JobFailure::kContext,
                       QT_TRANSLATE_NOOP("JobFailure", "it could not be written to %1: %2"),
                       {*folder, std::strerror(errno)});
    return std::nullopt;
  }
  return copy;
}

std::optional<std::string> DocumentCommands::copyToOpen(std::string_view documentName,
                                                        std::string_view bytes) {
  UserText problem;
  std::optional<std::string> copy = writeCopy(documentName, bytes, problem);
  if (!copy) {
    JobFailure::report("not-opened", QT_TRANSLATE_NOOP("JobFailure", "\"%1\" was not opened: %2."),
                       {FileName::plain(documentName), problem});
  }
  return copy;
}

void DocumentCommands::open(const std::optional<std::string>& copy) {
  if (!copy) {
    Diagnostics::error() << "the document to open did not decrypt or could not be written; "
                          "nothing opened";
    // Where the cause is known it was told already; only the first failure of a job is kept.
    JobFailure::report("not-opened",
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "A document was not opened: it did not decrypt, or it "
                                         "could not be written to the temporary folder."));
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
    Diagnostics::warning() << "not opening " << path << ": " << *why;
    JobFailure::report("refused",
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "\"%1\" was not opened: %2. Only PDF, pictures, text and "
                                         "office documents are opened from the remote session."),
                       {name, *why});
    return;
  }
  if (workspace_.openFile(path)) {
    AgentStatus::jobDone(name, QT_TRANSLATE_NOOP("AgentStatus", "opened"));
  } else {
    Diagnostics::error() << "the desktop could not open " << path;
    JobFailure::report("no-application",
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "\"%1\" was not opened: no application on this computer "
                                         "opens it. Install one for this kind of file."),
                       {name});
  }
}

void DocumentCommands::openLink(const std::string& link) {
  if (!OpenPolicy::isWebLink(link)) {
    Diagnostics::warning() << "not opening \"" << Diagnostics::printable(link)
                       << "\": only http and https links are opened";
    JobFailure::report("refused",
                       QT_TRANSLATE_NOOP("JobFailure",
                                         "The link \"%1\" was not opened: only http and https "
                                         "links are opened."),
                       {Diagnostics::printable(link)});
    return;
  }
  if (workspace_.openUrl(link)) {
    AgentStatus::jobDone(Diagnostics::printable(link), QT_TRANSLATE_NOOP("AgentStatus", "opened"));
  } else {
    Diagnostics::error() << "the desktop could not open " << Diagnostics::printable(link);
  }
}

std::optional<std::string> DocumentCommands::AesCBCDecryption(std::string_view data) {
  return Crypto::aesCbcDecrypt(data);
}
