#include "config/RedirectedFolderSetup.h"

#include <filesystem>
#include <system_error>

#include "config/TableViewControler.h"
#include "core/Diagnostics.h"

namespace fs = std::filesystem;

namespace RedirectedFolderSetup {

void CreateMappedFolder(const std::string& documentsDirectory) {
  const fs::path folder =
      fs::path(documentsDirectory) / std::string(TableViewControler::kRedirectedFolderName);
  std::error_code error;
  if (fs::symlink_status(folder, error).type() != fs::file_type::not_found) return;
  const auto wanted = TableViewControler::GetOptionsValue(documentsDirectory,
                                                          TableViewControler::kRedirectedFolder);
  if (wanted != "1" && wanted != "") return;
  if (!fs::create_directories(folder, error) && error) {
    Diagnostics::error() << "cannot create the redirected folder " << folder.string() << ": "
                       << error.message();
  }
}

void OldFolderRemove(const std::string& documentsDirectory) {
  const fs::path folder = fs::path(documentsDirectory) / kOldFolderName;
  std::error_code error;
  if (fs::symlink_status(folder, error).type() == fs::file_type::not_found) return;
  // remove_all takes a link itself, not what it points to, and never follows links inside.
  if (fs::remove_all(folder, error) == static_cast<std::uintmax_t>(-1) || error) {
    Diagnostics::warning() << "cannot remove the old folder " << folder.string() << ": "
                       << error.message();
  }
}

}  // namespace RedirectedFolderSetup
