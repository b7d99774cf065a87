#include "analysis/query_scorer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/relevance.h"
#include "analysis/stem_map.h"
#include "analysis/term_list.h"

namespace qora {
namespace {

// A vector built from a random sentence over a small vocabulary, so that
// queries and documents share many pairs, in both orientations.
TermVector RandomVector(std::mt19937* random, int terms, int length) {
  std::uniform_int_distribution<int32_t> term(0, terms - 1);
  TermList list;
  for (int i = 0; i < length; ++i) list.Append(term(*random));
  TermVector vector;
  vector.Build(list, 5);
  return vector;
}

double Expected(const TermVector& query, const std::vector<TermPair>& document) {
  TermVector vector;
  for (const TermPair& pair : document) vector.AppendPair(pair);
  return RelevanceScore(query, vector);
}

std::vector<TermPair> PairsOf(const TermVector& vector) {
  return std::vector<TermPair>(vector.pairs().begin(), vector.pairs().end());
}

void ExpectScoresAsRelevanceScore(const TermVector& query,
                                  const std::vector<std::vector<TermPair>>& documents) {
  QueryScorer scorer(query);
  for (size_t i = 0; i < documents.size(); ++i) {
    // Exact equality: the ranking order must not depend on the way of scoring.
    EXPECT_EQ(Expected(query, documents[i]), scorer.Score(documents[i])) << "document " << i;
  }
}

TEST(QueryScorerTest, ScoresFinalizedDocumentsExactly) {
  std::mt19937 random(11);
  TermVector query = RandomVector(&random, 40, 60);
  query.Merge(RandomVector(&random, 40, 60));
  std::vector<std::vector<TermPair>> documents;
  for (int i = 0; i < 50; ++i) documents.push_back(PairsOf(RandomVector(&random, 40, 80)));
  documents.push_back({});
  ExpectScoresAsRelevanceScore(query, documents);
  double total = 0;
  QueryScorer scorer(query);
  for (const auto& document : documents) total += scorer.Score(document);
  EXPECT_GT(total, 0.0);  // The vocabulary is small enough for many shared pairs.
}

TEST(QueryScorerTest, StemmedVectorsWithSelfPairsScoreExactly) {
  std::mt19937 random(12);
  StemMap stems;
  for (int32_t id = 0; id < 30; ++id) stems.SetStem(id, id / 3);  // Three words a stem.
  TermVector query;
  query.StemmedCopyOf(RandomVector(&random, 30, 80), &stems);
  std::vector<std::vector<TermPair>> documents;
  for (int i = 0; i < 30; ++i) {
    TermVector document;
    document.StemmedCopyOf(RandomVector(&random, 30, 60), &stems);
    documents.push_back(PairsOf(document));
  }
  bool has_self_pair = false;
  for (const TermPair& pair : query.pairs()) has_self_pair |= pair.first() == pair.second();
  ASSERT_TRUE(has_self_pair);
  ExpectScoresAsRelevanceScore(query, documents);
}

TEST(QueryScorerTest, DocumentsHoldingACoupleTwiceFoldAsFinalizingDoes) {
  std::mt19937 random(13);
  const TermVector query = RandomVector(&random, 20, 50);
  std::vector<TermPair> document = PairsOf(RandomVector(&random, 20, 50));
  ASSERT_FALSE(document.empty());
  std::vector<std::vector<TermPair>> documents;
  std::vector<TermPair> reversed_twice = document;
  for (const TermPair& pair : document) reversed_twice.push_back(pair.Reversed());
  documents.push_back(reversed_twice);
  std::vector<TermPair> repeated = document;
  repeated.insert(repeated.end(), document.begin(), document.end());
  documents.push_back(repeated);
  // Products that are negligible alone and count once folded.
  const TermPair& shared = query.PairAt(0);
  documents.push_back({TermPair(shared.first(), shared.second(), 6e-9 / shared.forward(), 0.0),
                       TermPair(shared.first(), shared.second(), 6e-9 / shared.forward(), 0.0)});
  ExpectScoresAsRelevanceScore(query, documents);
  EXPECT_GT(QueryScorer(query).Score(documents.back()), 0.0);
}

TEST(QueryScorerTest, NegligibleAndNegativeProductsCountAsRelevanceScoreCounts) {
  TermVector query;
  query.AppendPair(TermPair(1, 2, 1.0, 1.0));
  query.AppendPair(TermPair(3, 4, 1e-5, 2.0));
  query.AppendPair(TermPair(5, 6, -2.0, 0.0));
  const std::vector<std::vector<TermPair>> documents = {
      {TermPair(1, 2, 5e-9, 5e-9)},                       // both products negligible
      {TermPair(4, 3, 1e-4, 1e-4)},                       // reversed, one product counts
      {TermPair(5, 6, 3.0, 0.0), TermPair(1, 2, 2.0, 1.0)},  // a negative product
      {TermPair(7, 8, 1.0, 1.0)},                         // nothing shared
  };
  ExpectScoresAsRelevanceScore(query, documents);
  QueryScorer scorer(query);
  EXPECT_EQ(0.0, scorer.Score(documents[0]));
  EXPECT_EQ(0.0, scorer.Score(documents[3]));
}

TEST(QueryScorerTest, QueriesHoldingACoupleTwiceScoreExactly) {
  std::mt19937 random(14);
  TermVector query = RandomVector(&random, 20, 40);
  const TermPair first = query.PairAt(0);
  query.AppendPair(first.Reversed());  // Both orientations of one couple.
  query.AppendPair(query.PairAt(1));   // One pair twice: the newer is found.
  std::vector<std::vector<TermPair>> documents;
  for (int i = 0; i < 20; ++i) documents.push_back(PairsOf(RandomVector(&random, 20, 40)));
  documents.push_back({first, first.Reversed()});
  ExpectScoresAsRelevanceScore(query, documents);

  // Products negligible alone that the folded intersection counts.
  TermVector both;
  both.AppendPair(TermPair(1, 2, 1.0, 1.0));
  both.AppendPair(TermPair(2, 1, 1.0, 1.0));
  const std::vector<TermPair> tiny = {TermPair(1, 2, 6e-9, 0.0), TermPair(2, 1, 0.0, 6e-9)};
  ExpectScoresAsRelevanceScore(both, {tiny});
  EXPECT_GT(QueryScorer(both).Score(tiny), 0.0);
}

}  // namespace
}  // namespace qora
