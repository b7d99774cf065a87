#include "shell/display_text.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

TEST(DisplayTextTest, DecodesReferencesAndLatin1) {
  EXPECT_EQ("Tasks \xE2\x80\x94 Python", DisplayText("Tasks &amp;#8212; Python"));
  EXPECT_EQ("AT&T <b> \"q\" 'a'", DisplayText("AT&amp;amp;T &lt;b&gt; &quot;q&quot; &apos;a&apos;"));
  EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", DisplayText("caf\xE9 &#x20AC; &#128512;"));
  EXPECT_EQ("plain text", DisplayText("plain text"));
}

TEST(DisplayTextTest, KeepsWhatIsNoReferenceAndBlanksControls) {
  EXPECT_EQ("a & b; &nbsp; &#; &#xZZ; &#55296; &#99999999;",
            DisplayText("a & b; &nbsp; &#; &#xZZ; &#55296; &#99999999;"));
  EXPECT_EQ("a b c\nd\te", DisplayText("a\x1b" "b&#7;c\nd\te"));
  EXPECT_EQ("x &", DisplayText("x &"));
}

TEST(DisplayTextTest, FirstCharactersNeverSplitsACharacter) {
  const std::string text = "ab\xE2\x80\x94" "cd";  // a, b, em dash, c, d
  EXPECT_EQ("ab", FirstCharacters(text, 2));
  EXPECT_EQ("ab\xE2\x80\x94", FirstCharacters(text, 3));
  EXPECT_EQ(text, FirstCharacters(text, 5));
  EXPECT_EQ(text, FirstCharacters(text, 50));
  EXPECT_EQ("", FirstCharacters(text, 0));
}

}  // namespace
}  // namespace qora
