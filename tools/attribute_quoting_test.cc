#include <gtest/gtest.h>

#include <string>

#include "tools/attribute_quoting.h"

namespace qora::tools {
namespace {

TEST(AttributeQuotingTest, SingleQuotedAndBareValuesGetDoubleQuotes) {
  EXPECT_EQ("<a href=\"x.html\" title=\"y\">t</a>",
            NormalizeAttributes("<a href='x.html' title=\"y\">t</a>"));
  EXPECT_EQ("<a title=\"say &quot;hi&quot;\">", NormalizeAttributes("<a title='say \"hi\"'>"));
  EXPECT_EQ("<input value=\"abc\" checked>", NormalizeAttributes("<input value=abc checked>"));
  EXPECT_EQ("<frame src=\"b.html\">", NormalizeAttributes("<frame src = 'b.html'>"));
}

TEST(AttributeQuotingTest, AddressesGetBareAmpersands) {
  EXPECT_EQ(
      "<a href=\"p?a=1&b=2&c=3&d\" title=\"A&amp;B\">A&amp;B</a>",
      NormalizeAttributes("<a href='p?a=1&amp;b=2&#38;c=3&#X26;d' title=\"A&amp;B\">A&amp;B</a>"));
  EXPECT_EQ("<frame SRC=\"f?x&y\">", NormalizeAttributes("<frame SRC=\"f?x&AMP;y\">"));
  EXPECT_EQ("<a href=\"&amp\">", NormalizeAttributes("<a href=\"&amp\">"));
}

TEST(AttributeQuotingTest, TextCommentsAndScriptsStayAsTheyAre) {
  const std::string unchanged =
      "<!DOCTYPE html>\n<p>it's a='b' 1 &lt; 2</p><!-- <a href='c'> -->"
      "<script>var s = '<a href=\\'d\\'>';</script><style>a[x='y']{}</style>"
      "<p class=\"k\">x</p>";
  EXPECT_EQ(unchanged, NormalizeAttributes(unchanged));
}

TEST(AttributeQuotingTest, CutOffTagsEndWithoutLoss) {
  EXPECT_EQ("<a href=\"x\"", NormalizeAttributes("<a href='x"));
  EXPECT_EQ("<a href=\"\"", NormalizeAttributes("<a href="));
  EXPECT_EQ("<script>never closed", NormalizeAttributes("<script>never closed"));
}

}  // namespace
}  // namespace qora::tools
