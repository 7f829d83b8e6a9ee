#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names of documents as the server sends them: a Windows or POSIX path, or just a name.
namespace FileName {

// The longest name that common file systems (ext4, Btrfs, XFS, tmpfs) take, in bytes.
inline constexpr std::size_t kMaxBytes = 255;

// What follows the last "/" or "\" (the whole name when there is none), up to a NUL byte.
std::string_view lastComponent(std::string_view name);

// The last component as a name that may become a file in one of our folders: never empty, "."
// or "..", so no name leads out of the folder it is put in, and never longer than kMaxBytes.
std::string plain(std::string_view name);

// The name itself when it has at most maxBytes bytes; else cut short on a UTF-8 character
// boundary, keeping its extension (".pdf") unless the extension alone would take a good part of
// the room.
std::string shortened(std::string_view name, std::size_t maxBytes);

}  // namespace FileName
