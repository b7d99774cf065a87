#include "acquire/page_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquire/page_processor.h"

namespace qora {
namespace {

// ---------------------------------------------------------------------------
// Escaping and case.

TEST(EscapeXmlTest, EscapesTheFiveMarkupCharacters) {
  EXPECT_EQ(EscapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  EXPECT_EQ(EscapeXml("&amp;"), "&amp;amp;");
  EXPECT_EQ(EscapeXml("caf\xe9 \x95 plain"), "caf\xe9 \x95 plain");
  EXPECT_EQ(EscapeXml(""), "");
}

// ---------------------------------------------------------------------------
// Stripping tags.

TEST(StripTagsTest, DropsTagsAndKeepsText) {
  EXPECT_EQ(StripTags("a<b>bold</b>c"), "aboldc");
  EXPECT_EQ(StripTags("<p class=\"x\">One</p>\n<p>Two</p>"), "One\nTwo");
  EXPECT_EQ(StripTags("no tags at all"), "no tags at all");
  EXPECT_EQ(StripTags(""), "");
}

TEST(StripTagsTest, ExactBreakTagBecomesALineFeed) {
  EXPECT_EQ(StripTags("x<BR>y<br>z<Br>w<bR>v"), "x\ny\nz\nw\nv");
  EXPECT_EQ(StripTags("a<br/>b<br >c<br class=\"k\">d<brx>e"), "abcde");
}

TEST(StripTagsTest, UnclosedTagDropsTheRest) {
  EXPECT_EQ(StripTags("keep this<a href=\"x\" and lose this"), "keep this");
  EXPECT_EQ(StripTags("<"), "");
}

TEST(StripTagsTest, EntitiesAndStrayClosersStay) {
  EXPECT_EQ(StripTags("&amp; &lt;b&gt; 1 > 0"), "&amp; &lt;b&gt; 1 > 0");
}

// ---------------------------------------------------------------------------
// Removing blocks.

TEST(RemoveBlocksTest, RemovesEveryBlockInAnyCase) {
  EXPECT_EQ(
      RemoveBlocks("a<script x=1>code</SCRIPT>b<Script>more</script>c", "<SCRIPT", "</SCRIPT>"),
      "abc");
  EXPECT_EQ(RemoveBlocks("Keep <!-- gone --> This", "<!--", "-->"), "Keep  This");
  EXPECT_EQ(
      RemoveBlocks("<STYLE>p{}</style>Text<style type=\"t\">a{}</STYLE>", "<STYLE", "</STYLE>"),
      "Text");
}

TEST(RemoveBlocksTest, TextWithoutMarkersIsUnchanged) {
  EXPECT_EQ(RemoveBlocks("Plain <b>text</b>", "<SCRIPT", "</SCRIPT>"), "Plain <b>text</b>");
  EXPECT_EQ(RemoveBlocks("", "<!--", "-->"), "");
}

TEST(RemoveBlocksTest, OpenBlockRunsToTheEnd) {
  EXPECT_EQ(RemoveBlocks("before<script>never closed", "<SCRIPT", "</SCRIPT>"), "before");
}

TEST(RemoveBlocksTest, StartMarkersInsideABlockAreSkipped) {
  // The block ends at the first end marker; the second opener inside it is
  // not looked at again, so the text after the first "-->" stays.
  EXPECT_EQ(RemoveBlocks("a<!-- x <!-- y -->b-->c", "<!--", "-->"), "ab-->c");
  // The end marker is searched after the start marker.
  EXPECT_EQ(RemoveBlocks("a<!-->b-->c", "<!--", "-->"), "ac");
}

// ---------------------------------------------------------------------------
// Frames.

constexpr char kBase[] = "http://h/dir/index.htm";

struct Links {
  std::vector<std::string> links;
  std::vector<int> kinds;
  int frames = 0;
};

int Frames(const std::string& page, Links* out) {
  return ExtractFrames(page, kBase, &out->links, &out->kinds, &out->frames);
}

TEST(ExtractFramesTest, FramesAreResolvedWithKindThree) {
  Links out;
  EXPECT_EQ(Frames("<html><frameset cols=\"50%,50%\"><frame src=\"Left.HTM\">"
                   "<FRAME SRC='right.htm' name=r></frameset></html>",
                   &out),
            0);
  EXPECT_EQ(out.links,
            (std::vector<std::string>{"http://h/dir/Left.HTM", "http://h/dir/right.htm"}));
  EXPECT_EQ(out.kinds, (std::vector<int>{kLinkFrame, kLinkFrame}));
  EXPECT_EQ(out.frames, 2);
}

TEST(ExtractFramesTest, PageOf2500BytesIsSearchedAndOf2501IsNot) {
  const std::string frameset = "<frameset><frame src=\"a.htm\"></frameset>";
  std::string page = frameset + "<!--" + std::string(2500 - frameset.size() - 7, 'x') + "-->";
  ASSERT_EQ(page.size(), 2500u);
  Links searched;
  EXPECT_EQ(Frames(page, &searched), 0);
  EXPECT_EQ(searched.links, (std::vector<std::string>{"http://h/dir/a.htm"}));

  page.insert(frameset.size(), " ");
  ASSERT_EQ(page.size(), 2501u);
  Links skipped;
  EXPECT_EQ(Frames(page, &skipped), -1);
  EXPECT_TRUE(skipped.links.empty());
  EXPECT_EQ(skipped.frames, 0);
}

TEST(ExtractFramesTest, AtMost51FramesAreTaken) {
  std::string page = "<frameset rows=\"*\">";
  for (int i = 0; i < 60; ++i) page += "<frame src=\"f" + std::to_string(i) + ".htm\">";
  page += "</frameset>";
  ASSERT_LE(page.size(), 2500u);
  Links out;
  EXPECT_EQ(Frames(page, &out), 0);
  ASSERT_EQ(out.links.size(), 51u);
  EXPECT_EQ(out.frames, 51);
  EXPECT_EQ(out.links.front(), "http://h/dir/f0.htm");
  EXPECT_EQ(out.links.back(), "http://h/dir/f50.htm");
  EXPECT_EQ(out.kinds, std::vector<int>(51, kLinkFrame));
}

TEST(ExtractFramesTest, RepeatedFrameIsTakenOnce) {
  Links out;
  EXPECT_EQ(Frames("<frameset><frame src=\"a.htm\"><frame src=\"./a.htm\"><frame src=\"b.htm\">"
                   "</frameset>",
                   &out),
            0);
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/dir/a.htm", "http://h/dir/b.htm"}));
  EXPECT_EQ(out.frames, 2);
}

TEST(ExtractFramesTest, UnquotedSourceEndsTheSearch) {
  Links out;
  EXPECT_EQ(Frames("<frameset><frame src=\"a.htm\"><frame src=b.htm><frame src=\"c.htm\">"
                   "</frameset>",
                   &out),
            0);
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/dir/a.htm"}));

  Links none;
  EXPECT_EQ(Frames("<frameset><frame src=b.htm></frameset>", &none), -1);
  EXPECT_TRUE(none.links.empty());
}

TEST(ExtractFramesTest, DoubleQuotesArePreferredEvenOutsideTheTag) {
  // The first double-quoted value after "SRC" belongs to the next tag, so it
  // lies past this tag's ">" and the search ends without a frame.
  Links out;
  EXPECT_EQ(Frames("<frameset><frame src='a.htm'><frame src=\"b.htm\"></frameset>", &out), -1);
  EXPECT_TRUE(out.links.empty());
}

TEST(ExtractFramesTest, FrameWithoutSourceEndsTheSearch) {
  Links out;
  EXPECT_EQ(Frames("<frameset><frame name=\"x\"><frame src=\"b.htm\"></frameset>", &out), -1);
  EXPECT_TRUE(out.links.empty());
}

TEST(ExtractFramesTest, NestedFramesetsAreEntered) {
  Links out;
  EXPECT_EQ(Frames("<FRAMESET><frameset cols=\"1,2\"><frame src=\"a.htm\"></frameset>"
                   "<frame src=\"b.htm\"></FRAMESET>",
                   &out),
            0);
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/dir/a.htm", "http://h/dir/b.htm"}));
}

TEST(ExtractFramesTest, PagesWithoutAProperFramesetHaveNoFrames) {
  Links out;
  EXPECT_EQ(Frames("<frameset><frame src=\"a.htm\">", &out), -1);
  EXPECT_EQ(Frames("</frameset><frameset><frame src=\"a.htm\">", &out), -1);
  EXPECT_EQ(Frames("<html><frame src=\"a.htm\"></html>", &out), -1);
  EXPECT_EQ(Frames("<iframe src=\"a.htm\"></iframe>", &out), -1);
  EXPECT_TRUE(out.links.empty());
  EXPECT_EQ(out.frames, 0);
}

// ---------------------------------------------------------------------------
// Anchors.

struct Anchors {
  std::string section;
  std::vector<std::string> links;
  std::vector<int> kinds;
  int other = 0;
  int same = 0;
};

Anchors AnchorsOf(const std::string& cleaned, const std::string& base = "http://h/d/p.htm") {
  Anchors out;
  ExtractAnchors(cleaned, base, &out.section, &out.links, &out.kinds, &out.other, &out.same);
  return out;
}

TEST(ExtractAnchorsTest, LinksAreResolvedAndWrittenWithStrippedText) {
  const Anchors out = AnchorsOf(
      "<p>See <a href=\"a.htm\" title=\"t\">the <b>A</b> page</a> and "
      "<a href=\"http://other/x\">X</a>.</p>");
  EXPECT_EQ(out.section,
            "<anc><a href=\"http://h/d/a.htm\">the A page</a>"
            "<a href=\"http://other/x\">X</a></anc>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/a.htm", "http://other/x"}));
  EXPECT_EQ(out.kinds, (std::vector<int>{kLinkSameHost, kLinkOtherHost}));
  EXPECT_EQ(out.same, 1);
  EXPECT_EQ(out.other, 1);
}

TEST(ExtractAnchorsTest, AnchorStartNeedsABlankLineFeedOrTab) {
  const Anchors out = AnchorsOf(
      "<A\tHREF=\"q.htm\">Q</A><a\nhref=\"n.htm\">N</a><abbr title=\"x\">y</abbr>"
      "<a>bare</a><address>z</address>");
  EXPECT_EQ(out.section,
            "<anc><a href=\"http://h/d/q.htm\">Q</A><a href=\"http://h/d/n.htm\">N</a></anc>");
  EXPECT_EQ(out.same, 2);
}

TEST(ExtractAnchorsTest, CommentsAreSkipped) {
  const std::string banner =
      "<script language=\"Javascript\">\n<!--\n"
      "document.write (\"Archived by <a href=\\\"https://qora.example.org/\\\"> QORA</a>.\");\n"
      "//-->\n</script>";
  const Anchors out = AnchorsOf(banner + "<!-- <a href=\"c.htm\">C</a> --><a href=\"d.htm\">D</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/d.htm"}));
  EXPECT_EQ(out.section, "<anc><a href=\"http://h/d/d.htm\">D</a></anc>");
  EXPECT_EQ(out.same + out.other, 1);
}

TEST(ExtractAnchorsTest, MailFtpAndScriptAnchorsGiveNoLink) {
  const Anchors out = AnchorsOf(
      "<a href=\"mailto:someone@h\">write</a>"
      "<a href=\"soft.htm\">Software via fTp</a>"
      "<a href=\"ftp://h/file\">file</a>"
      "<a href=\"javascript:go()\">go</a>"
      "<a name=\"top\">top</a>"
      "<a href=\"ok.htm\">ok</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/ok.htm"}));
  EXPECT_EQ(out.section, "<anc><a href=\"http://h/d/ok.htm\">ok</a></anc>");
  EXPECT_EQ(out.same, 1);
  EXPECT_EQ(out.other, 0);
}

TEST(ExtractAnchorsTest, RepeatedAddressGivesOneLinkButCountsTwice) {
  const Anchors out = AnchorsOf(
      "<a href=\"x.htm\">first</a><a href=\"./x.htm#part\">second</a>"
      "<a href=\"http://o/\">o</a><a href=\"http://o/\">o again</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/x.htm", "http://o/"}));
  EXPECT_EQ(out.section,
            "<anc><a href=\"http://h/d/x.htm\">first</a><a href=\"http://o/\">o</a></anc>");
  EXPECT_EQ(out.same, 2);
  EXPECT_EQ(out.other, 2);
}

TEST(ExtractAnchorsTest, SingleQuotesServeWhenNoDoubleQuotesFollow) {
  const Anchors out = AnchorsOf("<a href='s.htm'>S</a><a href=u.htm>unquoted</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/s.htm"}));
  EXPECT_EQ(out.section, "<anc><a href=\"http://h/d/s.htm\">S</a></anc>");
}

TEST(ExtractAnchorsTest, ValueHoldingTheTagEndGivesNoLink) {
  const Anchors out = AnchorsOf("<a href=\"x>y\">t</a><a href=\"b.htm\">b</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/b.htm"}));
  EXPECT_EQ(out.section, "<anc><a href=\"http://h/d/b.htm\">b</a></anc>");
  EXPECT_EQ(out.same, 1);
}

TEST(ExtractAnchorsTest, LinkTextInsideTheAnchorTextIsReplaced) {
  // Without quotes in the opening tag, the first quoted text after "HREF"
  // is in the anchor's text; it is taken as the link and replaced there.
  const Anchors out = AnchorsOf("<a href=u.htm>see \"v.htm\" here</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/v.htm"}));
  EXPECT_EQ(out.section,
            "<anc><a href=\"http://h/d/v.htm\">see \"http://h/d/v.htm\" here</a></anc>");
}

TEST(ExtractAnchorsTest, SelfClosingAnchorIsItsTagAlone) {
  const Anchors out = AnchorsOf("<a href=\"z.htm\"/>skipped text</a><a href=\"y.htm\">Y</a>");
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/z.htm", "http://h/d/y.htm"}));
  EXPECT_EQ(out.section,
            "<anc><a href=\"http://h/d/z.htm\"></a><a href=\"http://h/d/y.htm\">Y</a></anc>");
}

TEST(ExtractAnchorsTest, UnclosedAnchorsGiveNothing) {
  const Anchors out = AnchorsOf("<a href=\"n.htm\">never closed");
  EXPECT_TRUE(out.links.empty());
  EXPECT_EQ(out.section, "<anc></anc>");
  EXPECT_EQ(AnchorsOf("").section, "<anc></anc>");
  EXPECT_EQ(AnchorsOf("<a").section, "<anc></anc>");
}

TEST(ExtractAnchorsTest, LinksAddToWhatTheListsHold) {
  Anchors out;
  out.links = {"http://h/d/frame.htm"};
  out.kinds = {kLinkFrame};
  ExtractAnchors("<a href=\"frame.htm\">F</a>", "http://h/d/p.htm", &out.section, &out.links,
                 &out.kinds, &out.other, &out.same);
  // The anchor's address is new among the page's anchors, so it is listed
  // after the frame that has the same address.
  EXPECT_EQ(out.links, (std::vector<std::string>{"http://h/d/frame.htm", "http://h/d/frame.htm"}));
  EXPECT_EQ(out.kinds, (std::vector<int>{kLinkFrame, kLinkSameHost}));
}

// ---------------------------------------------------------------------------
// The DML body.

TEST(FormatBodyTest, TitleParagraphAndEmptyParagraph) {
  EXPECT_EQ(FormatBody("Word\n\nOne two. Three four!"),
            "<title>Word\n</title>\n<p><s>One two.</s><s>Three four!</s></p><p></p>");
}

TEST(FormatBodyTest, SentenceWithoutEndMarkEndsInLineFeedAndPeriod) {
  EXPECT_EQ(FormatBody("T\n\nHello world"),
            "<title>T\n</title>\n<p><s>Hello world\n.</s></p><p></p>");
}

TEST(FormatBodyTest, SentencesWithoutBlankStayOne) {
  EXPECT_EQ(FormatBody("T\n\nFirst.Second."),
            "<title>T\n</title>\n<p><s>First.Second.</s></p><p></p>");
}

TEST(FormatBodyTest, TextWithoutWordCharactersIsEmpty) {
  EXPECT_EQ(FormatBody(""), "");
  EXPECT_EQ(FormatBody("...\n!! -- \xe9\n"), "");
}

TEST(FormatBodyTest, TitleLimitCountsTheLineFeed) {
  const std::string line79(79, 'a');
  EXPECT_EQ(FormatBody(line79), "<title>" + line79 + "\n</title>\n");

  const std::string line80(80, 'b');
  EXPECT_EQ(FormatBody(line80), "<p><s>" + line80 + "\n.</s></p><p></p>");

  const std::string line81(81, 'c');
  EXPECT_EQ(FormatBody(line81 + "\nSecond line."),
            "<p><s>" + line81 + "\nSecond line.</s></p><p></p>");
}

TEST(FormatBodyTest, OnlyTheFirstLineCanBeTheTitle) {
  EXPECT_EQ(FormatBody(std::string(90, 'x') + "\n\nShort"),
            "<p><s>" + std::string(90, 'x') + "\n.</s></p><p><s>Short\n.</s></p><p></p>");
}

TEST(FormatBodyTest, LeadingGapsComeBeforeTheTitle) {
  EXPECT_EQ(FormatBody("  \n\n-- Title\nBody"),
            "<title>Title\n</title>\n<p><s>Body\n.</s></p><p></p>");
}

TEST(FormatBodyTest, GapsBetweenLinesEndParagraphs) {
  EXPECT_EQ(FormatBody("T\n\nPara one.\n\nPara two."),
            "<title>T\n</title>\n<p><s>Para one.</s></p><p><s>Para two.</s></p><p></p>");
  // Lines that follow each other directly share a paragraph and a sentence.
  EXPECT_EQ(FormatBody("T\n\nline one\nline two"),
            "<title>T\n</title>\n<p><s>line one\nline two\n.</s></p><p></p>");
  // Any non-word character at the start of a line is a gap.
  EXPECT_EQ(FormatBody("T\n\nalpha\n  beta"),
            "<title>T\n</title>\n<p><s>alpha\n.</s></p><p><s>beta\n.</s></p><p></p>");
  EXPECT_EQ(FormatBody("T\n\n\xe9t\xe9 ok"),
            "<title>T\n</title>\n<p><s>t\xe9 ok\n.</s></p><p></p>");
}

TEST(FormatBodyTest, SixSentenceEnds) {
  EXPECT_EQ(FormatBody("T\n\nOne\xb7 Two\x95 Three; Four? Five! Six"),
            "<title>T\n</title>\n<p><s>One\xb7</s><s>Two\x95</s><s>Three;</s><s>Four?</s>"
            "<s>Five!</s><s>Six\n.</s></p><p></p>");
  // "&" is a word character, and the ";" of an entity ends a sentence.
  EXPECT_EQ(FormatBody("T\n\n&amp; more"),
            "<title>T\n</title>\n<p><s>&amp;</s><s>more\n.</s></p><p></p>");
}

TEST(FormatBodyTest, TitleOnly) {
  EXPECT_EQ(FormatBody("Just a title"), "<title>Just a title\n</title>\n");
}

}  // namespace
}  // namespace qora
