#include "acquire/search_engines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace qora {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitByPatternTest, CutsBetweenMatchesAndKeepsTheTextBeforeTheFirst) {
  EXPECT_EQ(SplitByPattern("top<li>b<li>c", "<li>"), (Pieces{"top", "b", "c"}));
  EXPECT_EQ(SplitByPattern("<li>b<li>c", "<li>"), (Pieces{"", "b", "c"}));
}

TEST(SplitByPatternTest, DropsTrailingEmptyPieces) {
  EXPECT_EQ(SplitByPattern("a<li>b<li><li>", "<li>"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitByPattern("a<li><li>b", "<li>"), (Pieces{"a", "", "b"}));
  EXPECT_TRUE(SplitByPattern("", "<li>").empty());
}

TEST(SplitByPatternTest, UsesExtendedRegularExpressions) {
  EXPECT_EQ(SplitByPattern("a1b22c333d", "[0-9]+"), (Pieces{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitByPattern("a<h3>b<H3>c<h2>d", "<(h3|H3)>"), (Pieces{"a", "b", "c<h2>d"}));
  EXPECT_EQ(SplitByPattern("a.b.c", "\\."), (Pieces{"a", "b", "c"}));
  // Matching is case-sensitive.
  EXPECT_EQ(SplitByPattern("a<LI>b", "<li>"), (Pieces{"a<LI>b"}));
}

TEST(SplitByPatternTest, TakesTheFirstFittingAlternativeAndBoundsRunawaySearches) {
  // Where two alternatives fit at the same place, the first one is taken,
  // even when a later one is longer.
  EXPECT_EQ(SplitByPattern("a\">b\">c", "\"|\">"), (Pieces{"a", ">b", ">c"}));
  EXPECT_EQ(SplitByPattern("a\">b\">c", "\">|\""), (Pieces{"a", "b", "c"}));
  // A search that would backtrack without end at the start of the text is
  // given up: the text holds no match as far as the split goes, and stays
  // whole, although the "x" at its end would match.
  const std::string hostile = std::string(5000, 'a') + "!x";
  EXPECT_EQ(SplitByPattern(hostile, "^(a+)+$|x"), (Pieces{hostile}));
  EXPECT_EQ(SplitByPattern("aaa!x", "^(a+)+$|x"), (Pieces{"aaa!"}));
}

TEST(SplitByPatternTest, ManySearchesCloseToTheirBoundEndWithinThePagesTime) {
  // Each search backtracks some 500,000 steps (under its bound) before the
  // optional group gives an empty match, so the split would search twice
  // per character: hours for this text. The page's time bound ends it.
  const std::string hostile = std::string(200000, 'a');
  const std::string pattern = "(a{0,700}a{0,700}b)?";
  const auto start = std::chrono::steady_clock::now();
  const Pieces pieces = SplitByPattern(hostile, pattern);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  // Cut off as if no match were left: single characters, then the rest.
  ASSERT_FALSE(pieces.empty());
  EXPECT_LT(pieces.size(), hostile.size());
  for (size_t i = 0; i + 1 < pieces.size(); ++i) ASSERT_EQ(pieces[i], "a");
  EXPECT_EQ(pieces.back().size(), hostile.size() - (pieces.size() - 1));

  SearchEngineDefinition engine;
  engine.cue1 = "<ol>";
  engine.hit = pattern;
  engine.sep1 = "\">";
  engine.sep2 = "</a>";
  std::vector<ResultPageHit> hits;
  const auto cut_start = std::chrono::steady_clock::now();
  EXPECT_TRUE(CutResultPage(engine, "<ol>" + hostile, &hits));
  EXPECT_LT(std::chrono::steady_clock::now() - cut_start, std::chrono::seconds(20));
  EXPECT_TRUE(hits.empty());
}

TEST(CutResultPageTest, CutsTheHitsAfterTheStartMarks) {
  SearchEngineDefinition engine;
  engine.cue1 = "<!-- results -->";
  engine.cue2 = "<ol>";
  engine.hit = "<li class=\"r\"><a href=\"";
  engine.sep1 = "\">";
  engine.sep2 = "</a>";
  const std::string page =
      "<li class=\"r\"><a href=\"http://ads.example/\">Ad</a><!-- results --><ol>"
      "<li class=\"r\"><a href=\"http://example.org/a%2Fb\">Tidal <b>power</b></a></li>"
      "<li class=\"r\"><a href=\"http://example.org/broken</li>"
      "<li class=\"r\"><a href=\"http://example.org/c\">No end";
  std::vector<ResultPageHit> hits;
  ASSERT_TRUE(CutResultPage(engine, page, &hits));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].address, "http://example.org/a/b");
  EXPECT_EQ(hits[0].text, "Tidal <b>power</b>");
  EXPECT_EQ(hits[1].address, "http://example.org/c");
  EXPECT_EQ(hits[1].text, "");

  engine.cue2 = "<ul>";
  EXPECT_FALSE(CutResultPage(engine, page, &hits));
  testing::internal::CaptureStderr();
  engine.cue2 = "";
  engine.sep2 = "(";
  EXPECT_FALSE(CutResultPage(engine, page, &hits));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("regcomp() error"), std::string::npos);
  EXPECT_EQ(hits.size(), 2u);
}

TEST(SplitByPatternTest, QuotedBlankSplitsAtWhiteSpaceRuns) {
  EXPECT_EQ(SplitByPattern("  one\ttwo \n three  ", "' '"), (Pieces{"one", "two", "three"}));
}

TEST(SplitByPatternTest, EmptyPatternGivesEveryCharacter) {
  EXPECT_EQ(SplitByPattern("abc", ""), (Pieces{"a", "b", "c"}));
}

TEST(SplitByPatternTest, EmptyMatchesAdvanceOneCharacter) {
  EXPECT_EQ(SplitByPattern("abc", "x*"), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(SplitByPattern("axxbc", "x*"), (Pieces{"a", "b", "c"}));
}

TEST(SplitByPatternTest, BrokenPatternReportsAndGivesNoPieces) {
  testing::internal::CaptureStderr();
  const Pieces pieces = SplitByPattern("a(b", "(");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(pieces.empty());
  EXPECT_NE(errors.find("regcomp() error\n"), std::string::npos) << errors;
}

TEST(DecodeHitAddressTest, DecodesTwoDigitEscapesOnly) {
  EXPECT_EQ(DecodeHitAddress("http://x.org/a%2Fb%3d"), "http://x.org/a/b=");
  EXPECT_EQ(DecodeHitAddress("100%"), "100%");
  EXPECT_EQ(DecodeHitAddress("a%4"), "a%4");
  EXPECT_EQ(DecodeHitAddress("a%zz%41"), "a%zzA");
}

TEST(HitTypeTest, PdfByExtensionInAnyCase) {
  EXPECT_EQ(HitType("http://x.org/report.PDF"), ".pdf");
  EXPECT_EQ(HitType("http://x.org/report.pdf"), ".pdf");
  EXPECT_EQ(HitType("http://x.org/page.html"), ".htm");
  EXPECT_EQ(HitType("http://x.org/report.pdfx"), ".pdf");  // at most 4 characters count
  EXPECT_EQ(HitType("no-dot"), ".htm");
}

TEST(QueryAddressTest, JoinsPartsAndReplacesBlanks) {
  SearchEngineDefinition engine;
  engine.url = "http://s.example/find";
  engine.preQuery = "?q=";
  engine.postQuery = "&n=";
  engine.resultCount = "20";
  EXPECT_EQ(QueryAddress(engine, "tidal power now"),
            "http://s.example/find?q=tidal+power+now&n=20");
}

// ---------------------------------------------------------------------------
}  // namespace
}  // namespace qora
