#include "acquire/search_engines.h"

#include <gtest/gtest.h>

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
