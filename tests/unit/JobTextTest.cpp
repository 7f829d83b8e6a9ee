#include <gtest/gtest.h>

#include "core/JobText.h"

namespace {

using Strings = std::vector<std::string>;

TEST(JobText, ViewsKeepEmptyPieces) {
  EXPECT_EQ(JobText::fieldView("a1!1!1!1!1!1!b").size(), 3U);
  EXPECT_EQ(JobText::fieldView("1!1!1!"), (std::vector<std::string_view>{"", ""}));
  EXPECT_EQ(JobText::fieldView("no separator"), (std::vector<std::string_view>{"no separator"}));
  EXPECT_EQ(JobText::starView("**a*"), (std::vector<std::string_view>{"", "", "a", ""}));
  // "1!1!1!1!1!1!" is two separators, not three overlapping ones.
  EXPECT_EQ(JobText::fieldView("x1!1!1!1!1!1!1!y"),
            (std::vector<std::string_view>{"x", "", "1!y"}));
}

TEST(JobText, KeywordsAreSortedByTheirUpperCasedForm) {
  EXPECT_EQ(JobText::keyword("ZelbrinSave1!1!1!rest"), "ZelbrinSave");
  EXPECT_EQ(JobText::classify("zelbrinSAVE"), JobText::Kind::Product);
  EXPECT_EQ(JobText::classify("ZelbrinOpenUrl"), JobText::Kind::Other) << "folder only";
  EXPECT_EQ(JobText::classify("userdefinedpdf*"), JobText::Kind::UserDefinedPdf);
  EXPECT_EQ(JobText::classify("UserDefinedDriver"), JobText::Kind::UserDefinedDriver);
  EXPECT_EQ(JobText::classify("USERDEFINEDPDF"), JobText::Kind::Other);
  EXPECT_EQ(JobText::classify(""), JobText::Kind::Other);
  EXPECT_EQ(JobText::upperCased("a\xc3\xa9z"), "A\xc3\xa9Z") << "only ASCII letters change";
}

TEST(JobText, ProductSettingsAreReadByPosition) {
  const std::string full =
      "ZelbrinPrinter1!1!1!*1*!1!1!1!*DUPLEXTUMBLE*!1!1!1!*Color*!1!1!1!doc.pdf1!1!1!UEFZ"
      "1!1!1!true1!1!1!*3*";
  EXPECT_EQ(JobText::productSettings(full), (Strings{"1", "DUPLEXTUMBLE", "Color", "true", "3"}));

  const std::string noCopies =
      "ZelbrinPrinter1!1!1!*1*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!doc.pdf1!1!1!UEFZ1!1!1!false";
  EXPECT_EQ(JobText::productSettings(noCopies), (Strings{"1", "NONE", "Color", "false"}));

  const std::string openCopies = noCopies + "1!1!1!*12";
  EXPECT_EQ(JobText::productSettings(openCopies)->back(), "12");

  EXPECT_EQ(JobText::productSettings("ZelbrinSave1!1!1!doc.pdf1!1!1!UEFZ"), Strings{});
  EXPECT_EQ(JobText::productSettings("ZelbrinSave1!1!1!*Default*!1!1!1!*NONE"), std::nullopt);
  EXPECT_EQ(JobText::productSettings("ZelbrinSave1!1!1!*a*!1!1!1!*b*!1!1!1!*c!1!1!1!n1!1!1!UEFZ"),
            std::nullopt)
      << "five stars: the colour would run to the end of the text";
  EXPECT_EQ(JobText::productSettings("ZelbrinSave1!1!1!a1!1!1!b1!1!1!c1!1!1!d1!1!1!e1!1!1!f"),
            std::nullopt);
}

TEST(JobText, FolderSettingsAlsoCarryNamePayloadAndKeyword) {
  const std::string text =
      "ZelbrinDefault1!1!1!*Default*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!a.pdf1!1!1!UEFZ"
      "1!1!1!true1!1!1!*2*";
  EXPECT_EQ(JobText::folderSettings(text),
            (Strings{"Default", "NONE", "Color", "a.pdf", "UEFZ", "true", "ZelbrinDefault", "2"}));
  EXPECT_EQ(JobText::folderSettings("ZelbrinDefault1!1!1!a.pdf1!1!1!UEFZ"), std::nullopt);
}

TEST(JobText, SettingsBlockIsCutOutEverywhereInPlace) {
  const std::string block = JobText::settingsBlock("1", "NONE", "Color");
  EXPECT_EQ(block, "*1*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!");
  std::string text = "K1!1!1!" + block + "name" + block + "1!1!1!payload" + block;
  JobText::eraseAll(text, block);
  EXPECT_EQ(text, "K1!1!1!name1!1!1!payload");
  std::string untouched = "abc";
  JobText::eraseAll(untouched, "");
  JobText::eraseAll(untouched, "zz");
  EXPECT_EQ(untouched, "abc");
}

TEST(JobText, Utf8Validation) {
  for (const char* valid : {"", "plain ascii text that is longer than eight bytes",
                            "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8"}) {
    EXPECT_TRUE(JobText::isValidUtf8(valid)) << valid;
  }
  // Stray byte, cut short, overlong NUL, surrogate, past U+10FFFF, after an ASCII run.
  for (const char* invalid : {"\xff", "ab\xc3", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80",
                              "12345678\x80"
                              "abc"}) {
    EXPECT_FALSE(JobText::isValidUtf8(invalid)) << invalid;
  }
}

}  // namespace
