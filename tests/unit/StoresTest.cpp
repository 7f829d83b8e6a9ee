#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/LeftoverFiles.h"
#include "config/Log.h"
#include "config/PrinterPair.h"
#include "config/RedirectedFolderSetup.h"
#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "core/JobFailure.h"
#include "platform/XdgLoginItems.h"
#include "ports/Alert.h"
#include "printing/Settings.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

struct RecordingAlert final : Alert {
  void beginSheet(const Message& message, std::function<void(int)> didEnd) override {
    shown.push_back(message);
    didEnd(0);
  }
  std::vector<Message> shown;
};

// The three files of the support folder, which other programs and people read too: the settings
// file and the log byte for byte.
class StoresTest : public ::testing::Test {
 protected:
  StoresTest() {
    store.connectOutlets({&mapped, &dialog, &logBox, &redirected});
    store.setAlert(&alert);
  }
  fs::path support() const { return home.path() / "Documents" / "com.kestrova.ZelbrinClient"; }
  fs::path settingsFile() const { return support() / "ZelbrinSettings.xml"; }
  fs::path pairFile() const { return support() / "PrinterPair.xml"; }
  fs::path logFile() const { return support() / "ZelbrinLogFile.txt"; }
  std::optional<std::string> value(std::string_view key) const {
    return TableViewControler::GetOptionsValue(paths.documentsDirectory(), key);
  }
  static std::string stderrOf(const std::function<void()>& action) {
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
  }
  static std::string entry(std::string_view type, std::string_view data) {
    return "\r " + std::string(type) + " --> " + std::string(data) + " ";
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  XMLUtil util{paths};
  Log log{paths};
  PlainCheckBox mapped{1};
  PlainCheckBox dialog{0};
  PlainCheckBox logBox{0};
  PlainCheckBox redirected{1};
  RecordingAlert alert;
  TableViewControler store{paths, util};
};

TEST_F(StoresTest, SettingsFileFromFirstStartToLaterStarts) {
  EXPECT_EQ(value("Dialog"), "") << "without a file every switch reads as empty text";
  EXPECT_FALSE(fs::exists(support())) << "reading a switch must not create the folder";

  store.awakeFromNib();
  EXPECT_EQ(readFile(settingsFile()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ZelbrinSettings>\n    <Settings "
            "RedirectedFolder=\"1\" Dialog=\"0\" MappedSettings=\"1\" Log=\"0\" />\n"
            "</ZelbrinSettings>\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(support()), {}), 1) << "no temporary files";

  // Only boxes tagged 0 store their switch; the log switch does not look at the tag.
  store.chkDialogState(PlainCheckBox{1, 7});
  store.Log(PlainCheckBox{1, 7});
  EXPECT_EQ(value("Dialog"), "0");
  EXPECT_EQ(value("Log"), "1");
  store.chkDialogState(PlainCheckBox{-1});
  EXPECT_FALSE(TableViewControler::isOn(paths.documentsDirectory(), "Dialog")) << "only 1 is on";

  // A later start reads what is stored by its number and writes it back normalised; every
  // Settings element counts, and what is not ours is kept.
  writeFile(settingsFile(),
            "<!-- by hand --><Root><Settings Dialog=\"01\" Log=\" 1\" MappedSettings=\"off\" "
            "Extra=\"x\"/><Other/></Root>");
  store.awakeFromNib();
  EXPECT_EQ(dialog.state(), 1);
  EXPECT_EQ(mapped.state(), 0) << "text that is not a number reads as 0";
  EXPECT_EQ(readFile(settingsFile()),
            "<?xml version=\"1.0\"?>\n<!-- by hand -->\n<Root>\n    <Settings Dialog=\"1\" "
            "Log=\"1\" MappedSettings=\"0\" Extra=\"x\" RedirectedFolder=\"1\" />\n"
            "    <Other />\n</Root>\n");
}

// The element inside that many levels of <a>.
std::string nestedIn(int levels, const std::string& element) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) open += "<a>", close += "</a>";
  return open + element + close;
}

// What was set aside: the files named FILE.unreadable-DATE beside it.
std::vector<fs::path> setAside(const fs::path& file) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(file.parent_path())) {
    if (entry.path().filename().string().rfind(file.filename().string() + ".unreadable-", 0) == 0) {
      found.push_back(entry.path());
    }
  }
  return found;
}

TEST_F(StoresTest, UnreadableSettingsFilesAreMovedAsideNeverOverwritten) {
  // 10,000 levels once took the agent 42 s to start, and a rewrite of 400 MB.
  const std::string deep = nestedIn(10'000, "<Settings Dialog=\"1\"/>");
  const std::string large =
      "<Root><Settings Dialog=\"1\"/>" + std::string(4 << 20, ' ') + "</Root>";
  for (const std::string& content : {deep, large, std::string("not xml at all"),
                                     std::string("<ZelbrinSettings><Settings Dialog=\"1\"")}) {
    writeFile(settingsFile(), content);
    EXPECT_EQ(value("Dialog"), "") << content.substr(0, 40);
    const std::vector<fs::path> aside = setAside(settingsFile());
    ASSERT_EQ(aside.size(), 1U) << content.substr(0, 40);
    EXPECT_TRUE(readFile(aside[0]) == content) << "kept as it was";
    fs::remove(aside[0]);
    store.WriteSettings("Dialog", "1");
    EXPECT_EQ(value("Log"), std::nullopt) << "a fresh file holds the one key";
  }
  writeFile(settingsFile(), "");
  EXPECT_TRUE(value("Dialog") == "" && setAside(settingsFile()).empty()) << "nothing to keep";
  writeFile(settingsFile(), "<A><Settings Dialog=\"0\"/><Settings Dialog=\"1\"/></A>");
  EXPECT_EQ(value("Dialog"), std::nullopt) << "two elements answer nothing";
}

// Files that people or other programs wrote: a rewrite changes the switch and nothing else.
TEST_F(StoresTest, RewritesKeepDeclarationsAndStayInProportion) {
  writeFile(settingsFile(),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE ZelbrinSettings>\n"
            "<ZelbrinSettings>\n    <Settings Note=\"caf\xe9\" />\n</ZelbrinSettings>\n");
  store.WriteSettings("Log", "1");
  EXPECT_EQ(readFile(settingsFile()),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE ZelbrinSettings>\n"
            "<ZelbrinSettings>\n    <Settings Note=\"caf\xe9\" Log=\"1\" />\n</ZelbrinSettings>\n");

  // A printer name beyond Latin-1 is kept whole, in UTF-8, and the declaration says so.
  writeFile(pairFile(), "<?xml version=\"1.0\" encoding=\"latin1\"?><Printer Sales=\"HP \xe9\"/>");
  util.addElementToXML("Lab", "\xd0\x9f\xd1\x80\xd0\xbe");
  EXPECT_EQ(readFile(pairFile()).substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(PrinterPair(util).mappedPrintersArray,
            (std::vector<std::string>{"Sales=HP \xc3\xa9", "Lab=\xd0\x9f\xd1\x80\xd0\xbe"}));

  const std::string nested = nestedIn(60, "<Settings/>");  // deep, yet within what is read
  writeFile(settingsFile(), nested);
  store.WriteSettings("Log", "1");
  EXPECT_EQ(value("Log"), "1");
  EXPECT_LT(fs::file_size(settingsFile()), 2 * nested.size()) << "no indentation growing with it";
}

TEST_F(StoresTest, PairFileKeepsOrderNeverReplacesAndSurvivesBrokenFiles) {
  // Keys are attribute names: ASCII letters and digits, beginning with a letter.
  for (const auto& [name, key] : {std::pair("2nd Floor (Copy)", "Printer2ndFloorCopy"),
                                  {"Ébène 3", "bne3"},
                                  {"   ", "Printer"}}) {
    EXPECT_EQ(XMLUtil::stringFilter(name), key) << name;
  }
  EXPECT_EQ(stderrOf([&] { util.deleteDataFromXMLFile("A"); }),
            "zelbrin-client: Could not write document out...\n");
  EXPECT_FALSE(fs::exists(support())) << "reading and deleting create nothing";
  util.addElementToXML("HP LaserJet 4000", "HP_LaserJet");
  util.addElementToXML("2nd Floor", "Floor & <Two> \"=\"");
  util.addElementToXML("HPLaserJet4000", "Other");
  EXPECT_EQ(PrinterPair(util).SetPrintersName(),
            (std::vector<std::string>{"HPLaserJet4000=HP_LaserJet",
                                      "Printer2ndFloor=Floor & <Two> \"=\""}));
  util.deleteDataFromXMLFile("HPLaserJet4000");
  EXPECT_EQ(util.loadDataFromXML(""), "Floor & <Two> \"=\"") << "the empty key: the last pair";

  // A damaged last line: the file goes aside untouched, the pairs read whole stay in use.
  const std::string damaged =
      "<?xml version=\"1.0\"?>\n<Printer Sales=\"HP 1\" Lab=\"Canon\"\n Office=\"Bro";
  writeFile(pairFile(), damaged);
  const JobFailure::Scope job;
  util.addElementToXML("New", "Brother");
  EXPECT_EQ(PrinterPair(util).mappedPrintersArray,
            (std::vector<std::string>{"Sales=HP 1", "Lab=Canon", "New=Brother"}))
      << "a value the damage cut short is not a pair";
  const std::vector<fs::path> aside = setAside(pairFile());
  ASSERT_EQ(aside.size(), 1U);
  EXPECT_EQ(readFile(aside[0]), damaged);
  EXPECT_NE(job.failure().value_or(JobFailure::Failure{}).message.english().find(aside[0].string()),
            std::string::npos)
      << "the user is told where it went";
}

TEST_F(StoresTest, LogEntriesAreAppendedInAsciiAndOnlyARegularFileIsDeleted) {
  fs::create_directories(support());
  log.Logging("Résumé \x80.pdf", "DocumentName");
  log.WriteLogData(std::nullopt, std::nullopt);
  Settings settings;
  settings.Copies = -3;
  settings.Collate = "true";
  log.LogSettings(settings);
  EXPECT_EQ(readFile(logFile()), entry("DocumentName", "R\\u00E9sum\\u00E9 \\x80.pdf") +
                                     entry("(null)", "(null)") + entry("DocumentName", "(null)") +
                                     entry("Color", "(null)") + entry("Collate", "true") +
                                     entry("Copies", "-3") + entry("ServerPrinterType", "(null)") +
                                     entry("PrinterName", "(null)"));
  log.deleteLogFile();
  EXPECT_FALSE(fs::exists(logFile()));
  log.Logging(std::string(50 << 20, 'x'), "DocumentName");
  EXPECT_EQ(fs::file_size(logFile()),
            entry("DocumentName", std::string(4096, 'x') + "\\u2026").size())
      << "a 50 MB document name is not 50 MB of log";
  log.deleteLogFile();

  writeFile(home.path() / "elsewhere", "kept");
  fs::create_symlink(home.path() / "elsewhere", logFile());
  log.deleteLogFile();
  EXPECT_TRUE(fs::is_symlink(logFile())) << "not ours to delete";
  fs::remove(logFile());

  fs::remove_all(support());
  EXPECT_NE(stderrOf([&] { log.Logging("x", "A"); }), "");
  EXPECT_FALSE(fs::exists(support())) << "the log never makes the support folder";
}

TEST_F(StoresTest, OptionsWindowActions) {
  store.awakeFromNib();
  const fs::path drive = home.path() / "Documents" / "ZbDataDrive";
  store.RedirectedFolder(PlainCheckBox{0});
  EXPECT_FALSE(fs::exists(drive));
  EXPECT_TRUE(alert.shown.empty()) << "nothing to set up when switching off";
  store.RedirectedFolder(PlainCheckBox{1});
  EXPECT_TRUE(fs::is_directory(drive));
  ASSERT_EQ(alert.shown.size(), 1U);
  EXPECT_EQ(alert.shown[0].messageText, "Folder Redirection");
  EXPECT_EQ(readFile(logFile()), entry("Message", "Redirected Folder value 0") +
                                     entry("Message", "Redirected Folder value 1"))
      << "a successful switch-on logs no error";

  // Whatever stands in the way is left alone, and the error is logged.
  fs::remove(drive);
  writeFile(drive, "a plain file");
  store.RedirectedFolder(PlainCheckBox{1});
  EXPECT_EQ(readFile(drive), "a plain file");
  EXPECT_NE(readFile(logFile()).find(entry("Message", "RedirectedFolderAlert Error")),
            std::string::npos);

  store.Log(PlainCheckBox{0});
  EXPECT_FALSE(fs::exists(logFile())) << "switching the log off deletes it";
}

TEST_F(StoresTest, StartUpMakesTheRedirectedFolderAndRemovesTheOldOneWithoutFollowingLinks) {
  const std::string documents = paths.documentsDirectory();
  const fs::path drive = home.path() / "Documents" / "ZbDataDrive";
  // Switch off, no value, a file in the way: nothing is made or touched.
  for (const char* settings : {"<Root><Settings RedirectedFolder=\"0\"/></Root>", "<Root/>"}) {
    writeFile(settingsFile(), settings);
    RedirectedFolderSetup::CreateMappedFolder(documents);
    EXPECT_FALSE(fs::exists(drive)) << settings;
  }
  writeFile(settingsFile(), "unreadable");  // "": made as if switched on
  writeFile(drive, "a file");
  RedirectedFolderSetup::CreateMappedFolder(documents);
  EXPECT_EQ(readFile(drive), "a file");
  fs::remove(drive);
  RedirectedFolderSetup::CreateMappedFolder(documents);
  EXPECT_TRUE(fs::is_directory(drive));

  const fs::path old = home.path() / "Documents" / "ZelbrinDrive";
  writeFile(old / "inner" / "pjob.data", "old job");
  RedirectedFolderSetup::OldFolderRemove(documents);
  EXPECT_FALSE(fs::exists(old));
  writeFile(home.path() / "keep" / "precious.txt", "mine");
  fs::create_directory_symlink(home.path() / "keep", old);
  RedirectedFolderSetup::OldFolderRemove(documents);
  EXPECT_FALSE(fs::exists(fs::symlink_status(old)));
  EXPECT_EQ(readFile(home.path() / "keep" / "precious.txt"), "mine") << "a link is not followed";
}

// What jobs left behind goes at start: nothing else, and nothing outside the folders.
TEST_F(StoresTest, StartUpClearsOldCopiesAndCutShortWritesOnly) {
  const fs::path copies = home.path() / "tmp" / "com.kestrova.ZelbrinClient";
  const fs::path outside = home.path() / "precious.pdf";
  for (const fs::path& file : {home.path() / "tmp" / "temp.txt", copies / "old.pdf",
                               copies / "in" / "old.pdf", outside, logFile()}) {
    writeFile(file, "old");
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(25));
  }
  for (const fs::path& file : {copies / "new.pdf", copies / ".new.pdf.tmp-a1B2c3",
                               support() / ".ZelbrinSettings.xml.tmp-Zz9Yy8"}) {
    writeFile(file, "new, or cut short");
  }
  fs::create_symlink(outside, copies / "link.pdf");  // old itself, to an old file
  const timespec times[2] = {{0, UTIME_OMIT}, {1, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (copies / "link.pdf").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);

  LeftoverFiles::removeAtStart(paths);
  std::vector<std::string> left;
  for (const auto& entry : fs::recursive_directory_iterator(home.path())) {
    left.push_back(entry.path().lexically_relative(home.path()));
  }
  std::sort(left.begin(), left.end());
  const std::string kept = "tmp/com.kestrova.ZelbrinClient";  // with its subfolder, link, new file
  EXPECT_EQ(left,
            (std::vector<std::string>{
                "Documents", "Documents/com.kestrova.ZelbrinClient",
                "Documents/com.kestrova.ZelbrinClient/ZelbrinLogFile.txt", "precious.pdf", "tmp",
                kept, kept + "/in", kept + "/in/old.pdf", kept + "/link.pdf", kept + "/new.pdf"}));
}

// Autostart entries, as the desktops' own settings read and write them.
TEST_F(StoresTest, LoginItemsAreOnePerProgramPathAndTheUsersChoiceStays) {
  XdgLoginItems items((home.path() / "autostart").string());
  const std::string agent = "/opt/Zelbrin \"Client\"/bin/zelbrin-client";
  EXPECT_EQ(items.stateOf(agent), LoginItems::State::Missing);
  ASSERT_TRUE(items.set(agent, true));
  const fs::path entry = home.path() / "autostart" / "zelbrin-client.desktop";
  EXPECT_NE(readFile(entry).find("Exec=\"/opt/Zelbrin \\\\\"Client\\\\\"/bin/zelbrin-client\""),
            std::string::npos);
  EXPECT_EQ(items.stateOf(agent), LoginItems::State::On);
  EXPECT_EQ(items.stateOf("/usr/bin/zelbrin-client"), LoginItems::State::Missing)
      << "a copy elsewhere is another program";
  ASSERT_TRUE(items.set("/usr/bin/zelbrin-client", true));
  EXPECT_TRUE(fs::exists(home.path() / "autostart" / "zelbrin-client-2.desktop"));

  // Turned off in the desktop's settings: off, and turned on again from the options window.
  writeFile(entry, readFile(entry) + "Hidden=true\n");
  EXPECT_EQ(items.stateOf(agent), LoginItems::State::Off);
  ASSERT_TRUE(items.set(agent, true));
  EXPECT_EQ(items.stateOf(agent), LoginItems::State::On);
  ASSERT_TRUE(items.set(agent, false));
  EXPECT_EQ(items.stateOf(agent), LoginItems::State::Off);
  EXPECT_TRUE(fs::exists(entry)) << "kept, switched off, so the next start leaves it alone";
}

}  // namespace
