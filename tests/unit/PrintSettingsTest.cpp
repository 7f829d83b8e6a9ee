#include <gtest/gtest.h>

#include "printing/InputSlot.h"
#include "printing/Settings.h"
#include "support/PrintFakes.h"

namespace {

// A complete folder job text: keyword, settings block, name, payload, collate, then the tail.
std::string folderJob(std::string_view keyword, std::string_view tail = "1!1!1!*3*") {
  return std::string(keyword) +
         "1!1!1!*2*!1!1!1!*DUPLEXTUMBLE*!1!1!1!*Color*!1!1!1!report.pdf1!1!1!UEFZ1!1!1!true" +
         std::string(tail);
}

TEST(Settings, FolderJobIsReadByPosition) {
  RecordingPrintSystem printers;
  const auto settings = Settings::GetPrintSettings(folderJob("ZelbrinDefault"), printers);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->Tray, "2");
  EXPECT_EQ(settings->Duplex, "DUPLEXTUMBLE");
  EXPECT_EQ(settings->Color, "Color");
  EXPECT_EQ(settings->DocumentName, "report.pdf");
  EXPECT_EQ(settings->Job, "UEFZ");
  EXPECT_EQ(settings->Collate, "true");
  EXPECT_EQ(settings->ServerPrinterType, "ZelbrinDefault");
  EXPECT_EQ(settings->Copies, 3);
  EXPECT_FALSE(settings->ShowPrintPanel);
  EXPECT_EQ(settings->PrinterName, "Office Printer");

  EXPECT_EQ(Settings::GetPrintSettings(folderJob("ZelbrinDefault", ""), printers)->Copies, 0);
  EXPECT_EQ(Settings::GetPrintSettings(folderJob("ZelbrinDefault", "1!1!1!*x*"), printers)->Copies,
            0);
}

TEST(Settings, KeywordDecidesDialogAndPrinter) {
  RecordingPrintSystem printers;
  const auto dialog = Settings::GetPrintSettings(folderJob("ZelbrinPrinter"), printers);
  EXPECT_TRUE(dialog->ShowPrintPanel);
  EXPECT_EQ(dialog->PrinterName, std::nullopt) << "the dialog chooses the printer";
  const auto oddCase = Settings::GetPrintSettings(folderJob("zelbrindefault"), printers);
  EXPECT_FALSE(oddCase->ShowPrintPanel);
  EXPECT_EQ(oddCase->PrinterName, std::nullopt) << "only the exact keyword takes the default";

  printers.defaultName.reset();
  EXPECT_EQ(Settings::GetPrintSettings(folderJob("ZelbrinDefault"), printers)->PrinterName,
            std::nullopt);

  EXPECT_TRUE(Settings::GetValuePrintPanel("ZelbrinPrinter"));
  EXPECT_FALSE(Settings::GetValuePrintPanel("ZELBRINPRINTER"));
  EXPECT_FALSE(Settings::GetValuePrintPanel("ZelbrinDefault"));
}

TEST(Settings, TextsMissingAPieceAreRejected) {
  RecordingPrintSystem printers;
  const std::string noCollate =
      "ZelbrinDefault1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!report.pdf1!1!1!UEFZ";
  EXPECT_EQ(Settings::GetPrintSettings(noCollate, printers), std::nullopt);
  // As many entries as a complete text without copies, but the keyword sits where collate is.
  EXPECT_EQ(Settings::GetPrintSettings(noCollate + "*3*", printers), std::nullopt);
  EXPECT_EQ(Settings::GetPrintSettings("ZelbrinDefault1!1!1!a.pdf1!1!1!UEFZ1!1!1!true", printers),
            std::nullopt);
  EXPECT_EQ(Settings::GetPrintSettings("", printers), std::nullopt);
}

TEST(Settings, DuplexNamesIgnoreCaseAndTraysPickASlot) {
  const std::pair<std::string_view, int> duplex[] = {
      {"NONE", 1}, {"DuplexNoTumble", 2}, {"duplextumble", 3}, {"", 1}, {"DUPLEXTUMBLE ", 1}};
  for (const auto& [name, number] : duplex) EXPECT_EQ(Settings::DuplexNumber(name), number) << name;

  const std::optional<std::vector<std::string>> slots = std::vector<std::string>{"A", "B", "C"};
  // Negative numbers read as large unsigned ones.
  const std::pair<std::string_view, std::optional<std::string>> trays[] = {
      {"Default", "Default"},
      {" +2x", "B"},
      {"9", "C"},
      {"-1", "C"},
      {"-2147483648", "C"},
      {"0", std::nullopt},
      {"abc", std::nullopt},
      {"default", std::nullopt},
  };
  for (const auto& [tray, slot] : trays) EXPECT_EQ(InputSlot::choose(tray, slots), slot) << tray;
  EXPECT_EQ(InputSlot::choose("Default", std::nullopt), std::nullopt);
  EXPECT_EQ(InputSlot::choose("1", std::vector<std::string>{}), std::nullopt);
}

}  // namespace
