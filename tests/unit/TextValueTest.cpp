#include <gtest/gtest.h>

#include "intake/TextValue.h"

namespace {

TEST(TextValue, IntegersAreReadByTheirLeadingDigits) {
  EXPECT_EQ(TextValue::integerValue("3"), 3);
  EXPECT_EQ(TextValue::integerValue("3*"), 3);
  EXPECT_EQ(TextValue::integerValue("  \t42abc"), 42);
  EXPECT_EQ(TextValue::integerValue("-7"), -7);
  EXPECT_EQ(TextValue::integerValue("+5"), 5);
  EXPECT_EQ(TextValue::integerValue(""), 0);
  EXPECT_EQ(TextValue::integerValue("x1"), 0);
  EXPECT_EQ(TextValue::integerValue("99999999999999999999"), 2147483647);
  EXPECT_EQ(TextValue::integerValue("-99999999999999999999"), -2147483647 - 1);
}

TEST(TextValue, FlagsAreReadByTheirFirstCharacter) {
  EXPECT_TRUE(TextValue::boolValue("true"));
  EXPECT_TRUE(TextValue::boolValue("TRUE"));
  EXPECT_TRUE(TextValue::boolValue("yes"));
  EXPECT_TRUE(TextValue::boolValue(" 007"));
  EXPECT_FALSE(TextValue::boolValue("false"));
  EXPECT_FALSE(TextValue::boolValue(""));
  EXPECT_FALSE(TextValue::boolValue("000"));
  EXPECT_FALSE(TextValue::boolValue("no"));
}

}  // namespace
