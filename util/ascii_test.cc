#include "util/ascii.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

TEST(AsciiTest, LowerCasingTouchesOnlyAToZ) {
  EXPECT_EQ(AsciiLower(std::string_view("AZaz09@[`{ \xC0\xC9\xFF")), "azaz09@[`{ \xC0\xC9\xFF");
  std::string text = "MiXeD Case";
  AsciiLowerInPlace(&text);
  EXPECT_EQ(text, "mixed case");
  EXPECT_EQ(AsciiUpper(std::string_view("azAZ09@[`{ \xE0\xFF")), "AZAZ09@[`{ \xE0\xFF");
}

TEST(AsciiCaseTest, OnlyAsciiLettersChange) {
  EXPECT_EQ(AsciiUpper("abc XyZ 09 \xe9\xff"), "ABC XYZ 09 \xe9\xff");
  EXPECT_EQ(AsciiLower("ABC xYz 09 \xc9\xdd"), "abc xyz 09 \xc9\xdd");
}

TEST(AsciiTest, HexDigitsOfEitherCaseAndNothingElse) {
  EXPECT_EQ(HexDigitValue('0'), 0);
  EXPECT_EQ(HexDigitValue('9'), 9);
  EXPECT_EQ(HexDigitValue('a'), 10);
  EXPECT_EQ(HexDigitValue('F'), 15);
  for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0', '\xFF'}) EXPECT_EQ(HexDigitValue(c), -1);
}

}  // namespace
}  // namespace qora
