#include "analysis/concept_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analysis/term_dictionary.h"
#include "analysis/term_list.h"
#include "analysis/term_pair.h"
#include "analysis/term_vector.h"
#include "util/document_record.h"

namespace qora {
namespace {

// The count every term gets in the vectors built here, so that copied counts
// can be told from made-up ones.
int32_t CountOf(int32_t id) { return 100 + id; }

// A vector holding `pairs` as they are, in order, with a count for each of
// their terms except those in `uncounted`.
TermVector VectorOf(const std::vector<TermPair>& pairs, const std::set<int32_t>& uncounted = {}) {
  TermVector vector;
  for (const TermPair& pair : pairs) {
    vector.AppendPair(pair);
    for (int32_t id : {pair.first(), pair.second()}) {
      if (uncounted.count(id) == 0) vector.SetTermCount(id, CountOf(id));
    }
  }
  return vector;
}

// The pairs of a clique over the terms base .. base + size - 1, each with
// forward weight `weight`.
std::vector<TermPair> Clique(int32_t base, int32_t size, double weight) {
  std::vector<TermPair> pairs;
  for (int32_t i = 0; i < size; ++i) {
    for (int32_t j = i + 1; j < size; ++j) pairs.emplace_back(base + i, base + j, weight);
  }
  return pairs;
}

// The first five pairs of a clique over terms base .. base + 3, the k-th
// (from 0) with forward weight (k + 1) * forward.
std::vector<TermPair> FivePairGroup(int32_t base, double forward, double backward) {
  return {TermPair(base, base + 1, forward, backward),
          TermPair(base, base + 2, 2 * forward, backward),
          TermPair(base, base + 3, 3 * forward, backward),
          TermPair(base + 1, base + 2, 4 * forward, backward),
          TermPair(base + 1, base + 3, 5 * forward, backward)};
}

// `a` and `b` alternated pair by pair.
std::vector<TermPair> Interleaved(const std::vector<TermPair>& a, const std::vector<TermPair>& b) {
  std::vector<TermPair> pairs;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < a.size()) pairs.push_back(a[i]);
    if (i < b.size()) pairs.push_back(b[i]);
  }
  return pairs;
}

// Expects `vector` to hold exactly `pairs`, in order, with the same weights.
void ExpectPairs(const TermVector& vector, const std::vector<TermPair>& pairs) {
  ASSERT_EQ(vector.pair_count(), pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    const TermPair& pair = vector.PairAt(i);
    EXPECT_TRUE(pair.SamePairAs(pairs[i]))
        << "pair " << i << " is (" << pair.first() << "," << pair.second() << ")";
    EXPECT_EQ(pair.forward(), pairs[i].forward()) << "pair " << i;
    EXPECT_EQ(pair.backward(), pairs[i].backward()) << "pair " << i;
  }
}

// The terms that have a count in `vector`.
std::set<int32_t> CountedTerms(const TermVector& vector) {
  std::set<int32_t> terms;
  for (const auto& [id, count] : vector.term_counts()) terms.insert(id);
  return terms;
}

// The position of the concept holding the pair (first, second), or -1.
int ConceptHolding(const std::vector<TermVector>& concepts, int32_t first, int32_t second) {
  for (size_t k = 0; k < concepts.size(); ++k) {
    if (concepts[k].FindPair(first, second) != nullptr) return static_cast<int>(k);
  }
  return -1;
}

// Expects every pair of every concept to come from `source`, each source pair
// to be in at most one concept, and the counts of the concepts to be those of
// `source` for terms of their pairs.
void ExpectConsistentWith(const TermVector& source, const std::vector<TermVector>& concepts) {
  size_t pairs = 0;
  for (const TermVector& concept_vector : concepts) {
    pairs += concept_vector.pair_count();
    std::set<int32_t> terms;
    for (const TermPair& pair : concept_vector.pairs()) {
      EXPECT_NE(source.FindPair(pair.first(), pair.second()), nullptr);
      terms.insert(pair.first());
      terms.insert(pair.second());
    }
    for (const auto& [id, count] : concept_vector.term_counts()) {
      EXPECT_EQ(terms.count(id), 1u) << "term " << id;
      EXPECT_EQ(count, source.TermCount(id)) << "term " << id;
    }
  }
  EXPECT_LE(pairs, source.pair_count());
}

// A concept of one pair whose total weight is `weight`.
TermVector ConceptWeighing(double weight) {
  TermVector concept_vector;
  concept_vector.AppendPair(TermPair(1, 2, weight, 0.0));
  return concept_vector;
}

std::vector<double> TotalWeights(const std::vector<TermVector>& concepts) {
  std::vector<double> weights;
  for (const TermVector& concept_vector : concepts) weights.push_back(concept_vector.TotalWeight());
  return weights;
}

// ---------------------------------------------------------------------------
// The term graph.

TEST(TermGraphTest, NumbersTermsByFirstAppearanceAndScalesWeights) {
  const TermVector source = VectorOf({TermPair(7, 9, 3.0, 1.0),     // total 4: the largest
                                      TermPair(9, 5, 2.0, 0.0),     // total 2: half
                                      TermPair(5, 7, 0.0003, 0.0),  // 0.75 truncates to 0
                                      TermPair(7, 7, 0.5, 0.5)});   // a self loop
  const TermGraph result = BuildTermGraph(source);
  EXPECT_EQ(result.terms, (std::vector<int32_t>{7, 9, 5}));
  const WeightedGraph& graph = result.graph;
  EXPECT_EQ(graph.vertex_count, 3);
  EXPECT_EQ(graph.offsets, (std::vector<int64_t>{0, 4, 6, 8}));
  EXPECT_EQ(graph.neighbors, (std::vector<int32_t>{1, 2, 0, 0, 0, 2, 1, 0}));
  EXPECT_EQ(graph.weights, (std::vector<int64_t>{10000, 0, 2500, 2500, 10000, 5000, 5000, 0}));
}

TEST(TermGraphTest, WeightsOfPairsWithoutWeightAreZero) {
  const TermGraph result = BuildTermGraph(VectorOf({TermPair(1, 2), TermPair(2, 3)}));
  EXPECT_EQ(result.graph.weights, (std::vector<int64_t>(4, 0)));
}

TEST(TermGraphTest, WeightsThatAreNotNumbersAreZero) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const TermGraph result =
      BuildTermGraph(VectorOf({TermPair(1, 2, nan), TermPair(2, 3, 1.0), TermPair(3, 4, -5.0)}));
  EXPECT_EQ(result.graph.weights, (std::vector<int64_t>{0, 0, 10000, 10000, 0, 0}));
  const TermGraph infinite = BuildTermGraph(VectorOf({TermPair(1, 2, infinity), TermPair(2, 3)}));
  EXPECT_EQ(infinite.graph.weights, (std::vector<int64_t>(4, 0)));
}

// ---------------------------------------------------------------------------
// Concepts.

TEST(BuildConceptsTest, SplitsTwoGroupsKeepingPairOrderAndCounts) {
  const std::vector<TermPair> a = FivePairGroup(1, 3.0, 1.0);
  const std::vector<TermPair> b = FivePairGroup(11, 4.0, 2.0);
  const TermVector source = VectorOf(Interleaved(a, b));
  ASSERT_EQ(source.pair_count(), 10u);

  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 5, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  const int k = ConceptHolding(concepts, 1, 2);
  ASSERT_GE(k, 0);
  const TermVector& concept_a = concepts[static_cast<size_t>(k)];
  const TermVector& concept_b = concepts[static_cast<size_t>(1 - k)];
  ExpectPairs(concept_a, a);
  ExpectPairs(concept_b, b);
  EXPECT_EQ(CountedTerms(concept_a), (std::set<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(CountedTerms(concept_b), (std::set<int32_t>{11, 12, 13, 14}));
  for (int32_t id : {1, 2, 3, 4}) EXPECT_EQ(concept_a.TermCount(id), CountOf(id));
  for (int32_t id : {11, 12, 13, 14}) EXPECT_EQ(concept_b.TermCount(id), CountOf(id));
  EXPECT_EQ(concept_a.weight(), 0.0);
}

TEST(BuildConceptsTest, FewPairsGiveOneConceptEqualToTheSource) {
  TermVector source = VectorOf(Interleaved(FivePairGroup(1, 3.0, 1.0), FivePairGroup(11, 4, 2)));
  source.set_weight(7.5);
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 20, 8, true, &concepts));
  ASSERT_EQ(concepts.size(), 1u);
  ExpectPairs(concepts[0], std::vector<TermPair>(source.pairs().begin(), source.pairs().end()));
  EXPECT_EQ(concepts[0].term_counts(), source.term_counts());
  EXPECT_EQ(concepts[0].weight(), 7.5);
}

TEST(BuildConceptsTest, MaxConceptsLimitsTheCount) {
  const TermVector source = VectorOf(Interleaved(FivePairGroup(1, 3, 1), FivePairGroup(11, 4, 2)));
  std::vector<TermVector> concepts;
  // A count of 1 or less gives the source as one concept.
  for (int max_concepts : {1, 0, -1}) {
    ASSERT_TRUE(BuildConcepts(source, 1, max_concepts, true, &concepts)) << max_concepts;
    ASSERT_EQ(concepts.size(), 1u) << max_concepts;
    EXPECT_EQ(concepts[0].pair_count(), 10u) << max_concepts;
  }

  // Ten pairs, one per concept, but only eight terms and at most 3 concepts.
  ASSERT_TRUE(BuildConcepts(source, 1, 3, false, &concepts));
  EXPECT_EQ(concepts.size(), 3u);
  ExpectConsistentWith(source, concepts);
}

TEST(BuildConceptsTest, FailsCleanlyOnBadArguments) {
  const TermVector source = VectorOf(FivePairGroup(1, 3, 1));
  std::vector<TermVector> concepts(3);
  EXPECT_FALSE(BuildConcepts(TermVector(), 5, 8, false, &concepts));
  EXPECT_TRUE(concepts.empty());
  concepts.resize(2);
  EXPECT_FALSE(BuildConcepts(source, 0, 8, false, &concepts));
  EXPECT_TRUE(concepts.empty());
  EXPECT_FALSE(BuildConcepts(source, -4, 8, false, &concepts));
  EXPECT_FALSE(BuildConcepts(source, 2, 8, false, nullptr));
  EXPECT_FALSE(BuildConceptMap(TermVector(), 5, 8, &concepts));
}

TEST(BuildConceptsTest, PairsAcrossPartsBelongToNoConcept) {
  std::vector<TermPair> pairs = Interleaved(FivePairGroup(1, 3, 1), FivePairGroup(11, 4, 2));
  pairs.insert(pairs.begin() + 4, TermPair(4, 11, 0.5, 0.0));
  const TermVector source = VectorOf(pairs);
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 5, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  EXPECT_EQ(ConceptHolding(concepts, 4, 11), -1);
  EXPECT_EQ(concepts[0].pair_count() + concepts[1].pair_count(), 10u);
  EXPECT_NE(ConceptHolding(concepts, 1, 2), ConceptHolding(concepts, 11, 12));
  // The link's terms keep the counts they have from their own groups.
  ExpectConsistentWith(source, concepts);
}

TEST(BuildConceptsTest, TermsWithoutSourceCountGetNone) {
  const TermVector source =
      VectorOf(Interleaved(FivePairGroup(1, 3, 1), FivePairGroup(11, 4, 2)), {3, 12});
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 5, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  const int k = ConceptHolding(concepts, 1, 2);
  ASSERT_GE(k, 0);
  EXPECT_EQ(CountedTerms(concepts[static_cast<size_t>(k)]), (std::set<int32_t>{1, 2, 4}));
  EXPECT_EQ(CountedTerms(concepts[static_cast<size_t>(1 - k)]), (std::set<int32_t>{11, 13, 14}));
}

TEST(BuildConceptsTest, SelfLoopPairsStayWithTheirTerm) {
  std::vector<TermPair> a = FivePairGroup(1, 3, 1);
  std::vector<TermPair> b = FivePairGroup(11, 4, 2);
  a.insert(a.begin() + 2, TermPair(1, 1, 50.0, 0.0));
  b.push_back(TermPair(12, 12, 50.0, 50.0));
  const TermVector source = VectorOf(Interleaved(a, b));
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 6, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  const int k = ConceptHolding(concepts, 1, 2);
  ASSERT_GE(k, 0);
  ExpectPairs(concepts[static_cast<size_t>(k)], a);
  ExpectPairs(concepts[static_cast<size_t>(1 - k)], b);
}

TEST(BuildConceptsTest, OnlySelfLoopsGiveOneConceptPerTerm) {
  const TermVector source = VectorOf(
      {TermPair(1, 1, 2.0), TermPair(2, 2, 3.0), TermPair(3, 3, 4.0), TermPair(4, 4, 5.0)});
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 1, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 4u);
  for (int32_t id = 1; id <= 4; ++id) EXPECT_GE(ConceptHolding(concepts, id, id), 0) << id;
  for (const TermVector& concept_vector : concepts) EXPECT_EQ(concept_vector.pair_count(), 1u);
}

TEST(BuildConceptsTest, MoreConceptsThanTermsAreLoweredToTheTermCount) {
  // Six pairs over four terms: six concepts asked, four terms to share.
  const TermVector clique = VectorOf(Clique(1, 4, 2.0));
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(clique, 1, 8, false, &concepts));
  EXPECT_EQ(concepts.size(), 4u);
  ExpectConsistentWith(clique, concepts);

  // Three pairs over two terms: each self loop gets its own concept.
  const TermVector loops =
      VectorOf({TermPair(1, 1, 1.0), TermPair(1, 2, 1.0), TermPair(2, 2, 1.0)});
  ASSERT_TRUE(BuildConcepts(loops, 1, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  EXPECT_NE(ConceptHolding(concepts, 1, 1), ConceptHolding(concepts, 2, 2));
  EXPECT_EQ(ConceptHolding(concepts, 1, 2), -1);

  // A single term: the one concept is the source.
  const TermVector single = VectorOf({TermPair(5, 5, 1.0), TermPair(5, 5, 2.0)});
  ASSERT_TRUE(BuildConcepts(single, 1, 8, true, &concepts));
  ASSERT_EQ(concepts.size(), 1u);
  EXPECT_EQ(concepts[0].pair_count(), 2u);
}

TEST(BuildConceptsTest, WeakAndWeightlessPairsArePartitioned) {
  // Group b is a million million times weaker than group a: its graph weights
  // truncate to 0. The pair (30, 31) weighs nothing at all.
  std::vector<TermPair> a = FivePairGroup(1, 1e6, 0.0);
  std::vector<TermPair> b = FivePairGroup(11, 1e-6, 0.0);
  std::vector<TermPair> pairs = Interleaved(a, b);
  pairs.push_back(TermPair(30, 31));
  const TermVector source = VectorOf(pairs);
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 5, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  ExpectConsistentWith(source, concepts);
  // Group b is weak but still holds together.
  const int k = ConceptHolding(concepts, 11, 12);
  ASSERT_GE(k, 0);
  for (const TermPair& pair : b)
    EXPECT_EQ(ConceptHolding(concepts, pair.first(), pair.second()), k);

  // Nothing but weightless pairs.
  const TermVector weightless =
      VectorOf({TermPair(1, 2), TermPair(2, 3), TermPair(3, 4), TermPair(4, 1)});
  ASSERT_TRUE(BuildConcepts(weightless, 2, 8, true, &concepts));
  EXPECT_EQ(concepts.size(), 2u);
  ExpectConsistentWith(weightless, concepts);
}

TEST(BuildConceptsTest, BothOrientationsOfAPairAreOneEdge) {
  // A vector that was never finalized may hold (a, b) and (b, a).
  std::vector<TermPair> a = FivePairGroup(1, 3, 1);
  std::vector<TermPair> b = FivePairGroup(11, 4, 2);
  a.push_back(TermPair(2, 1, 6.0, 0.0));
  b.push_back(TermPair(14, 11, 6.0, 0.0));
  const TermVector source = VectorOf(Interleaved(a, b));
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 6, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  const int k = ConceptHolding(concepts, 1, 2);
  ASSERT_GE(k, 0);
  ExpectPairs(concepts[static_cast<size_t>(k)], a);
  ExpectPairs(concepts[static_cast<size_t>(1 - k)], b);
}

// ---------------------------------------------------------------------------
// Pruning.

TEST(PruneConceptsTest, RemovesConceptsWellBelowTheMedian) {
  // Ascending 1, 2, 3, 10: the median at index 2 is 3, the threshold 2.4.
  std::vector<TermVector> concepts = {ConceptWeighing(10), ConceptWeighing(1), ConceptWeighing(3),
                                      ConceptWeighing(2)};
  PruneConcepts(&concepts);
  EXPECT_EQ(TotalWeights(concepts), (std::vector<double>{10, 3}));

  // Ascending 1, 5, 6: the threshold is 4.
  concepts = {ConceptWeighing(1), ConceptWeighing(5), ConceptWeighing(6)};
  PruneConcepts(&concepts);
  EXPECT_EQ(TotalWeights(concepts), (std::vector<double>{5, 6}));
}

TEST(PruneConceptsTest, KeepsConceptsAtTheThreshold) {
  // Ascending 4, 5, 5: the threshold is 4, which is not below itself.
  std::vector<TermVector> concepts = {ConceptWeighing(5), ConceptWeighing(4), ConceptWeighing(5)};
  ASSERT_EQ(5 * 0.8, 4.0);
  PruneConcepts(&concepts);
  EXPECT_EQ(TotalWeights(concepts), (std::vector<double>{5, 4, 5}));
}

TEST(PruneConceptsTest, NeverPrunesTwoOrFewer) {
  std::vector<TermVector> concepts = {ConceptWeighing(1), ConceptWeighing(100)};
  PruneConcepts(&concepts);
  EXPECT_EQ(TotalWeights(concepts), (std::vector<double>{1, 100}));
  concepts = {ConceptWeighing(1)};
  PruneConcepts(&concepts);
  EXPECT_EQ(concepts.size(), 1u);
  concepts.clear();
  PruneConcepts(&concepts);
  EXPECT_TRUE(concepts.empty());
}

TEST(BuildConceptsTest, PruningDropsTheWeakConcept) {
  // Three cliques of six pairs: two heavy ones and a light one.
  std::vector<TermPair> pairs = Clique(1, 4, 10.0);
  for (const TermPair& pair : Clique(11, 4, 1.0)) pairs.push_back(pair);
  for (const TermPair& pair : Clique(21, 4, 10.0)) pairs.push_back(pair);
  const TermVector source = VectorOf(pairs);

  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConcepts(source, 6, 8, false, &concepts));
  ASSERT_EQ(concepts.size(), 3u);
  ASSERT_TRUE(BuildConcepts(source, 6, 8, true, &concepts));
  ASSERT_EQ(concepts.size(), 2u);
  EXPECT_EQ(ConceptHolding(concepts, 11, 12), -1);
  EXPECT_GE(ConceptHolding(concepts, 1, 2), 0);
  EXPECT_GE(ConceptHolding(concepts, 21, 22), 0);
  for (const TermVector& concept_vector : concepts) EXPECT_EQ(concept_vector.pair_count(), 6u);
}

// ---------------------------------------------------------------------------
// The concept map.

TEST(BuildConceptMapTest, OrdersConceptsByDescendingWeight) {
  // Clique totals 27, 30 and 36: the threshold 24 keeps all three.
  std::vector<TermPair> pairs = Clique(1, 4, 4.5);
  for (const TermPair& pair : Clique(11, 4, 5.0)) pairs.push_back(pair);
  for (const TermPair& pair : Clique(21, 4, 6.0)) pairs.push_back(pair);
  const TermVector source = VectorOf(pairs);

  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConceptMap(source, 6, 8, &concepts));
  ASSERT_EQ(concepts.size(), 3u);
  EXPECT_EQ(concepts[0].weight(), 36.0);
  EXPECT_EQ(concepts[1].weight(), 30.0);
  EXPECT_EQ(concepts[2].weight(), 27.0);
  for (const TermVector& concept_vector : concepts) {
    EXPECT_EQ(concept_vector.weight(), concept_vector.TotalWeight());
  }
  EXPECT_NE(concepts[0].FindPair(21, 22), nullptr);
  EXPECT_NE(concepts[1].FindPair(11, 12), nullptr);
  EXPECT_NE(concepts[2].FindPair(1, 2), nullptr);
}

TEST(BuildConceptMapTest, OneConceptGetsTheSourceWeight) {
  const TermVector source = VectorOf(Clique(1, 4, 2.0));
  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConceptMap(source, 10, 8, &concepts));
  ASSERT_EQ(concepts.size(), 1u);
  EXPECT_EQ(concepts[0].weight(), 12.0);
}

// ---------------------------------------------------------------------------
// Best phrases.

std::vector<int32_t> Ids(const TermList& list) { return list.ids(); }

TEST(BestPhraseTest, ExtendsAtTheEnd) {
  // 1 -> 2, 1 -> 3 and 2 -> 3 at weight 10 each. The first pass keeps
  // "1 2" (10 - 2); the second appends 3 with 10 + 10 - 3.
  const TermList phrase =
      BestPhrase(VectorOf({TermPair(1, 2, 10.0), TermPair(2, 3, 10.0), TermPair(1, 3, 10.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(phrase.score(), 17.0);
}

TEST(BestPhraseTest, ExtendsAtTheStart) {
  // The first pass keeps "2 3" (10 - 2 beats 6 - 2); nothing follows 2 or 3,
  // but 1 precedes both: 6 + 6 - 3.
  const TermList phrase =
      BestPhrase(VectorOf({TermPair(2, 3, 10.0), TermPair(1, 2, 6.0), TermPair(1, 3, 6.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(phrase.score(), 9.0);
}

TEST(BestPhraseTest, KeepsAShorterPhraseThatScoresBetter) {
  // "1 2" scores 5 - 2; "1 2 3" would score 4 - 3.
  const TermList phrase = BestPhrase(VectorOf({TermPair(1, 2, 5.0), TermPair(2, 3, 4.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(phrase.score(), 3.0);
}

// The same occurrences stored in the other orientation.
TermVector Reversed(const std::vector<TermPair>& pairs) {
  std::vector<TermPair> reversed;
  for (const TermPair& pair : pairs) reversed.push_back(pair.Reversed());
  return VectorOf(reversed);
}

TEST(BestPhraseTest, OrientationOfStoredPairsDoesNotMatter) {
  const std::vector<std::vector<TermPair>> cases = {
      {TermPair(1, 2, 10.0), TermPair(2, 3, 10.0), TermPair(1, 3, 10.0)},
      {TermPair(2, 3, 10.0), TermPair(1, 2, 6.0), TermPair(1, 3, 6.0)},
      {TermPair(1, 2, 5.0), TermPair(2, 3, 4.0)}};
  for (const std::vector<TermPair>& pairs : cases) {
    const TermList forward = BestPhrase(VectorOf(pairs));
    const TermList reversed = BestPhrase(Reversed(pairs));
    EXPECT_EQ(Ids(reversed), Ids(forward));
    EXPECT_EQ(reversed.score(), forward.score());
    EXPECT_GE(forward.ids().size(), 2u);
  }
}

TEST(BestPhraseTest, APairInItsOwnOrientationComesFirst) {
  // A vector that was never finalized may hold (1, 2) and (2, 1): 2 follows
  // 1 with weight 10 by the first, 1 follows 2 with weight 3 by the second.
  const TermList phrase = BestPhrase(VectorOf({TermPair(1, 2, 10.0), TermPair(2, 1, 3.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(phrase.score(), 8.0);
  const TermList other = BestPhrase(VectorOf({TermPair(1, 2, 3.0), TermPair(2, 1, 10.0)}));
  EXPECT_EQ(Ids(other), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(other.score(), 8.0);
}

TEST(BestPhraseTest, SingleTermsOutrankWeakPhrases) {
  // Every two-term phrase scores 1 - 2 < 0: the first seed stays.
  const TermList phrase = BestPhrase(VectorOf({TermPair(4, 2, 1.0), TermPair(2, 3, 1.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{2}));
  EXPECT_EQ(phrase.score(), 0.0);
}

TEST(BestPhraseTest, UncountedTermsDoNotExtend) {
  const TermList phrase = BestPhrase(VectorOf({TermPair(5, 6, 10.0)}, {5, 6}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{5}));
  EXPECT_EQ(phrase.score(), 0.0);
  // With a count, 5 would lead the phrase "5 6 7" (10 + 10 - 3); without
  // one it joins no phrase.
  const TermList counted_only =
      BestPhrase(VectorOf({TermPair(5, 6, 10.0), TermPair(6, 7, 10.0), TermPair(5, 7, 10.0)}, {5}));
  EXPECT_EQ(Ids(counted_only), (std::vector<int32_t>{6, 7}));
  EXPECT_EQ(counted_only.score(), 8.0);
  const TermList all_counted =
      BestPhrase(VectorOf({TermPair(5, 6, 10.0), TermPair(6, 7, 10.0), TermPair(5, 7, 10.0)}));
  EXPECT_EQ(Ids(all_counted), (std::vector<int32_t>{5, 6, 7}));
}

TEST(BestPhraseTest, EmptyVectorGivesEmptyPhrase) {
  const TermList phrase = BestPhrase(TermVector());
  EXPECT_TRUE(phrase.ids().empty());
  EXPECT_EQ(phrase.score(), 0.0);
}

TEST(BestPhraseTest, SeedsComeFromTheFirstFortyPairs) {
  // Forty weak pairs, then a strong one whose terms are no seeds and have no
  // pair with any seed.
  std::vector<TermPair> pairs;
  for (int32_t k = 1; k <= 40; ++k) pairs.emplace_back(0, k, 1.0);
  pairs.emplace_back(100, 101, 1000.0);
  const TermList phrase = BestPhrase(VectorOf(pairs));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{0}));

  // As the fortieth pair it seeds the winner.
  pairs.erase(pairs.begin());
  const TermList seeded = BestPhrase(VectorOf(pairs));
  EXPECT_EQ(Ids(seeded), (std::vector<int32_t>{100, 101}));
  EXPECT_EQ(seeded.score(), 998.0);
}

TEST(BestPhraseTest, PairsOfATermWithItselfDoNotRepeatIt) {
  // A stemmed vector may pair a term with itself, however strongly.
  const TermList phrase = BestPhrase(VectorOf({TermPair(1, 1, 50.0, 50.0), TermPair(1, 2, 10.0)}));
  EXPECT_EQ(Ids(phrase), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(phrase.score(), 8.0);
}

TEST(BestPhraseTest, NeverRepeatsATerm) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    TermList sentence;
    const int length = 2 + static_cast<int>(random() % 30);
    for (int i = 0; i < length; ++i) sentence.Append(static_cast<int32_t>(random() % 6));
    TermVector vector;
    vector.Build(sentence, 4);
    if (vector.pair_count() == 0) continue;
    const TermList phrase = BestPhrase(vector);
    ASSERT_FALSE(phrase.ids().empty()) << "round " << round;
    const std::set<int32_t> distinct(phrase.ids().begin(), phrase.ids().end());
    EXPECT_EQ(distinct.size(), phrase.ids().size()) << "round " << round;
    EXPECT_LE(phrase.ids().size(), 3u) << "round " << round;
  }
}

// ---------------------------------------------------------------------------
// Key phrases and concept records.

class ConceptRecordTest : public testing::Test {
 protected:
  ConceptRecordTest() {
    for (const char* word : {"alpha", "beta", "gamma", "delta", "epsilon", "zeta"}) {
      dictionary_.AddWord(word);
    }
  }

  static TermList Phrase(std::vector<int32_t> ids, double score) {
    TermList phrase;
    for (int32_t id : ids) phrase.Append(id);
    phrase.set_score(score);
    return phrase;
  }

  TermDictionary dictionary_;
};

TEST_F(ConceptRecordTest, KeyPhrasesAreDistinctAndRanked) {
  std::vector<WeightedTerm> keywords = {WeightedTerm{"kept ", 1.0, 2}};
  const int written = AppendKeyPhrases(
      {Phrase({0, 1}, 3.0), Phrase({2}, 5.0), Phrase({0, 1}, 9.0),  // repeat: the 3 stays
       Phrase({}, 0.0), Phrase({3}, -1.0), Phrase({4}, 1e-9),       // too weak
       Phrase({5}, 1e8 - 1), Phrase({1, 0}, 4.0)},                  // too strong
      dictionary_, &keywords);
  EXPECT_EQ(written, 3);
  ASSERT_EQ(keywords.size(), 4u);
  EXPECT_EQ(keywords[0].text, "kept ");
  EXPECT_EQ(keywords[1].text, "gamma ");
  EXPECT_EQ(keywords[1].weight, 5.0);
  EXPECT_EQ(keywords[2].text, "beta alpha ");
  EXPECT_EQ(keywords[2].weight, 4.0);
  EXPECT_EQ(keywords[3].text, "alpha beta ");
  EXPECT_EQ(keywords[3].weight, 3.0);
  for (size_t i = 1; i < keywords.size(); ++i) EXPECT_EQ(keywords[i].count, 0);
}

TEST_F(ConceptRecordTest, FillsTheRecordFields) {
  DocumentRecord record;
  record.rank = 3.5;
  record.obj_handle = 99;
  record.ord = 99;
  record.name = "old";
  record.header = "old";
  record.sdesc = "old";
  record.ldesc = "old";
  record.docid = "doc-7";
  record.keywords = {WeightedTerm{"old ", 1.0, 1}};
  record.keyphrases = {WeightedTerm{"left ", 1.0, 1}};

  // One sub-concept, the triangle itself: "alpha beta gamma" scores 17.
  const TermVector triangle =
      VectorOf({TermPair(0, 1, 10.0), TermPair(1, 2, 10.0), TermPair(0, 2, 10.0)});
  EXPECT_EQ(FillConceptRecord(triangle, &record, 12, 4, 5, 3, dictionary_), 1);
  EXPECT_EQ(record.rank, 0.0);
  EXPECT_EQ(record.obj_handle, 12);
  EXPECT_EQ(record.ord, 4);
  EXPECT_EQ(record.name, "5");
  EXPECT_EQ(record.header, "5");
  EXPECT_EQ(record.sdesc, "");
  EXPECT_EQ(record.ldesc, "");
  EXPECT_EQ(record.docid, "doc-7");
  ASSERT_EQ(record.keyphrases.size(), 1u);
  ASSERT_EQ(record.keywords.size(), 1u);
  EXPECT_EQ(record.keywords[0].text, "alpha beta gamma ");
  EXPECT_EQ(record.keywords[0].weight, 17.0);
  EXPECT_EQ(record.keywords[0].count, 0);
}

TEST_F(ConceptRecordTest, EachSubConceptGivesAPhrase) {
  std::vector<TermPair> pairs = {TermPair(0, 1, 10.0), TermPair(1, 2, 10.0), TermPair(0, 2, 10.0)};
  for (const TermPair& pair : {TermPair(3, 4, 20.0), TermPair(4, 5, 20.0), TermPair(3, 5, 20.0)}) {
    pairs.push_back(pair);
  }
  DocumentRecord record;
  EXPECT_EQ(FillConceptRecord(VectorOf(pairs), &record, 1, 0, 5, 3, dictionary_), 2);
  EXPECT_EQ(record.name, "1");
  ASSERT_EQ(record.keywords.size(), 2u);
  EXPECT_EQ(record.keywords[0].text, "delta epsilon zeta ");
  EXPECT_EQ(record.keywords[0].weight, 37.0);
  EXPECT_EQ(record.keywords[1].text, "alpha beta gamma ");
  EXPECT_EQ(record.keywords[1].weight, 17.0);

  // At most one phrase: the sub-concepts are not split.
  EXPECT_EQ(FillConceptRecord(VectorOf(pairs), &record, 1, 0, 1, 3, dictionary_), 1);
}

TEST_F(ConceptRecordTest, ConceptWithoutPairsGivesNoPhrases) {
  DocumentRecord record;
  record.keywords = {WeightedTerm{"old ", 1.0, 1}};
  EXPECT_EQ(FillConceptRecord(TermVector(), &record, 3, 1, 5, 3, dictionary_), 0);
  EXPECT_TRUE(record.keywords.empty());
  EXPECT_EQ(record.name, "2");
  EXPECT_EQ(record.obj_handle, 3);
  // A phrase count of 1 or less makes the concept its own one sub-concept,
  // named by its best phrase.
  for (int max_phrases : {1, 0, -1}) {
    EXPECT_EQ(
        FillConceptRecord(VectorOf(Clique(0, 3, 10.0)), &record, 3, 1, max_phrases, 3, dictionary_),
        1)
        << max_phrases;
    EXPECT_EQ(record.keywords.size(), 1u) << max_phrases;
  }
}

// A document-sized vector: random sentences over a few hundred words, where
// words of the same hundred occur together more often.
TEST_F(ConceptRecordTest, LargeVectorGivesAConsistentMap) {
  TermDictionary words;
  for (int i = 0; i < 300; ++i) words.AddWord("w" + std::to_string(i));
  std::mt19937 random(99);
  TermVector source;
  for (int sentence = 0; sentence < 400; ++sentence) {
    TermList list;
    const int32_t topic = static_cast<int32_t>(random() % 3) * 100;
    for (int i = 0; i < 12; ++i) {
      const bool on_topic = random() % 5 != 0;
      list.Append(on_topic ? topic + static_cast<int32_t>(random() % 100)
                           : static_cast<int32_t>(random() % 300));
    }
    TermVector vector;
    vector.Build(list, 4);
    source.Merge(vector);
  }
  ASSERT_GT(source.pair_count(), 1000u);

  std::vector<TermVector> concepts;
  ASSERT_TRUE(BuildConceptMap(source, 20, 8, &concepts));
  ASSERT_GE(concepts.size(), 2u);
  ASSERT_LE(concepts.size(), 8u);
  ExpectConsistentWith(source, concepts);
  for (size_t k = 1; k < concepts.size(); ++k) {
    EXPECT_GE(concepts[k - 1].weight(), concepts[k].weight());
  }
  for (size_t k = 0; k < concepts.size(); ++k) {
    DocumentRecord record;
    const int written =
        FillConceptRecord(concepts[k], &record, 7, static_cast<int>(k), 4, 10, words);
    EXPECT_LE(written, 4);
    EXPECT_EQ(static_cast<size_t>(written), record.keywords.size());
    std::set<std::string> texts;
    for (const WeightedTerm& keyword : record.keywords) {
      EXPECT_TRUE(texts.insert(keyword.text).second) << keyword.text;
      EXPECT_GT(keyword.weight, 1e-8);
    }
  }
}

}  // namespace
}  // namespace qora
