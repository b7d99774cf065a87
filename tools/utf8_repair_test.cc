#include <gtest/gtest.h>

#include <string>

#include "tools/utf8_repair.h"

namespace qora::tools {
namespace {

TEST(PageEncodingTest, Utf8ValidityFollowsTheUnicodeTable) {
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8("plain \xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("caf\xe9"));           // a Latin-1 byte
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));          // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xe0\x80\xaf"));      // overlong "/"
  EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(IsValidUtf8("\xe2\x82"));          // cut off
  EXPECT_FALSE(IsValidUtf8("\x80"));              // stray continuation
}

TEST(PageEncodingTest, RepairReadsStrayBytesAsWindows1252) {
  EXPECT_EQ("caf\xc3\xa9", RepairUtf8("caf\xe9"));
  EXPECT_EQ("\xe2\x82\xac 5", RepairUtf8("\x80 5"));
  EXPECT_EQ("\xe2\x80\xa2", RepairUtf8("\x95"));
  EXPECT_EQ("ok \xc3\xa9 and \xc3\xa9", RepairUtf8("ok \xc3\xa9 and \xe9"));
  EXPECT_EQ("ab", RepairUtf8("a\xef\xbb\xbf"
                             "b"));                             // the byte-order mark goes
  EXPECT_EQ("x\xc3\xa2\xe2\x80\x9a", RepairUtf8("x\xe2\x82"));  // a cut-off euro sign
  EXPECT_TRUE(IsValidUtf8(RepairUtf8(std::string("\xff\xfe\0\xc3", 4))));
}

}  // namespace
}  // namespace qora::tools
