#pragma once

#include <string>

// The folder set-up of every start: the redirected folder ~/Documents/ZbDataDrive is made when
// the switch "RedirectedFolder" asks for it, and the folder of earlier versions,
// ~/Documents/ZelbrinDrive, is removed. Failures get one line on standard error; start-up goes on.
namespace RedirectedFolderSetup {

inline constexpr const char* kOldFolderName = "ZelbrinDrive";

// Creates the redirected folder when the switch reads "1" or "" (no readable settings file) and
// nothing stands at its path yet; whatever stands there is left alone.
void CreateMappedFolder(const std::string& documentsDirectory);
// Removes the old folder with its content. A symbolic link is removed as a link: nothing it
// points to is touched.
void OldFolderRemove(const std::string& documentsDirectory);

}  // namespace RedirectedFolderSetup
