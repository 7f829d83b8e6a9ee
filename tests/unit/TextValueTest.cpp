#include <gtest/gtest.h>

#include "core/TextValue.h"

namespace {

TEST(TextValue, IntegersByLeadingDigitsAndFlagsByFirstCharacter) {
  const std::pair<std::string_view, int> integers[] = {
      {"3", 3},
      {"3*", 3},
      {"  \t42abc", 42},
      {"-7", -7},
      {"+5", 5},
      {"", 0},
      {"x1", 0},
      {"99999999999999999999", 2147483647},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& [text, value] : integers)
    EXPECT_EQ(TextValue::integerValue(text), value) << text;
  for (const char* on : {"true", "TRUE", "yes", " 007"})
    EXPECT_TRUE(TextValue::boolValue(on)) << on;
  for (const char* off : {"false", "", "000", "no"}) EXPECT_FALSE(TextValue::boolValue(off)) << off;
}

}  // namespace
