#include <gtest/gtest.h>

#include <string>

#include "tools/charset_detection.h"

namespace qora::tools {
namespace {

TEST(PageEncodingTest, DeclaredCharsetComesFromMetaTagsOnly) {
  EXPECT_EQ("utf-8", DeclaredCharset("<head><meta charset=\"UTF-8\"><title>"));
  EXPECT_EQ("windows-1252", DeclaredCharset("<META HTTP-EQUIV=\"Content-Type\" "
                                            "CONTENT=\"text/html; charset=Windows-1252\">"));
  EXPECT_EQ("koi8-r", DeclaredCharset("<meta name=x><meta content='text/html;charset = koi8-r'>"));
  EXPECT_EQ("", DeclaredCharset("<p>set charset=latin1 in the text</p>"));
  EXPECT_EQ("", DeclaredCharset("<meta charset=>"));
  EXPECT_EQ("", DeclaredCharset(""));
}

TEST(PageEncodingTest, CharsetLabelsAreReadAsBrowsersReadThem) {
  EXPECT_EQ("", IconvCharsetFor("utf-8"));
  EXPECT_EQ("", IconvCharsetFor("utf-16"));
  EXPECT_EQ("", IconvCharsetFor(""));
  EXPECT_EQ("WINDOWS-1252", IconvCharsetFor("iso-8859-1"));
  EXPECT_EQ("WINDOWS-1252", IconvCharsetFor("us-ascii"));
  EXPECT_EQ("CP932", IconvCharsetFor("shift_jis"));
  EXPECT_EQ("KOI8-R", IconvCharsetFor("koi8-r"));
  EXPECT_EQ("ISO-8859-15", IconvCharsetFor("iso_8859-15"));
  EXPECT_EQ("WINDOWS-1251", IconvCharsetFor("cp1251"));
  EXPECT_EQ("", IconvCharsetFor("windows-1259"));
  EXPECT_EQ("", IconvCharsetFor("iso-8859-12"));
  EXPECT_EQ("", IconvCharsetFor("ibm037"));  // EBCDIC: its tag could not be read
  EXPECT_EQ("", IconvCharsetFor("utf-32"));
}

}  // namespace
}  // namespace qora::tools
