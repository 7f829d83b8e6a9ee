#pragma once

#include <string>
#include <string_view>

// Names of documents as the server sends them: a Windows or POSIX path, or just a name.
namespace FileName {

// What follows the last "/" or "\" (the whole name when there is none), up to a NUL byte.
std::string_view lastComponent(std::string_view name);

// The last component as a name that may become a file in one of our folders: never empty, "."
// or "..", so no name leads out of the folder it is put in.
std::string plain(std::string_view name);

}  // namespace FileName
