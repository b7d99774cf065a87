#include "acquire/search_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace qora {
namespace {

// [begin, end) of the match of `pattern` in `text`, or "none".
std::string MatchOf(std::string_view pattern, std::string_view text) {
  const SearchPattern compiled(pattern);
  size_t begin = 0, end = 0;
  if (!compiled.Search(text, &begin, &end)) return "none";
  return std::to_string(begin) + "-" + std::to_string(end);
}

TEST(SearchPatternTest, LeftmostMatchWithAlternativesInOrderAndGreedyRepetitions) {
  // Of the alternatives that fit at the leftmost place, the first wins, not
  // the longest.
  EXPECT_EQ(MatchOf("\"|\">", "x\">y"), "1-2");
  EXPECT_EQ(MatchOf("\">|\"", "x\">y"), "1-3");
  EXPECT_EQ(MatchOf("a|ab", "ab"), "0-1");
  EXPECT_EQ(MatchOf("(a|ab)c?", "abc"), "0-1");
  // A later place never wins over an earlier one.
  EXPECT_EQ(MatchOf("b|ab", "xab"), "1-3");
  EXPECT_EQ(MatchOf("<.*>", "x<a>y<b>z"), "1-8");
  EXPECT_EQ(MatchOf("<[^>]*>", "x<a>y<b>z"), "1-4");
}

TEST(SearchPatternTest, ReadsTheExtendedSyntaxOfTheDefinitionFiles) {
  EXPECT_EQ(MatchOf("<(h3|H3)>", "a<H3>b"), "1-5");
  EXPECT_EQ(MatchOf("[0-9]+", "ab123c"), "2-5");
  EXPECT_EQ(MatchOf("[[:digit:]]{2,3}", "a1234"), "1-4");
  EXPECT_EQ(MatchOf("\\.", "ab.c"), "2-3");
  EXPECT_EQ(MatchOf("x?y", "ay"), "1-2");
  EXPECT_EQ(MatchOf("^a", "ba"), "none");
  EXPECT_EQ(MatchOf("a$", "a\n"), "none");   // "$" is the very end only
  EXPECT_EQ(MatchOf("a.b", "a\nb"), "0-3");  // "." takes a line feed
  EXPECT_EQ(MatchOf("<li>", "<LI>"), "none");
  EXPECT_EQ(MatchOf("b", std::string_view("a\0b", 3)), "2-3");
  EXPECT_EQ(MatchOf("\xe9t\xe9", "\xe9t\xe9"), "0-3");  // 8-bit text
  EXPECT_EQ(MatchOf("", "abc"), "0-0");
  EXPECT_EQ(MatchOf("x*", ""), "0-0");
}

TEST(SearchPatternTest, SearchesThatRunAwayCountAsNoMatch) {
  // Nested repetitions try exponentially many ways to fail before the
  // leftmost match could move on; a repeated group nests one backtracking
  // point per repetition. Both are cut off, and the text counts as not
  // holding the pattern although a complete search would find it.
  const std::string hostile = std::string(5000, 'a') + "!x";
  EXPECT_EQ(MatchOf("^(a+)+$|x", hostile), "none");
  EXPECT_EQ(MatchOf("([a-z]+ ?)*$|x", hostile), "none");
  const std::string deep = std::string(200000, 'a') + "c";
  EXPECT_EQ(MatchOf("(a|b)*c", deep), "none");
  // The same patterns still find what takes few steps.
  EXPECT_EQ(MatchOf("^(a+)+$|x", "aaa!x"), "4-5");
  EXPECT_EQ(MatchOf("(a|b)*c", "zabac"), "1-5");
  // A pattern without nesting is not bounded by the length of the text.
  EXPECT_EQ(MatchOf("a*c", deep), "0-200001");
}

TEST(SearchPatternTest, PatternThatDoesNotCompileIsReported) {
  testing::internal::CaptureStderr();
  const SearchPattern broken("a(b");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(broken.ok());
  EXPECT_EQ(errors.rfind("regcomp() error\n", 0), 0u) << errors;
  EXPECT_NE(errors.find("a(b"), std::string::npos) << errors;
  size_t begin = 7, end = 7;
  EXPECT_FALSE(broken.Search("a(b", &begin, &end));
  EXPECT_EQ(begin, 7u);
}

}  // namespace
}  // namespace qora
