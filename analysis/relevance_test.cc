#include "analysis/relevance.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/stem_map.h"
#include "analysis/term_list.h"
#include "analysis/term_pair.h"
#include "analysis/term_vector.h"
#include "tests/vector_text.h"

namespace qora {
namespace {

using test::CountsOf;
using test::PairsOf;

// A vector holding `pairs` as they are, in order, with no term counts.
TermVector Pairs(std::initializer_list<TermPair> pairs) {
  TermVector vector;
  for (const TermPair& pair : pairs) vector.AppendPair(pair);
  return vector;
}

TermList Terms(std::initializer_list<int32_t> ids) {
  TermList list;
  for (int32_t id : ids) list.Append(id);
  return list;
}

// Statistics with pairs of several shapes and term counts for each term.
TermVector SampleStatistics() {
  TermVector statistics = Pairs({TermPair(1, 2, 3, 1), TermPair(3, 1, 2, 0), TermPair(4, 5, 1, 1),
                                 TermPair(2, 6, 0, 5), TermPair(7, 4, 2, 2)});
  for (int32_t id = 1; id <= 8; ++id) statistics.SetTermCount(id, 10 * id);
  statistics.set_weight(0.25);
  return statistics;
}

TEST(KeywordVectorTest, IsTheRestrictedCopy) {
  const TermVector statistics = SampleStatistics();
  for (const TermList& keywords :
       {Terms({1}), Terms({5, 6}), Terms({}), Terms({9}), Terms({2, 2, 4}), Terms({7})}) {
    TermVector expected = statistics;
    expected.RestrictToTerms(keywords);
    const TermVector actual = KeywordVector(statistics, keywords);
    EXPECT_EQ(PairsOf(actual), PairsOf(expected));
    EXPECT_EQ(CountsOf(actual), CountsOf(expected));
    EXPECT_EQ(actual.weight(), expected.weight());
  }
}

TEST(KeywordVectorTest, KeepsPairsOfTheKeywordsAndDropsCountsOfOthers) {
  const TermVector keyword = KeywordVector(SampleStatistics(), Terms({4}));
  EXPECT_EQ(PairsOf(keyword), (std::vector<std::string>{"(4,5) 1/1", "(7,4) 2/2"}));
  // Terms 1, 2, 3 and 6 are in dropped pairs; 8 is in no pair and stays.
  EXPECT_EQ(CountsOf(keyword), (std::map<int32_t, int32_t>{{4, 40}, {5, 50}, {7, 70}, {8, 80}}));
  EXPECT_EQ(keyword.weight(), 0.25);
}

// Sources of random sentences over a small vocabulary, some with a weight,
// one without pairs but with counts (which a sum must not take), one empty.
std::vector<TermVector> RandomSources(std::mt19937* random) {
  std::uniform_int_distribution<int32_t> term(0, 29);
  std::vector<TermVector> sources;
  for (int s = 0; s < 6; ++s) {
    TermList list;
    for (int i = 0; i < 120; ++i) list.Append(term(*random));
    TermVector vector;
    vector.Build(list, 5);
    vector.set_weight(0.5 * s);
    sources.push_back(vector);
  }
  TermVector counts_only;
  counts_only.Build(Terms({3}), 5);
  sources.push_back(counts_only);
  sources.push_back(TermVector());
  return sources;
}

void ExpectSameVector(const TermVector& expected, const TermVector& actual) {
  EXPECT_EQ(PairsOf(expected), PairsOf(actual));
  ASSERT_EQ(expected.pair_count(), actual.pair_count());
  for (size_t i = 0; i < expected.pair_count(); ++i) {  // exact weights, not their text
    EXPECT_EQ(expected.PairAt(i).forward(), actual.PairAt(i).forward());
    EXPECT_EQ(expected.PairAt(i).backward(), actual.PairAt(i).backward());
  }
  EXPECT_EQ(CountsOf(expected), CountsOf(actual));
  EXPECT_EQ(expected.weight(), actual.weight());
}

TEST(KeywordVectorOfSumTest, IsTheKeywordVectorOfTheSumPlainOrStemmed) {
  std::mt19937 random(5);
  const std::vector<TermVector> sources = RandomSources(&random);
  std::vector<const TermVector*> pointers;
  TermVector sum;
  for (const TermVector& source : sources) {
    pointers.push_back(&source);
    sum.Merge(source);
  }
  StemMap stems;
  for (int32_t id = 0; id < 30; ++id) stems.SetStem(id, 100 + id / 4);  // four words a stem
  TermVector stemmed_sum;
  stemmed_sum.StemmedCopyOf(sum, &stems);
  for (const TermList& keywords : {Terms({}), Terms({2}), Terms({2, 17, 29}), Terms({99})}) {
    SCOPED_TRACE(keywords.ids().size());
    ExpectSameVector(KeywordVector(sum, keywords), KeywordVectorOfSum(pointers, keywords, nullptr));
  }
  for (const TermList& keywords : {Terms({}), Terms({100}), Terms({101, 107}), Terms({2})}) {
    SCOPED_TRACE(keywords.ids().size());
    const TermVector expected = KeywordVector(stemmed_sum, keywords);
    ExpectSameVector(expected, KeywordVectorOfSum(pointers, keywords, &stems));
  }
  EXPECT_GT(KeywordVectorOfSum(pointers, Terms({101, 107}), &stems).pair_count(), 0u);
}

TEST(ExpandTest, AddsEveryPairTouchingAQueryTerm) {
  TermVector statistics = Pairs({TermPair(10, 11, 2, 3), TermPair(12, 10, 1, 0),
                                 TermPair(13, 14, 4, 4), TermPair(11, 15, 0, 6)});
  statistics.SetTermCount(10, 5);
  statistics.SetTermCount(13, 2);
  TermVector query = Pairs({TermPair(10, 11, 2, 3)});
  query.SetTermCount(10, 1);

  Expand(&query, statistics);
  // (10,11) is doubled; the pairs with 10 or 11 follow in statistics order;
  // (13,14) holds neither.
  EXPECT_EQ(PairsOf(query),
            (std::vector<std::string>{"(10,11) 4/6", "(12,10) 1/0", "(11,15) 0/6"}));
  // The count of 13 went with its dropped pair.
  EXPECT_EQ(CountsOf(query), (std::map<int32_t, int32_t>{{10, 6}}));
}

TEST(ExpandTest, MergesReversedStatisticsPairsIntoTheQueryOrientation) {
  const TermVector statistics = Pairs({TermPair(2, 1, 5, 7)});
  TermVector query = Pairs({TermPair(1, 2, 1, 1)});
  Expand(&query, statistics);
  EXPECT_EQ(PairsOf(query), (std::vector<std::string>{"(1,2) 8/6"}));
}

TEST(ExpandTest, EmptyQueryStaysEmpty) {
  TermVector statistics = SampleStatistics();
  TermVector query;
  query.SetTermCount(3, 1);
  Expand(&query, statistics);
  EXPECT_EQ(query.pair_count(), 0u);
  EXPECT_EQ(CountsOf(query), (std::map<int32_t, int32_t>{{3, 1}}));
  EXPECT_EQ(query.weight(), 0.0);
}

TEST(RelevanceScoreTest, NoCommonPairScoresZero) {
  const TermVector query = Pairs({TermPair(1, 2, 3, 4)});
  const TermVector document = Pairs({TermPair(1, 3, 5, 5), TermPair(2, 4, 1, 1)});
  EXPECT_EQ(RelevanceScore(query, document), 0.0);
  EXPECT_EQ(RelevanceScore(TermVector(), document), 0.0);
  EXPECT_EQ(RelevanceScore(query, TermVector()), 0.0);
}

TEST(RelevanceScoreTest, SumsProductsOfSameDirections) {
  const TermVector query = Pairs({TermPair(1, 2, 3, 4), TermPair(2, 3, 1, 0)});
  const TermVector document = Pairs({TermPair(2, 3, 5, 9), TermPair(1, 2, 2, 0.5)});
  EXPECT_DOUBLE_EQ(RelevanceScore(query, document), 3 * 2 + 4 * 0.5 + 1 * 5 + 0 * 9);
}

TEST(RelevanceScoreTest, ReversedPairCountsForwardAgainstBackward) {
  const TermVector query = Pairs({TermPair(1, 2, 3, 4)});
  const TermVector document = Pairs({TermPair(2, 1, 5, 7)});
  EXPECT_DOUBLE_EQ(RelevanceScore(query, document), 3 * 7 + 4 * 5);
}

TEST(RelevanceScoreTest, DoublingTheQueryDoublesEveryScore) {
  TermVector query = Pairs({TermPair(1, 2, 3, 4), TermPair(3, 4, 0.5, 2), TermPair(5, 6, 1, 0)});
  const std::vector<TermVector> documents = {
      Pairs({TermPair(2, 1, 5, 7), TermPair(3, 4, 1, 1)}),
      Pairs({TermPair(5, 6, 0.25, 3)}),
      Pairs({TermPair(4, 3, 8, 0), TermPair(9, 1, 1, 1), TermPair(1, 2, 1, 1)}),
  };
  std::vector<double> before;
  for (const TermVector& document : documents) before.push_back(RelevanceScore(query, document));
  query.Scale(2.0);
  for (size_t i = 0; i < documents.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_GT(before[i], 0.0);
    EXPECT_DOUBLE_EQ(RelevanceScore(query, documents[i]), 2 * before[i]);
  }
}

TEST(RelevanceScoreTest, NegligibleProductsDoNotCount) {
  const TermVector query = Pairs({TermPair(1, 2, 1e-5, 1e-5), TermPair(3, 4, 1e-5, 1)});
  const TermVector tiny = Pairs({TermPair(1, 2, 1e-5, 1e-5)});
  EXPECT_EQ(RelevanceScore(query, tiny), 0.0);
  // One product above the limit keeps the pair, with its small product.
  const TermVector mixed = Pairs({TermPair(3, 4, 1e-5, 2)});
  EXPECT_DOUBLE_EQ(RelevanceScore(query, mixed), 1e-10 + 2);
}

}  // namespace
}  // namespace qora
