#pragma once

#include <string>
#include <string_view>

// Replaces a file so that readers see either the old content or the new one, never a mix:
// a temporary file in the same folder is written, flushed to disk and renamed over the target.
// The temporary file is hidden and named ".NAME.tmp-XXXXXX" (NAME shortened where the file system
// would not take it whole), so that one left by a write that was cut short (the agent killed,
// the machine off) is recognised and can be cleared away.
namespace AtomicFile {

// False (with a line on standard error, and errno telling why) when anything fails; the old file
// is then untouched and no temporary file is left behind.
bool write(const std::string& path, std::string_view content, unsigned mode = 0644);

// Whether a file name has the form of write()'s temporary files.
bool isTemporaryName(std::string_view fileName);

}  // namespace AtomicFile
