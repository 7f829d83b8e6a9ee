#pragma once

#include <optional>
#include <string>

// The per-user temporary folder: "<TMPDIR or /tmp>/zelbrin-client-<uid>/". Documents from jobs
// land there, so it must never be a folder that another user controls.
namespace PrivateTempDirectory {

// Creates the folder with mode 0700 when missing. Refuses (nothing, and a line on standard
// error) when the name exists but is not a real folder owned by this user; a symbolic link is
// never followed. The result ends with "/".
std::optional<std::string> ensure(const char* tmpdirEnvironmentValue);

}  // namespace PrivateTempDirectory
