#include <gtest/gtest.h>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
#include "ports/Alert.h"
#include "ports/PairTable.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  SettingsStoreTest() { store.connectOutlets({&mapped, &dialog, &log, &redirected}); }

  fs::path support() const { return home.path() / "Documents" / "com.kestrova.ZelbrinClient"; }
  fs::path file() const { return support() / "ZelbrinSettings.xml"; }
  std::string documents() const { return paths.documentsDirectory(); }
  std::optional<std::string> value(std::string_view key) const {
    return TableViewControler::GetOptionsValue(documents(), key);
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  XMLUtil util{paths};
  PlainCheckBox mapped{1};
  PlainCheckBox dialog{0};
  PlainCheckBox log{0};
  PlainCheckBox redirected{1};
  TableViewControler store{paths, util};
};

TEST_F(SettingsStoreTest, FirstStartWritesTheFourSwitchesFromTheBoxes) {
  EXPECT_EQ(value("Dialog"), "") << "without a file every switch reads as empty text";
  EXPECT_FALSE(TableViewControler::isOn(documents(), "Dialog"));
  EXPECT_FALSE(fs::exists(support())) << "reading a switch must not create the folder";

  store.awakeFromNib();
  EXPECT_EQ(value("MappedSettings"), "1");
  EXPECT_EQ(value("Dialog"), "0");
  EXPECT_EQ(value("Log"), "0");
  EXPECT_EQ(value("RedirectedFolder"), "1");
  EXPECT_EQ(value("log"), std::nullopt) << "keys are case-sensitive";
  // Written in the order RedirectedFolder, Dialog, MappedSettings, Log.
  const std::string xml = readFile(file());
  EXPECT_LT(xml.find("RedirectedFolder"), xml.find("Dialog"));
  EXPECT_LT(xml.find("Dialog"), xml.find("MappedSettings"));
  EXPECT_LT(xml.find("MappedSettings"), xml.find("Log"));

  store.WriteSettings("Dialog", "1");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(support())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"ZelbrinSettings.xml"}) << "no temporary files";
}

TEST_F(SettingsStoreTest, OnlyBoxesTaggedZeroStoreTheirSwitchExceptLog) {
  store.awakeFromNib();
  const PlainCheckBox foreignOn{1, 7};
  const PlainCheckBox foreignOff{0, 7};
  store.chkState(foreignOff);
  store.chkDialogState(foreignOn);
  store.RedirectedFolder(foreignOff);
  EXPECT_EQ(value("MappedSettings"), "1");
  EXPECT_EQ(value("Dialog"), "0");
  EXPECT_EQ(value("RedirectedFolder"), "1");
  EXPECT_FALSE(fs::exists(support() / "ZelbrinLogFile.txt")) << "an ignored sender logs nothing";

  store.Log(foreignOn);
  EXPECT_EQ(value("Log"), "1") << "the log switch does not look at the tag";
  store.chkDialogState(PlainCheckBox{-1});
  EXPECT_EQ(value("Dialog"), "-1") << "a mixed state is stored as it is, and reads as off";
  EXPECT_FALSE(TableViewControler::isOn(documents(), "Dialog"));
}

TEST_F(SettingsStoreTest, LaterStartNormalisesStoredValues) {
  writeFile(file(),
            "<?xml version=\"1.0\"?>\n<ZelbrinSettings><Settings Dialog=\"01\" Log=\" 1\" "
            "MappedSettings=\"off\"/></ZelbrinSettings>");
  EXPECT_FALSE(TableViewControler::isOn(documents(), "Dialog")) << "only \"1\" is on";
  store.awakeFromNib();
  EXPECT_EQ(dialog.state(), 1);
  EXPECT_EQ(log.state(), 1);
  EXPECT_EQ(mapped.state(), 0) << "text that is not a number reads as 0";
  EXPECT_EQ(value("Dialog"), "1");
  EXPECT_EQ(value("Log"), "1");
  EXPECT_EQ(value("MappedSettings"), "0");
  EXPECT_EQ(value("RedirectedFolder"), "1") << "a missing switch comes from its box";
}

TEST_F(SettingsStoreTest, EverySettingsElementIsReadAndWrittenWhereverItStands) {
  writeFile(file(),
            "<Root><Group><Settings Dialog=\"0\" Extra=\"x\"/></Group>"
            "<Settings Dialog=\"1\"/></Root>");
  EXPECT_EQ(value("Dialog"), std::nullopt) << "two elements answer nothing";
  store.LoadSettings();
  EXPECT_EQ(dialog.state(), 1) << "the later element is applied last";

  store.WriteSettings("Log", "1");
  const auto document = store.GetXML();
  ASSERT_TRUE(document);
  const auto found = document->select_nodes("//Settings");
  ASSERT_EQ(found.size(), 2U);
  for (const auto& node : found) EXPECT_STREQ(node.node().attribute("Log").value(), "1");
  EXPECT_STREQ(document->document_element().name(), "Root");
  // Attribute order is kept.
  const auto first = found.first().node();
  EXPECT_STREQ(first.first_attribute().name(), "Dialog");
  EXPECT_STREQ(first.first_attribute().next_attribute().name(), "Extra");
  EXPECT_STREQ(first.last_attribute().name(), "Log");
}

TEST_F(SettingsStoreTest, FileWithoutSettingsElementIsRewrittenUnchanged) {
  writeFile(file(), "<ZelbrinSettings><Other a=\"b\"/></ZelbrinSettings>");
  store.WriteSettings("Dialog", "1");
  EXPECT_EQ(value("Dialog"), std::nullopt);
  EXPECT_NE(readFile(file()).find("<Other a=\"b\""), std::string::npos);
}

TEST_F(SettingsStoreTest, UnusableFilesCountAsMissing) {
  for (const std::string content : {"", "not xml at all", "<ZelbrinSettings><Settings"}) {
    writeFile(file(), content);
    EXPECT_EQ(value("Dialog"), "") << content;
    EXPECT_FALSE(store.GetXML()) << content;
    store.WriteSettings("Dialog", "1");
    EXPECT_EQ(value("Dialog"), "1") << "replaced by a file holding the one key";
    EXPECT_EQ(value("Log"), std::nullopt);
    fs::remove(file());
  }

  fs::create_directories(file() / "inside");
  EXPECT_EQ(value("Dialog"), "");
  store.awakeFromNib();  // cannot replace a folder: reported, nothing else breaks
  EXPECT_TRUE(fs::is_directory(file()));

  fs::remove_all(support());
  writeFile(support(), "a file where the folder should be");
  store.awakeFromNib();
  EXPECT_EQ(value("Dialog"), "");
  EXPECT_EQ(readFile(support()), "a file where the folder should be");
}

}  // namespace

// The options window's actions, against an in-memory pair table and alert.
namespace {

class FakePairTable final : public PairTable {
 public:
  void removeAllRows() override {
    rows.clear();
    selected.reset();
  }
  void addRow(const std::string& name) override { rows.push_back(name); }
  std::size_t numberOfRows() const override { return rows.size(); }
  std::string rowName(std::size_t row) const override { return rows.at(row); }
  std::optional<std::size_t> selectedRow() const override { return selected; }
  void removeRow(std::size_t row) override {
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    selected.reset();
  }

  std::vector<std::string> rows;
  std::optional<std::size_t> selected;
};

class FakeAlert final : public Alert {
 public:
  void beginSheet(const Message& message, std::function<void(int)> didEnd) override {
    shown.push_back(message);
    pending = std::move(didEnd);
  }
  void close(int returnCode) {
    auto didEnd = std::move(pending);
    pending = nullptr;
    didEnd(returnCode);
  }

  std::vector<Message> shown;
  std::function<void(int)> pending;
};

class OptionsWindowActionsTest : public SettingsStoreTest {
 protected:
  OptionsWindowActionsTest() {
    store.setTheTable(&table);
    store.setAlert(&alert);
  }

  fs::path logFile() const { return support() / "ZelbrinLogFile.txt"; }
  fs::path redirectedFolder() const { return home.path() / "Documents" / "ZbDataDrive"; }
  static std::string entry(std::string_view data) {
    return "\r Message --> " + std::string(data) + " ";
  }

  FakePairTable table;
  FakeAlert alert;
};

TEST_F(OptionsWindowActionsTest, RedirectionOnMakesTheFolderAndTellsTheUser) {
  store.awakeFromNib();
  store.RedirectedFolder(PlainCheckBox{0});
  EXPECT_EQ(value("RedirectedFolder"), "0");
  EXPECT_FALSE(fs::exists(redirectedFolder()));
  EXPECT_TRUE(alert.shown.empty()) << "nothing to set up when switching off";

  store.RedirectedFolder(PlainCheckBox{1});
  EXPECT_TRUE(fs::is_directory(redirectedFolder()));
  EXPECT_EQ(value("RedirectedFolder"), "1");
  ASSERT_EQ(alert.shown.size(), 1U);
  EXPECT_EQ(alert.shown[0].messageText, "Folder Redirection");
  EXPECT_EQ(alert.shown[0].informativeText,
            "\r For Folder Redirection to work please add redirected folder to Microsoft Remote "
            "Desktop and reconnect to RDP session!");
  EXPECT_EQ(alert.shown[0].buttons, std::vector<std::string>{"Ok"});
  alert.close(0);
  EXPECT_EQ(readFile(logFile()),
            entry("Redirected Folder value 0") + entry("Redirected Folder value 1"))
      << "a successful switch-on logs no error";

  writeFile(redirectedFolder() / "pjob.data", "a job on its way");
  store.RedirectedFolder(PlainCheckBox{0});
  EXPECT_TRUE(fs::exists(redirectedFolder() / "pjob.data")) << "switching off deletes nothing";
}

TEST_F(OptionsWindowActionsTest, WhateverStandsAtTheFolderPathIsLeftAlone) {
  store.awakeFromNib();
  writeFile(redirectedFolder(), "a plain file");
  store.RedirectedFolder(PlainCheckBox{1});
  EXPECT_EQ(readFile(redirectedFolder()), "a plain file");
  EXPECT_EQ(readFile(logFile()),
            entry("Redirected Folder value 1") + entry("RedirectedFolderAlert Error"));

  // A link to nowhere counts as nothing there, and the folder cannot be made in its place.
  fs::remove(redirectedFolder());
  fs::create_symlink(home.path() / "gone" / "folder", redirectedFolder());
  store.RedirectedFolder(PlainCheckBox{1});
  EXPECT_EQ(readFile(logFile()),
            entry("Redirected Folder value 1") + entry("RedirectedFolderAlert Error") +
                entry("Redirected Folder value 1") + entry("RedirectedFolderAlert Error"));
  EXPECT_EQ(value("RedirectedFolder"), "1") << "stored as on all the same";
}

TEST_F(OptionsWindowActionsTest, TheTableListsThePairsAndRemovesTheSelectedOne) {
  util.addElementToXML("Office Laser", "HP=Colour");
  util.addElementToXML("2nd Floor", "Brother");
  store.awakeFromNib();
  EXPECT_EQ(table.rows,
            (std::vector<std::string>{"OfficeLaser=HP=Colour", "Printer2ndFloor=Brother"}));
  EXPECT_EQ(store.numberOfRowsInTableView(), 2U);

  store.btn();
  EXPECT_EQ(table.rows.size(), 2U) << "no selection, nothing removed";
  EXPECT_TRUE(util.attributExist("OfficeLaser"));

  table.selected = 0;
  testing::internal::CaptureStderr();
  store.btn();
  EXPECT_NE(testing::internal::GetCapturedStderr().find("OfficeLaser=HP=Colour"),
            std::string::npos);
  EXPECT_EQ(table.rows, std::vector<std::string>{"Printer2ndFloor=Brother"});
  EXPECT_FALSE(util.attributExist("OfficeLaser")) << "cut at the first \"=\"";
  EXPECT_TRUE(util.attributExist("Printer2ndFloor"));

  // A pair added by a job shows at the next refill; the table does not keep stale rows.
  util.addElementToXML("Reception", "Canon");
  store.populateTable();
  EXPECT_EQ(table.rows, (std::vector<std::string>{"Printer2ndFloor=Brother", "Reception=Canon"}));
}

}  // namespace
