// The colour rules shared by layout objects and documents.
#include "Colors.h"

#include <gtest/gtest.h>

#include "Accessors.h"
#include "Runtime.h"

using namespace nv;

namespace {

// The test layout objects apply to a colour value: its trimmed text form is a six-digit colour.
bool IsHexColorValue(const Value& v) { return IsHexColor(AllTrim(ValueString(v))); }

}  // namespace

TEST(Colors, HexColorIsHashAndSixDigitsInAnyCase) {
  EXPECT_TRUE(IsHexColorValue(Value("#A1b2C3")));
  EXPECT_TRUE(IsHexColorValue(Value("  #a1b2c3 ")));
  EXPECT_FALSE(IsHexColorValue(Value("#fff")));
  EXPECT_FALSE(IsHexColorValue(Value("#12345g")));
  EXPECT_FALSE(IsHexColorValue(Value("123456#")));
  EXPECT_FALSE(IsHexColorValue(Value(123456)));
  // Untrimmed text is not a colour: callers trim where their rule says so.
  EXPECT_FALSE(IsHexColor(" #a1b2c3"));
  EXPECT_FALSE(IsHexColor("#a1b2c3 "));
}

TEST(Colors, NormalizeHexColorLowerCasesOrFallsBackToBlack) {
  EXPECT_EQ(NormalizeHexColor(Value(" #ABCDEF ")), "#abcdef");
  EXPECT_EQ(NormalizeHexColor(Value("#fff")), "#000000");
  EXPECT_EQ(NormalizeHexColor(Value("red")), "#000000");
  EXPECT_EQ(NormalizeHexColor(Value()), "#000000");
  EXPECT_EQ(NormalizeHexColor(Value("transparent")), "#000000");
}

TEST(Colors, NormalizeTextColorDoublesShortFormsAndNeverGivesTransparent) {
  EXPECT_EQ(NormalizeTextColor(Value("#ABC")), "#aabbcc");
  EXPECT_EQ(NormalizeTextColor(Value(" #FF0000 ")), "#ff0000");
  EXPECT_EQ(NormalizeTextColor(Value("#ff000000")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("#ff000080")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("rgba(255,0,0, .00 )")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("rgb(255,0,0)")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("red")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("Transparent")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value()), "#000000");

  EXPECT_EQ(NormalizeTextColor(Value("rgba(0,0,0,0.5)")), "#000000");
  EXPECT_EQ(NormalizeTextColor(Value("#AbCdEf")), "#abcdef");
}
