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

TEST(Settings, FolderJobTextIsReadByPositionAndKeyword) {
  RecordingPrintSystem printers;
  const auto settings = Settings::GetPrintSettings(folderJob("ZelbrinDefault"), printers);
  ASSERT_TRUE(settings);
  EXPECT_EQ((std::vector<std::optional<std::string>>{settings->Tray, settings->Duplex,
                                                     settings->Color, settings->DocumentName,
                                                     settings->Job, settings->Collate,
                                                     settings->PrinterName}),
            (std::vector<std::optional<std::string>>{"2", "DUPLEXTUMBLE", "Color", "report.pdf",
                                                     "UEFZ", "true", "Office Printer"}));
  EXPECT_EQ(settings->Copies, 3);
  EXPECT_FALSE(settings->ShowPrintPanel);
  EXPECT_EQ(Settings::GetPrintSettings(folderJob("ZelbrinDefault", ""), printers)->Copies, 0);

  const auto dialog = Settings::GetPrintSettings(folderJob("ZelbrinPrinter"), printers);
  EXPECT_TRUE(dialog->ShowPrintPanel);
  EXPECT_EQ(dialog->PrinterName, std::nullopt) << "the dialog chooses the printer";
  EXPECT_EQ(Settings::GetPrintSettings(folderJob("zelbrindefault"), printers)->PrinterName,
            std::nullopt)
      << "only the exact keyword takes the default";

  const std::string noCollate =
      "ZelbrinDefault1!1!1!*2*!1!1!1!*NONE*!1!1!1!*Color*!1!1!1!report.pdf1!1!1!UEFZ";
  // The keyword would sit where collate is read.
  for (const std::string& broken : {noCollate, noCollate + "*3*", std::string()}) {
    EXPECT_EQ(Settings::GetPrintSettings(broken, printers), std::nullopt) << broken;
  }
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
      {"0", std::nullopt},
      {"abc", std::nullopt},
      {"default", std::nullopt},
  };
  for (const auto& [tray, slot] : trays) EXPECT_EQ(InputSlot::choose(tray, slots), slot) << tray;
  EXPECT_EQ(InputSlot::choose("Default", std::nullopt), std::nullopt);
}

}  // namespace
