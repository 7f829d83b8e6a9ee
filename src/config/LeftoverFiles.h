#pragma once

#include <chrono>
#include <optional>
#include <string>

class Paths;

// Files that would otherwise pile up over the months: the documents that jobs leave in the
// private temporary folder, and the temporary files of writes that were cut short (AtomicFile).
namespace LeftoverFiles {

// Open copies are for the application that shows them now; a day covers any session.
inline constexpr std::chrono::seconds kCopyLifetime = std::chrono::hours(24);

// Removes from the folder itself, not below it, AtomicFile's temporary files and, with a maxAge,
// every regular file last modified longer ago than that. Nothing else: links (whatever they point
// to), folders and other kinds of files stay. A missing folder is fine; one that cannot be read
// or is a link gets a line on standard error. Returns how many files went.
int sweep(const std::string& folder, std::optional<std::chrono::seconds> maxAge);

// At start, before the first job: the private temporary folder and its folder of open copies lose
// both kinds, the support folder in the Documents folder only the temporary files of writes.
void removeAtStart(const Paths& paths);

}  // namespace LeftoverFiles
