#include "shell/display_text.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

TEST(DisplayTextTest, DecodesReferencesAndLatin1) {
  EXPECT_EQ("Tasks \xE2\x80\x94 Python", DisplayText("Tasks &amp;#8212; Python"));
  EXPECT_EQ("AT&T <b> \"q\" 'a'",
            DisplayText("AT&amp;amp;T &lt;b&gt; &quot;q&quot; &apos;a&apos;"));
  EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", DisplayText("caf\xE9 &#x20AC; &#128512;"));
  EXPECT_EQ("plain text", DisplayText("plain text"));
}

TEST(DisplayTextTest, KeepsWhatIsNoReferenceAndBlanksControls) {
  EXPECT_EQ("a & b; &nbsp; &#; &#xZZ; &#55296; &#99999999;",
            DisplayText("a & b; &nbsp; &#; &#xZZ; &#55296; &#99999999;"));
  EXPECT_EQ("a b c d e  f  g", DisplayText("a\x1b"
                                           "b&#7;c\nd\te\x9B"
                                           "f&#155;g"));
  EXPECT_EQ("x &", DisplayText("x &"));
}

// What a hostile page can put into a title, an address or the status text:
// the terminal's title, screen clearing, colours, an 8-bit command start.
TEST(DisplayTextTest, TerminalTextLeavesNoControlButKeepsEveryCharacter) {
  const std::string hostile =
      "\x1b]0;owned\x07\x1b[2J\x1b[31mred\x7f\r\x9b"
      "6n \xC2\x9B"
      "1m\x90x\x9c";
  const std::string safe = TerminalText(hostile);
  for (size_t i = 0; i < safe.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(safe[i]);
    EXPECT_TRUE(byte >= 0x20 && byte != 0x7F && !(byte >= 0x80 && byte < 0xA0)) << i;
  }
  EXPECT_EQ(safe, " ]0;owned  [2J [31mred   6n   1m x ");
  // Latin-1 and UTF-8 letters, and U+00A0 on, pass byte for byte; so do the
  // continuation bytes 0x80 to 0x9F inside UTF-8 characters.
  const std::string text = "caf\xE9 \xE2\x80\x94 \xC2\xA0 \xF0\x9F\x98\x80 \xE2\x82\xAC";
  EXPECT_EQ(TerminalText(text), text);
  EXPECT_EQ(TerminalText("one\ntwo\tthree"), "one two three");
  EXPECT_EQ(TerminalText("one\ntwo\r", LineEnds::kKeep), "one\ntwo ");
  // A character cut off at the end, and an overlong form of ESC.
  EXPECT_EQ(TerminalText("\xE2\x80"), "\xE2 ");
  EXPECT_EQ(TerminalText("\xC0\x9B"), "\xC0 ");
}

TEST(DisplayTextTest, FirstCharactersNeverSplitsACharacter) {
  const std::string text =
      "ab\xE2\x80\x94"
      "cd";  // a, b, em dash, c, d
  EXPECT_EQ("ab", FirstCharacters(text, 2));
  EXPECT_EQ("ab\xE2\x80\x94", FirstCharacters(text, 3));
  EXPECT_EQ(text, FirstCharacters(text, 5));
  EXPECT_EQ(text, FirstCharacters(text, 50));
  EXPECT_EQ("", FirstCharacters(text, 0));
}

}  // namespace
}  // namespace qora
