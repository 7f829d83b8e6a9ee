#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/PrinterPair.h"
#include "config/XMLUtil.h"
#include "support/Fakes.h"

namespace fs = std::filesystem;

namespace {

std::string pairFile(std::string_view root) {
  return "<?xml version=\"1.0\"?>\n" + std::string(root) + "\n";
}

ino_t inode(const fs::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_ino;
}

class PrinterPairTest : public ::testing::Test {
 protected:
  fs::path support() const { return home.path() / "Documents" / "com.kestrova.ZelbrinClient"; }
  fs::path file() const { return support() / "PrinterPair.xml"; }
  std::vector<std::string> pairs() const { return PrinterPair(util).SetPrintersName(); }
  std::string deleteAndReport(std::string_view key) {
    testing::internal::CaptureStderr();
    util.deleteDataFromXMLFile(key);
    return testing::internal::GetCapturedStderr();
  }

  TempFolder home;
  FixedPaths paths{home.path()};
  XMLUtil util{paths};
};

TEST(StringFilterTest, KeysAreAsciiLettersAndDigitsBeginningWithALetter) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"HP LaserJet 4000", "HPLaserJet4000"},
      {"2nd Floor (Copy)", "Printer2ndFloorCopy"},
      {"_Office-1", "PrinterOffice1"},
      {"Ébène 3", "bne3"},
      {"€uro", "Printeruro"},
      {"\U0001D400BC", "PrinterBC"},  // 𝐀 is no BMP unit
      {"\xC3HP", "PrinterHP"},
      {"HP\tLaser", "HPLaser"},
      // Nothing left, or a digit in front, would be no attribute name.
      {"", "Printer"},
      {"   ", "Printer"},
      {"123", "Printer123"},
      {"日本", "Printer"},
      {"É 3", "Printer3"},
  };
  for (const auto& [name, key] : cases) {
    EXPECT_EQ(XMLUtil::stringFilter(name), key) << name;
    EXPECT_EQ(XMLUtil::stringFilter(key), key) << "a key filters to itself";
  }
  EXPECT_EQ(XMLUtil::checkIfStringIsDigit("1a"), "Printer 1a");
  EXPECT_EQ(XMLUtil::checkIfStringIsDigit("Été"), "Été");
}

TEST_F(PrinterPairTest, PairsKeepTheirOrderAndAreNeverReplacedByAdding) {
  util.addElementToXML("HP LaserJet 4000", "HP_LaserJet");
  EXPECT_EQ(readFile(file()), pairFile("<Printer HPLaserJet4000=\"HP_LaserJet\" />"));
  util.addElementToXML("2nd Floor", "Floor & <Two> \"=\" bär");
  util.addElementToXML("HPLaserJet4000", "Other");
  util.addElementToXML("3rd", "Third");  // a key beginning with a digit gains the prefix
  EXPECT_EQ(readFile(file()), pairFile("<Printer HPLaserJet4000=\"HP_LaserJet\" Printer2ndFloor="
                                       "\"Floor &amp; &lt;Two> &quot;=&quot; bär\" "
                                       "Printer3rd=\"Third\" />"));
  EXPECT_EQ(util.loadDataFromXML("Printer2ndFloor"), "Floor & <Two> \"=\" bär");
  EXPECT_EQ(util.loadDataFromXML(""), "Third") << "the empty key answers the last pair";
  EXPECT_FALSE(util.attributExist("hplaserjet4000"));
  EXPECT_FALSE(util.attributExist(std::string("Printer3rd\0x", 12)));

  const ino_t before = inode(file());
  EXPECT_EQ(deleteAndReport("Unknown"), "");
  EXPECT_NE(inode(file()), before) << "replaced, not rewritten in place";
  EXPECT_EQ(std::distance(fs::directory_iterator(support()), {}), 1) << "no temporary files";
  for (const char* key : {"HPLaserJet4000", "Printer2ndFloor", "Printer3rd"}) {
    util.deleteDataFromXMLFile(key);
  }
  EXPECT_EQ(readFile(file()), pairFile("<Printer />"));
  EXPECT_EQ(util.loadDataFromXML(""), std::nullopt);
}

TEST_F(PrinterPairTest, MissingOrBrokenFileAnswersNothingUntilTheNextAddition) {
  EXPECT_EQ(util.loadDataFromXML(""), std::nullopt);
  EXPECT_FALSE(util.attributExist("A"));
  EXPECT_TRUE(pairs().empty());
  EXPECT_EQ(deleteAndReport("A"), "Could not write document out...\n");
  EXPECT_FALSE(fs::exists(support())) << "reading and deleting create nothing";

  writeFile(file(), "<Printer A=\"1\"");
  EXPECT_FALSE(util.getXMLDocument());
  EXPECT_EQ(deleteAndReport("A"), "Could not write document out...\n");
  EXPECT_EQ(readFile(file()), "<Printer A=\"1\"");
  util.addElementToXML("B", "2");
  EXPECT_EQ(readFile(file()), pairFile("<Printer B=\"2\" />"));
}

TEST_F(PrinterPairTest, OnlyTheRootsAttributesArePairsAndTheRestIsKept) {
  writeFile(file(),
            "<!-- by hand --><Pairs Z=\"z\" A=\"a\" A=\"again\"><?app x?><Child Q=\"q\"/></Pairs>");
  util.deleteDataFromXMLFile("A");  // a key named twice by hand goes entirely
  util.addElementToXML("M", "m");
  EXPECT_FALSE(util.attributExist("Q"));
  EXPECT_EQ(readFile(file()), pairFile("<!-- by hand -->\n<Pairs Z=\"z\" M=\"m\">\n    <?app x?>\n"
                                       "    <Child Q=\"q\" />\n</Pairs>"));
}

TEST_F(PrinterPairTest, NamesWithoutUsableCharactersKeepTheFileReadable) {
  for (const std::string name : {"   ", "4711", "Мос"}) util.addElementToXML(name, "L" + name);
  EXPECT_EQ(pairs(), (std::vector<std::string>{"Printer=L   ", "Printer4711=L4711"}));
}

TEST_F(PrinterPairTest, ListIsASnapshotWhoseTextsAreCutAtTheFirstEquals) {
  util.addElementToXML("Lab", "Queue=A=B");
  const PrinterPair list(util);
  util.addElementToXML("Hall", "H");
  ASSERT_EQ(list.mappedPrintersArray, std::vector<std::string>{"Lab=Queue=A=B"});
  const std::string& text = list.mappedPrintersArray.front();
  EXPECT_EQ(util.loadDataFromXML(text.substr(0, text.find('='))), "Queue=A=B");
  EXPECT_EQ(list.SetPrintersName().size(), 2U);
  EXPECT_EQ(list.getSavePath(), support().string());
}

TEST_F(PrinterPairTest, UnwritableSupportFolderBreaksNothing) {
  writeFile(support(), "a file where the folder should be");
  testing::internal::CaptureStderr();
  util.addElementToXML("A", "1");
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(deleteAndReport("A"), "Could not write document out...\n");
  EXPECT_FALSE(util.attributExist("A"));
  EXPECT_EQ(readFile(support()), "a file where the folder should be");
}

}  // namespace
