#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/Log.h"
#include "printing/Settings.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

class LogTest : public ::testing::Test {
 protected:
  LogTest() { fs::create_directories(support()); }

  fs::path support() const { return home.path() / "Documents" / "com.kestrova.ZelbrinClient"; }
  fs::path file() const { return support() / "ZelbrinLogFile.txt"; }
  std::string logAndReport(std::string_view data, std::string_view type) {
    testing::internal::CaptureStderr();
    log.Logging(data, type);
    return testing::internal::GetCapturedStderr();
  }
  std::string failure(std::string_view why) const {
    return "couldn't write out file to " + file().string() + ", error is " + std::string(why) +
           "\n";
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  Log log{paths};
};

TEST_F(LogTest, EntriesFollowEachOtherUntilTheSwitchDeletesTheFile) {
  log.Logging("Redirected Folder value 1", "Message");
  EXPECT_EQ(readFile(file()), "\r Message --> Redirected Folder value 1 ");
  log.WriteLogData(std::nullopt, std::nullopt);
  EXPECT_EQ(readFile(file()), "\r Message --> Redirected Folder value 1 \r (null) --> (null) ");

  log.deleteLogFile();
  EXPECT_FALSE(fs::exists(file()));
  log.deleteLogFile();  // nothing to delete is no failure
  // Only a regular file is ours to delete.
  writeFile(home.path() / "elsewhere", "kept");
  fs::create_symlink(home.path() / "elsewhere", file());
  log.deleteLogFile();
  EXPECT_TRUE(fs::is_symlink(file()));
  fs::remove(file());
  log.Logging("y", "B");
  EXPECT_EQ(readFile(file()), "\r B --> y ");
}

TEST_F(LogTest, SettingsMakeSixEntries) {
  Settings settings;
  settings.DocumentName = "Report.pdf";
  settings.Color = "Color";
  settings.Collate = "true";
  settings.Copies = -3;
  settings.ServerPrinterType = "ZelbrinPrinter";
  log.LogSettings(settings);
  EXPECT_EQ(readFile(file()),
            "\r DocumentName --> Report.pdf \r Color --> Color \r Collate --> true "
            "\r Copies --> -3 \r ServerPrinterType --> ZelbrinPrinter \r PrinterName --> (null) ");
}

TEST_F(LogTest, EntriesAreAppendedWithCharactersBeyondAsciiEscaped) {
  // Bytes a whole rewrite would have to decode first; appending keeps them as they are.
  writeFile(file(), std::string("\xFF\0old", 5));
  // A stray continuation byte, a surrogate and an overlong slash are no UTF-8.
  EXPECT_EQ(logAndReport("Résumé 😀 \x80 \xED\xA0\x80 \xC0\xAF.pdf", "Docü"), "");
  EXPECT_EQ(readFile(file()),
            std::string("\xFF\0old", 5) +
                "\r Doc\\u00FC --> R\\u00E9sum\\u00E9 \\U0001F600 \\x80 \\xED\\xA0\\x80 "
                "\\xC0\\xAF.pdf ");
}

TEST_F(LogTest, FailedWritesAreReportedAndCreateNothing) {
  fs::remove(support());
  EXPECT_EQ(logAndReport("x", "A"), failure("No such file or directory"));
  EXPECT_FALSE(fs::exists(support())) << "the log never makes the support folder";

  writeFile(support(), "a file where the folder should be");
  EXPECT_EQ(logAndReport("x", "A"), failure("Not a directory"));
  EXPECT_EQ(readFile(support()), "a file where the folder should be");

  fs::remove(support());
  fs::create_directories(support());
  ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
  EXPECT_EQ(logAndReport("x", "A"), failure("No such device or address")) << "no waiting";
}

}  // namespace
