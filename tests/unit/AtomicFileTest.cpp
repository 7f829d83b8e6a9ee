#include <gtest/gtest.h>

#include "core/AtomicFile.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

std::size_t entriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(AtomicFile, ReplacesTheWholeFileAndLeavesNothingBehind) {
  TempFolder folder;
  const fs::path file = folder.path() / "settings.xml";
  ASSERT_TRUE(AtomicFile::write(file, "first, longer content"));
  ASSERT_TRUE(AtomicFile::write(file, "second"));
  EXPECT_EQ(readFile(file), "second");
  EXPECT_EQ(entriesIn(folder.path()), 1U);
}

TEST(AtomicFile, FailureKeepsTheOldStateAndCleansUp) {
  TempFolder folder;
  EXPECT_FALSE(AtomicFile::write(folder.path() / "missing" / "file.xml", "x"));

  // A folder standing where the file should be cannot be replaced by a file.
  fs::create_directories(folder.path() / "taken" / "inside");
  EXPECT_FALSE(AtomicFile::write(folder.path() / "taken", "x"));
  EXPECT_TRUE(fs::is_directory(folder.path() / "taken" / "inside"));
  EXPECT_EQ(entriesIn(folder.path()), 1U) << "no temporary file may be left";
}

}  // namespace
