#pragma once

#include <string>
#include <string_view>

// Replaces a file so that readers see either the old content or the new one, never a mix:
// a temporary file in the same folder is written, flushed to disk and renamed over the target.
namespace AtomicFile {

// False (with a line on standard error) when anything fails; the old file is then untouched and
// no temporary file is left behind.
bool write(const std::string& path, std::string_view content, unsigned mode = 0644);

}  // namespace AtomicFile
