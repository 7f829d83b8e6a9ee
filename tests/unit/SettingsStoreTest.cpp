#include <gtest/gtest.h>

#include "config/TableViewControler.h"
#include "config/XMLUtil.h"
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

TEST_F(SettingsStoreTest, WithoutAFileEverySwitchReadsAsEmptyText) {
  EXPECT_EQ(value("Dialog"), "");
  EXPECT_FALSE(TableViewControler::isOn(documents(), "Dialog"));
  EXPECT_FALSE(fs::exists(support())) << "reading a switch must not create the folder";
}

TEST_F(SettingsStoreTest, FirstStartWritesTheFourSwitchesFromTheBoxes) {
  store.awakeFromNib();
  ASSERT_TRUE(fs::exists(file()));
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
}

TEST_F(SettingsStoreTest, UnwritableSupportFolderBreaksNothing) {
  writeFile(support(), "a file where the folder should be");
  store.awakeFromNib();
  EXPECT_EQ(value("Dialog"), "");
  EXPECT_EQ(readFile(support()), "a file where the folder should be");
}

TEST_F(SettingsStoreTest, WritesLeaveNoTemporaryFiles) {
  store.awakeFromNib();
  store.WriteSettings("Dialog", "1");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(support())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"ZelbrinSettings.xml"});
}

}  // namespace
