#pragma once

#include <optional>
#include <string>

// The few whole-file operations the agent needs, with the checks every caller wants.
namespace FileSystem {

// The whole content of a regular file; nothing when it is missing, unreadable, a folder or any
// other kind of file (a FIFO would block the tick for good).
std::optional<std::string> readRegularFile(const std::string& path);
// Whether anything stands at the path (a link counts when its target exists).
bool exists(const std::string& path);
// Deletes a file; false when it could not be deleted (a missing file included).
bool remove(const std::string& path);

}  // namespace FileSystem
