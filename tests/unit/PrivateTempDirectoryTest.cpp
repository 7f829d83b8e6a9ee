#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/PrivateTempDirectory.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

std::string ownFolderIn(const fs::path& base) {
  return (base / ("zelbrin-client-" + std::to_string(::getuid()))).string();
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 0777;
}

TEST(PrivateTempDirectory, CreatesAPrivateFolderAndReusesIt) {
  TempFolder base;
  const std::string tmpdir = base.path().string() + "/";
  const auto first = PrivateTempDirectory::ensure(tmpdir.c_str());
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, ownFolderIn(base.path()) + "/");
  EXPECT_EQ(modeOf(ownFolderIn(base.path())), 0700U);

  // A folder of ours with loose permissions is tightened, not abandoned.
  ::chmod(ownFolderIn(base.path()).c_str(), 0755);
  EXPECT_EQ(PrivateTempDirectory::ensure(tmpdir.c_str()), first);
  EXPECT_EQ(modeOf(ownFolderIn(base.path())), 0700U);
}

TEST(PrivateTempDirectory, RefusesWhatIsNotOurOwnFolder) {
  TempFolder base;
  TempFolder elsewhere;
  fs::create_directory_symlink(elsewhere.path(), ownFolderIn(base.path()));
  EXPECT_FALSE(PrivateTempDirectory::ensure(base.path().c_str())) << "a link is never followed";
  fs::remove(ownFolderIn(base.path()));

  writeFile(ownFolderIn(base.path()), "a file");
  EXPECT_FALSE(PrivateTempDirectory::ensure(base.path().c_str()));
  fs::remove(ownFolderIn(base.path()));

  if (::getuid() == 0) {
    fs::create_directory(ownFolderIn(base.path()));
    ASSERT_EQ(::chown(ownFolderIn(base.path()).c_str(), 65534, 65534), 0);
    EXPECT_FALSE(PrivateTempDirectory::ensure(base.path().c_str())) << "owned by someone else";
  }
}

TEST(PrivateTempDirectory, FallsBackToTmpWithoutTmpdir) {
  const auto folder = PrivateTempDirectory::ensure(nullptr);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->rfind("/tmp/zelbrin-client-", 0), 0U);
  EXPECT_EQ(PrivateTempDirectory::ensure(""), folder);
}

}  // namespace
