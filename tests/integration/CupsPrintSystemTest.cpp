#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/CupsPrintSystem.h"

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(CupsPrintSystemTest, PrintersAreNamedByTheirDescription) {
  CupsPrintSystem cups;
  const auto names = cups.printerNames();
  EXPECT_TRUE(contains(names, "Office Tray Printer"));
  EXPECT_TRUE(contains(names, "Raw Capture"));
  EXPECT_FALSE(contains(names, "zelbrin-tray")) << "queue names are not what users see";
}

TEST(CupsPrintSystemTest, NoSchedulerMeansNoPrinters) {
  cupsSetServer("127.0.0.1:1");
  CupsPrintSystem cups;
  EXPECT_TRUE(cups.printerNames().empty());
  cupsSetServer(nullptr);
}

}  // namespace
