#include <gtest/gtest.h>

#include <string>

#include "tools/charset_conversion.h"

namespace qora::tools {
namespace {

TEST(PageEncodingTest, ConversionKeepsGoingAfterInvalidBytes) {
  std::string utf8;
  ASSERT_TRUE(ConvertToUtf8("\xf0\xd2\xc9\xd7\xc5\xd4", "KOI8-R", &utf8));
  EXPECT_EQ("\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82", utf8);  // "Привет"
  // 0x93 0xFA is a kanji in Shift_JIS; a lone 0x93 at the end is cut off
  // and is read as the Windows-1252 left double quotation mark.
  ASSERT_TRUE(ConvertToUtf8("\x93\xfa x \x93", "CP932", &utf8));
  EXPECT_EQ("\xe6\x97\xa5 x \xe2\x80\x9c", utf8);
  EXPECT_FALSE(ConvertToUtf8("abc", "NO-SUCH-CHARSET-QORA", &utf8));
}

TEST(PageEncodingTest, PageAsUtf8UsesTheDeclarationOrFallsBack) {
  const std::string declared = "<meta charset=iso-8859-15><p>\xa4</p>";
  EXPECT_EQ("<meta charset=iso-8859-15><p>\xe2\x82\xac</p>", PageAsUtf8(declared));
  EXPECT_EQ("<p>caf\xc3\xa9</p>", PageAsUtf8("<p>caf\xe9</p>"));
  EXPECT_EQ("<meta charset=utf-8>\xc3\xa9\xc3\xa9", PageAsUtf8("<meta charset=utf-8>\xc3\xa9\xe9"));
  EXPECT_EQ("<meta charset=x-unknown>\xc3\xa9", PageAsUtf8("<meta charset=x-unknown>\xe9"));
  EXPECT_EQ("<meta charset=ibm037>caf\xc3\xa9", PageAsUtf8("<meta charset=ibm037>caf\xe9"));
  EXPECT_EQ("ab", PageAsUtf8(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace qora::tools
