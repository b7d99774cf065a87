#include "analysis/term_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/pair_table.h"
#include "analysis/stem_map.h"
#include "analysis/term_dictionary.h"
#include "analysis/term_list.h"
#include "analysis/term_pair.h"
#include "tests/vector_text.h"

namespace qora {
namespace {

using test::CountsOf;
using test::PairsOf;

TermList Sentence(std::initializer_list<int32_t> ids) {
  TermList list;
  for (int32_t id : ids) list.Append(id);
  return list;
}

TermVector Built(std::initializer_list<int32_t> ids, int window) {
  TermVector vector;
  vector.Build(Sentence(ids), window);
  return vector;
}

void ExpectSameVector(const TermVector& expected, const TermVector& actual) {
  ASSERT_EQ(expected.pair_count(), actual.pair_count());
  for (size_t i = 0; i < expected.pair_count(); ++i) {
    const TermPair& e = expected.PairAt(i);
    const TermPair& a = actual.PairAt(i);
    EXPECT_EQ(e.first(), a.first()) << "pair " << i;
    EXPECT_EQ(e.second(), a.second()) << "pair " << i;
    EXPECT_EQ(e.forward(), a.forward()) << "pair " << i;
    EXPECT_EQ(e.backward(), a.backward()) << "pair " << i;
  }
  EXPECT_EQ(CountsOf(expected), CountsOf(actual));
  EXPECT_EQ(expected.weight(), actual.weight());
}

std::string Bytes(std::initializer_list<unsigned> bytes) {
  std::string result;
  for (unsigned byte : bytes) result.push_back(static_cast<char>(byte));
  return result;
}

std::string Encoded(const TermVector& vector) {
  std::ostringstream out;
  vector.WriteVector(out);
  return out.str();
}

using Pairs = std::vector<std::string>;
using Counts = std::map<int32_t, int32_t>;

// ---------------------------------------------------------------- TermPair

TEST(TermPairTest, EmptyPairHasNoIdsAndNoWeight) {
  const TermPair empty;
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(-1, empty.first());
  EXPECT_EQ(-1, empty.second());
  EXPECT_EQ(0.0, empty.Total());
  EXPECT_FALSE(TermPair(0, 0).empty());
}

TEST(TermPairTest, IdentityIsOrderSensitiveAndIgnoresWeights) {
  EXPECT_TRUE(TermPair(1, 2, 3.0, 4.0).SamePairAs(TermPair(1, 2)));
  EXPECT_FALSE(TermPair(1, 2).SamePairAs(TermPair(2, 1)));
  EXPECT_FALSE(TermPair(1, 2).SamePairAs(TermPair(1, 3)));
}

TEST(TermPairTest, HashTellsApartEveryPairOfAVocabulary) {
  // Pair tables of whole libraries hold millions of pairs: a hash that made
  // (a, b) and (c, d) collide whenever 17b + a = 17d + c would chain them.
  std::set<uint64_t> hashes;
  for (int32_t a = 0; a < 300; ++a) {
    for (int32_t b = 0; b < 300; ++b) hashes.insert(TermPair(a, b).Hash());
  }
  EXPECT_EQ(hashes.size(), 300u * 300u);
  EXPECT_NE(TermPair(3, 5).Hash(), TermPair(5, 3).Hash());
  EXPECT_EQ(TermPair(3, 5, 1.0, 2.0).Hash(), TermPair(3, 5).Hash());  // weights do not count
}

TEST(TermPairTest, ReversedSwapsIdsAndWeights) {
  const TermPair reversed = TermPair(1, 2, 3.0, 4.0).Reversed();
  EXPECT_EQ(2, reversed.first());
  EXPECT_EQ(1, reversed.second());
  EXPECT_EQ(4.0, reversed.forward());
  EXPECT_EQ(3.0, reversed.backward());
}

TEST(TermPairTest, ArithmeticWorksDirectionByDirection) {
  TermPair pair(1, 2, 3.0, 4.0);
  pair.Scale(0.5);
  EXPECT_EQ(1.5, pair.forward());
  EXPECT_EQ(2.0, pair.backward());
  pair.Add(TermPair(7, 8, 10.0, 20.0));
  EXPECT_EQ(1, pair.first());
  EXPECT_EQ(11.5, pair.forward());
  EXPECT_EQ(22.0, pair.backward());
  EXPECT_EQ(33.5, pair.Total());
}

TEST(TermPairTest, ProductOfTheSamePairMultipliesEachDirection) {
  const TermPair product = TermPair(1, 2, 3.0, 4.0).Product(TermPair(1, 2, 5.0, 6.0));
  EXPECT_TRUE(product.Is(1, 2));
  EXPECT_EQ(15.0, product.forward());
  EXPECT_EQ(24.0, product.backward());
  EXPECT_TRUE(TermPair(1, 2, 3.0, 4.0).Product(TermPair(2, 1, 5.0, 6.0)).empty());
  EXPECT_EQ(0.0, TermPair(1, 2, 3.0, 4.0).Product(TermPair(2, 1, 5.0, 6.0)).Total());
}

// ---------------------------------------------------------------- PairTable

TEST(PairTableTest, FindsEveryAppendedPairInInsertionOrder) {
  PairTable table;
  EXPECT_EQ(-1, table.Find(0, 1));
  for (int32_t i = 0; i < 5000; ++i) table.Append(TermPair(i % 97, i, i, 0.0));
  ASSERT_EQ(5000u, table.size());
  for (int32_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(i, table.Find(i % 97, i));
    EXPECT_EQ(static_cast<double>(i), table.at(static_cast<size_t>(i)).forward());
  }
  EXPECT_EQ(-1, table.Find(1, 0));
  EXPECT_EQ(-1, table.Find(5000 % 97, 5000));
  EXPECT_EQ(nullptr, table.FindPair(1, 0));
}

TEST(PairTableTest, AppendingAPresentPairAddsAnElementAndRepointsTheIndex) {
  PairTable table;
  table.Append(TermPair(1, 2, 1.0, 0.0));
  table.Append(TermPair(3, 4));
  table.Append(TermPair(1, 2, 2.0, 0.0));
  EXPECT_EQ(3u, table.size());
  EXPECT_EQ(2, table.Find(1, 2));
  EXPECT_EQ(2.0, table.FindPair(1, 2)->forward());
}

TEST(PairTableTest, FindEitherPrefersThePairToItsReverse) {
  PairTable table;
  bool reversed = true;
  EXPECT_EQ(-1, table.FindEither(1, 2, &reversed));
  EXPECT_FALSE(reversed);
  // Many couples held both ways, in both orders of appending, between many
  // others, so that probe sequences meet either orientation first.
  for (int32_t i = 0; i < 3000; ++i) {
    table.Append(TermPair(i, i + 7000));
    if (i % 3 == 0) table.Append(TermPair(i + 7000, i));
    table.Append(TermPair(i + 20000, i + 30000));
  }
  for (int32_t i = 0; i < 3000; ++i) {
    const int32_t forward = table.Find(i, i + 7000);
    const int32_t backward = table.Find(i + 7000, i);
    ASSERT_GE(forward, 0);
    EXPECT_EQ(forward, table.FindEither(i, i + 7000, &reversed));
    EXPECT_FALSE(reversed);
    if (i % 3 == 0) {
      ASSERT_GE(backward, 0);
      EXPECT_EQ(backward, table.FindEither(i + 7000, i, &reversed));
      EXPECT_FALSE(reversed);
    } else {
      EXPECT_EQ(-1, backward);
      EXPECT_EQ(forward, table.FindEither(i + 7000, i, &reversed));
      EXPECT_TRUE(reversed);
    }
  }
  EXPECT_EQ(-1, table.FindEither(1, 2, &reversed));
  EXPECT_FALSE(reversed);
  table.Append(TermPair(5, 5));
  EXPECT_EQ(static_cast<int32_t>(table.size()) - 1, table.FindEither(5, 5, &reversed));
  EXPECT_FALSE(reversed);
}

// Random ids from a small range, so couples repeat in both orientations, and
// lookups interleaved with the inserts across many growths of the index:
// the table must agree with a plain map of couples at every step, also after
// a Clear and mixed with Append.
TEST(PairTableTest, FindEitherOrAppendAgreesWithAMapOfCouples) {
  PairTable table;
  std::map<std::pair<int32_t, int32_t>, int32_t> positions;  // ordered ids -> position
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> id(0, 180);
  for (int round = 0; round < 2; ++round) {
    table.Clear();
    positions.clear();
    for (int step = 0; step < 20000; ++step) {
      const int32_t first = id(random);
      const int32_t second = id(random);
      if (step % 1000 == 999 && positions.count({first, second}) == 0 &&
          positions.count({second, first}) == 0) {
        table.Append(TermPair(first, second));  // a plain append in between
        positions[{first, second}] = static_cast<int32_t>(table.size()) - 1;
        continue;
      }
      bool reversed = true;
      bool appended = true;
      const int32_t position =
          table.FindEitherOrAppend(TermPair(first, second, 1.0, 0.0), &reversed, &appended);
      const auto same = positions.find({first, second});
      const auto reverse = positions.find({second, first});
      if (same != positions.end()) {
        ASSERT_EQ(same->second, position);
        ASSERT_FALSE(reversed);
        ASSERT_FALSE(appended);
      } else if (reverse != positions.end()) {
        ASSERT_EQ(reverse->second, position);
        ASSERT_EQ(first != second, reversed);
        ASSERT_FALSE(appended);
      } else {
        ASSERT_TRUE(appended);
        ASSERT_FALSE(reversed);
        ASSERT_EQ(static_cast<int32_t>(table.size()) - 1, position);
        positions[{first, second}] = position;
      }
      ASSERT_EQ(positions.size(), table.size());
    }
    for (const auto& [ids, position] : positions) {
      ASSERT_EQ(position, table.Find(ids.first, ids.second));
      ASSERT_TRUE(table.at(static_cast<size_t>(position)).Is(ids.first, ids.second));
    }
  }
}

TEST(PairTableTest, RetainIfKeepsOrderAndIndex) {
  PairTable table;
  for (int32_t i = 0; i < 100; ++i) table.Append(TermPair(i, i + 1));
  table.RetainIf([](const TermPair& pair) { return pair.first() % 3 == 0; });
  ASSERT_EQ(34u, table.size());
  for (size_t i = 0; i < table.size(); ++i) {
    const int32_t first = static_cast<int32_t>(3 * i);
    EXPECT_TRUE(table.at(i).Is(first, first + 1));
    EXPECT_EQ(static_cast<int32_t>(i), table.Find(first, first + 1));
  }
  EXPECT_EQ(-1, table.Find(1, 2));
}

TEST(PairTableTest, ClearEmptiesTheTableAndIndex) {
  PairTable table;
  table.Append(TermPair(1, 2));
  table.Clear();
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(-1, table.Find(1, 2));
  table.Append(TermPair(2, 1));
  EXPECT_EQ(0, table.Find(2, 1));
  EXPECT_EQ(-1, table.Find(1, 2));
}

// ---------------------------------------------------------------- Build

constexpr int32_t kA = 10;
constexpr int32_t kB = 20;
constexpr int32_t kC = 30;

TEST(TermVectorBuildTest, WeighsPairsByDistanceWithinTheWindow) {
  const TermVector vector = Built({kA, kB, kC}, 5);
  EXPECT_EQ((Pairs{"(10,20) 4/0", "(10,30) 3/0", "(20,30) 4/0"}), PairsOf(vector));
  EXPECT_EQ((Counts{{kA, 1}, {kB, 1}, {kC, 1}}), CountsOf(vector));
  EXPECT_EQ(11.0, vector.TotalWeight());
  EXPECT_EQ(0.0, vector.weight());
}

TEST(TermVectorBuildTest, OccurrencesInBothOrdersMeetInOnePair) {
  const TermVector vector = Built({kA, kB, kA}, 5);
  EXPECT_EQ((Pairs{"(10,20) 4/4"}), PairsOf(vector));
  EXPECT_EQ((Counts{{kA, 2}, {kB, 1}}), CountsOf(vector));

  // The orientation is that of the first occurrence.
  EXPECT_EQ((Pairs{"(20,10) 3/2", "(20,30) 2/3", "(10,30) 3/0"}),
            PairsOf(Built({kB, kA, kC, kB}, 4)));
}

TEST(TermVectorBuildTest, PairsOnlyTermsCloserThanTheWindow) {
  EXPECT_EQ((Pairs{"(10,20) 1/0", "(20,30) 1/0"}), PairsOf(Built({kA, kB, kC}, 2)));
  for (int window : {1, 0, -3}) {
    const TermVector vector = Built({kA, kB, kC, kA}, window);
    EXPECT_EQ(0u, vector.pair_count()) << window;
    EXPECT_EQ((Counts{{kA, 2}, {kB, 1}, {kC, 1}}), CountsOf(vector)) << window;
  }
}

TEST(TermVectorBuildTest, TwoOccurrencesOfOneTermNeverPair) {
  const TermVector vector = Built({kA, kA, kA}, 5);
  EXPECT_EQ(0u, vector.pair_count());
  EXPECT_EQ((Counts{{kA, 3}}), CountsOf(vector));
}

TEST(TermVectorBuildTest, OneTermSentenceHasACountAndNoPairs) {
  const TermVector vector = Built({kA}, 5);
  EXPECT_EQ(0u, vector.pair_count());
  EXPECT_EQ(1, vector.TermCount(kA));
  EXPECT_EQ(0.0, vector.TotalWeight());
}

TEST(TermVectorBuildTest, ReplacesPairsAndCounts) {
  TermVector vector = Built({kA, kB}, 5);
  vector.Build(Sentence({kC}), 5);
  EXPECT_EQ(0u, vector.pair_count());
  EXPECT_EQ((Counts{{kC, 1}}), CountsOf(vector));
}

// Build must give what appending one forward pair per occurrence and
// finalizing gives.
TEST(TermVectorBuildTest, MatchesFinalizedOccurrencePairs) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    const int window = static_cast<int>(random() % 7);
    const size_t length = random() % 30;
    TermList list;
    for (size_t i = 0; i < length; ++i) list.Append(static_cast<int32_t>(random() % 6));

    TermVector expected;
    const std::vector<int32_t>& ids = list.ids();
    for (size_t p = 0; p < ids.size(); ++p) {
      for (size_t q = p + 1; q < ids.size() && static_cast<int>(q - p) < window; ++q) {
        if (ids[p] != ids[q]) {
          expected.AppendPair(TermPair(ids[p], ids[q], window - static_cast<int>(q - p), 0.0));
        }
      }
      expected.SetTermCount(ids[p],
                            expected.TermCount(ids[p]) < 0 ? 1 : expected.TermCount(ids[p]) + 1);
    }
    expected.Finalize();

    TermVector actual;
    actual.Build(list, window);
    SCOPED_TRACE(round);
    ExpectSameVector(expected, actual);
  }
}

// ---------------------------------------------------------------- Merge

TEST(TermVectorMergeTest, AddsReversedPairsToTheirReverseAndAppendsNewOnes) {
  TermVector vector;
  vector.AppendPair(TermPair(1, 2, 1.0, 2.0));
  vector.AppendPair(TermPair(3, 4, 5.0, 0.0));
  vector.SetTermCount(1, 1);
  vector.set_weight(1.0);

  TermVector other;
  other.AppendPair(TermPair(2, 1, 10.0, 20.0));
  other.AppendPair(TermPair(5, 6, 1.0, 1.0));
  other.AppendPair(TermPair(4, 3, 0.0, 7.0));
  other.AppendPair(TermPair(7, 8, 2.0, 0.0));
  other.SetTermCount(1, 1);
  other.SetTermCount(5, 2);
  other.set_weight(0.5);

  vector.Merge(other);
  EXPECT_EQ((Pairs{"(1,2) 21/12", "(3,4) 12/0", "(5,6) 1/1", "(7,8) 2/0"}), PairsOf(vector));
  EXPECT_EQ((Counts{{1, 2}, {5, 2}}), CountsOf(vector));
  EXPECT_EQ(1.5, vector.weight());
  // The argument is unchanged.
  EXPECT_EQ((Pairs{"(2,1) 10/20", "(5,6) 1/1", "(4,3) 0/7", "(7,8) 2/0"}), PairsOf(other));
}

TEST(TermVectorMergeTest, AddsSamePairsDirectionByDirection) {
  TermVector vector = Built({kA, kB, kC}, 5);
  vector.Merge(Built({kA, kB}, 5));
  EXPECT_EQ((Pairs{"(10,20) 8/0", "(10,30) 3/0", "(20,30) 4/0"}), PairsOf(vector));
  EXPECT_EQ((Counts{{kA, 2}, {kB, 2}, {kC, 1}}), CountsOf(vector));
}

TEST(TermVectorMergeTest, AVectorWithoutPairsChangesNothing) {
  TermVector vector = Built({kA, kB}, 5);
  TermVector pairless = Built({kC}, 5);
  pairless.set_weight(2.0);
  vector.Merge(pairless);
  EXPECT_EQ((Pairs{"(10,20) 4/0"}), PairsOf(vector));
  EXPECT_EQ((Counts{{kA, 1}, {kB, 1}}), CountsOf(vector));
  EXPECT_EQ(0.0, vector.weight());

  TermVector empty;
  empty.Merge(pairless);
  EXPECT_EQ(0u, empty.term_count());
  EXPECT_EQ(0.0, empty.weight());
}

TEST(TermVectorMergeTest, MergingWithItselfDoublesEverything) {
  TermVector vector = Built({kA, kB, kA}, 3);
  vector.set_weight(0.25);
  vector.Merge(vector);
  EXPECT_EQ((Pairs{"(10,20) 4/4"}), PairsOf(vector));
  EXPECT_EQ((Counts{{kA, 4}, {kB, 2}}), CountsOf(vector));
  EXPECT_EQ(0.5, vector.weight());
}

TEST(TermVectorMergeTest, CountsFromADamagedFileStayInTheInt32Range) {
  // An index file may hold any count; summing two near the limit must not
  // overflow (the sum stays at the end of the range it passed).
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  TermVector read;
  read.AppendPair(TermPair(kA, kB, 1.0, 0.0));
  read.SetTermCount(kA, kMax - 1);
  read.SetTermCount(kB, kMin + 1);
  read.SetTermCount(kC, 5);
  TermVector sum(read);
  sum.Merge(read);
  EXPECT_EQ((Counts{{kA, kMax}, {kB, kMin}, {kC, 10}}), CountsOf(sum));

  StemMap stems;
  stems.SetStem(kA, kA);
  stems.SetStem(kB, kA);
  stems.SetStem(kC, kA);
  TermVector high;
  high.AppendPair(TermPair(kA, kC, 1.0, 0.0));
  high.SetTermCount(kA, kMax);
  high.SetTermCount(kC, 7);
  TermVector stemmed;
  stemmed.StemmedCopyOf(high, &stems);
  EXPECT_EQ((Counts{{kA, kMax}}), CountsOf(stemmed));
}

// ---------------------------------------------------------------- Finalize

TEST(TermVectorFinalizeTest, FoldsReversePairsInTheOrientationMetFirst) {
  TermVector vector;
  vector.AppendPair(TermPair(2, 1, 1.0, 0.0));
  vector.AppendPair(TermPair(3, 4, 1.0, 0.0));
  vector.AppendPair(TermPair(1, 2, 5.0, 7.0));
  vector.AppendPair(TermPair(3, 4, 2.0, 1.0));
  vector.SetTermCount(1, 3);
  vector.set_weight(0.75);
  vector.Finalize();
  EXPECT_EQ((Pairs{"(2,1) 8/5", "(3,4) 3/1"}), PairsOf(vector));
  EXPECT_EQ(0, vector.pairs().Find(2, 1));
  EXPECT_EQ(1, vector.pairs().Find(3, 4));
  EXPECT_EQ(-1, vector.pairs().Find(1, 2));
  EXPECT_EQ((Counts{{1, 3}}), CountsOf(vector));
  EXPECT_EQ(0.75, vector.weight());
}

// Every way a couple can come in twice leaves the next Finalize a fold to
// do: appending, reading from the binary form (stream and bytes),
// intersecting with a vector that holds a couple twice, and a copy of any of
// these; appending after a Finalize too.
TEST(TermVectorFinalizeTest, FoldsRepeatsWhicheverWayTheyCameIn) {
  TermVector repeating;
  repeating.AppendPair(TermPair(1, 2, 1.0, 0.0));
  repeating.AppendPair(TermPair(2, 1, 2.0, 0.0));
  std::ostringstream binary;
  ASSERT_EQ(0, repeating.WriteVector(binary));
  const std::string bytes = binary.str();

  std::vector<TermVector> vectors;
  vectors.push_back(repeating);  // a copy
  {
    std::istringstream in(bytes);
    TermVector read;
    ASSERT_EQ(0, read.ReadVector(in));
    vectors.push_back(read);
  }
  {
    std::string_view view(bytes);
    TermVector read;
    ASSERT_EQ(0, read.ReadVector(&view));
    vectors.push_back(read);
  }
  {
    TermVector single = Built({1, 2}, 2);  // (1,2) 1/0
    vectors.push_back(single.Intersect(repeating));
  }
  {
    TermVector merged = Built({1, 2}, 2);
    merged.Finalize();
    merged.AppendPair(TermPair(2, 1, 3.0, 0.0));
    vectors.push_back(merged);
  }
  for (size_t i = 0; i < vectors.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(2u, vectors[i].pair_count());
    vectors[i].Finalize();
    ASSERT_EQ(1u, vectors[i].pair_count());
    EXPECT_EQ(-1, vectors[i].pairs().Find(2, 1));
  }
  EXPECT_EQ((Pairs{"(1,2) 1/2"}), PairsOf(vectors[0]));
  EXPECT_EQ((Pairs{"(1,2) 1/3"}), PairsOf(vectors[4]));
}

TEST(TermVectorFinalizeTest, DropsPairsWhoseWeightsAreBothNegligible) {
  TermVector vector;
  vector.AppendPair(TermPair(1, 2, 1.0, 0.0));
  vector.AppendPair(TermPair(3, 4, 5e-9, 5e-9));
  vector.AppendPair(TermPair(5, 6, 0.0, 1e-8));
  vector.AppendPair(TermPair(7, 8, 2e-8, 0.0));
  vector.AppendPair(TermPair(9, 10, 0.0, 0.0));
  vector.Finalize();
  EXPECT_EQ(3u, vector.pair_count());
  EXPECT_TRUE(vector.PairAt(0).Is(1, 2));
  EXPECT_TRUE(vector.PairAt(1).Is(5, 6));
  EXPECT_TRUE(vector.PairAt(2).Is(7, 8));
  EXPECT_EQ(nullptr, vector.FindPair(3, 4));
  EXPECT_EQ(nullptr, vector.FindPair(9, 10));
}

TEST(TermVectorFinalizeTest, ScaledDownPairIsDroppedByTheNextFinalize) {
  TermVector vector = Built({kA, kB, kC}, 2);
  vector.Scale(5e-9);
  EXPECT_EQ(2u, vector.pair_count());
  vector.Finalize();
  EXPECT_EQ(0u, vector.pair_count());
  EXPECT_EQ((Counts{{kA, 1}, {kB, 1}, {kC, 1}}), CountsOf(vector));
}

TEST(TermVectorFinalizeTest, KeepsTermCountsOfAVectorWithoutPairs) {
  TermVector vector;
  vector.SetTermCount(kA, 2);
  vector.set_weight(3.0);
  vector.Finalize();
  EXPECT_EQ((Counts{{kA, 2}}), CountsOf(vector));
  EXPECT_EQ(3.0, vector.weight());
}

// ---------------------------------------------------------------- Scale and totals

TEST(TermVectorTest, ScaleMultipliesEveryPairButNotTheWeight) {
  TermVector vector = Built({kA, kB, kA}, 5);
  vector.set_weight(2.0);
  vector.Scale(0.5);
  EXPECT_EQ((Pairs{"(10,20) 2/2"}), PairsOf(vector));
  EXPECT_EQ(4.0, vector.TotalWeight());
  EXPECT_EQ(2.0, vector.weight());
  EXPECT_EQ(0.0, TermVector().TotalWeight());
}

TEST(TermVectorTest, TermCountIsMinusOneWhenAbsent) {
  TermVector vector;
  EXPECT_EQ(-1, vector.TermCount(kA));
  vector.SetTermCount(kA, 0);
  EXPECT_EQ(0, vector.TermCount(kA));
  vector.SetTermCount(kA, 6);
  EXPECT_EQ(6, vector.TermCount(kA));
  EXPECT_EQ(1u, vector.term_count());
}

TEST(TermVectorTest, CopyFirstPairsAppendsAPrefixInOrder) {
  const TermVector vector = Built({kA, kB, kC}, 5);
  PairTable target;
  target.Append(TermPair(1, 1));
  vector.CopyFirstPairs(&target, 2);
  ASSERT_EQ(3u, target.size());
  EXPECT_TRUE(target.at(1).Is(kA, kB));
  EXPECT_TRUE(target.at(2).Is(kA, kC));
  PairTable all;
  vector.CopyFirstPairs(&all, 100);
  EXPECT_EQ(3u, all.size());
  PairTable none;
  vector.CopyFirstPairs(&none, 0);
  EXPECT_TRUE(none.empty());
}

TEST(TermVectorTest, CopiesAreIndependent) {
  TermVector original = Built({kA, kB}, 5);
  original.set_weight(1.0);
  TermVector copy = original;
  TermVector assigned;
  assigned.Assign(original);
  copy.Merge(Built({kA, kC}, 5));
  assigned.Clear();
  EXPECT_EQ((Pairs{"(10,20) 4/0"}), PairsOf(original));
  EXPECT_EQ((Counts{{kA, 1}, {kB, 1}}), CountsOf(original));
  EXPECT_EQ((Pairs{"(10,20) 4/0", "(10,30) 4/0"}), PairsOf(copy));
  EXPECT_EQ(0u, assigned.pair_count());
  EXPECT_EQ(0u, assigned.term_count());
  EXPECT_EQ(0.0, assigned.weight());

  assigned.Assign(original);
  ExpectSameVector(original, assigned);
  const TermVector moved = std::move(copy);
  EXPECT_EQ(2u, moved.pair_count());
  EXPECT_NE(nullptr, moved.FindPair(kA, kC));
}

// ---------------------------------------------------------------- Intersect

TEST(TermVectorIntersectTest, WithItselfSquaresEveryWeight) {
  TermVector vector = Built({kA, kB, kC, kA}, 4);
  const TermVector square = vector.Intersect(vector);
  ASSERT_EQ(vector.pair_count(), square.pair_count());
  for (size_t i = 0; i < vector.pair_count(); ++i) {
    const TermPair& pair = vector.PairAt(i);
    EXPECT_TRUE(square.PairAt(i).SamePairAs(pair));
    EXPECT_EQ(pair.forward() * pair.forward(), square.PairAt(i).forward());
    EXPECT_EQ(pair.backward() * pair.backward(), square.PairAt(i).backward());
  }
  EXPECT_EQ(CountsOf(vector), CountsOf(square));
}

TEST(TermVectorIntersectTest, WithAnEmptyVectorIsEmpty) {
  const TermVector vector = Built({kA, kB, kC}, 5);
  const TermVector empty;
  for (const TermVector& result : {vector.Intersect(empty), empty.Intersect(vector)}) {
    EXPECT_EQ(0u, result.pair_count());
    EXPECT_EQ(0u, result.term_count());
    EXPECT_EQ(0.0, result.TotalWeight());
  }
}

TEST(TermVectorIntersectTest, KeepsThisOrientationInTheOrderOfTheOther) {
  TermVector vector;
  vector.AppendPair(TermPair(1, 2, 2.0, 3.0));
  vector.AppendPair(TermPair(3, 4, 1.0, 1.0));
  vector.AppendPair(TermPair(5, 6, 1.0, 1.0));
  vector.set_weight(4.0);
  TermVector other;
  other.AppendPair(TermPair(5, 6, 2.0, 0.5));
  other.AppendPair(TermPair(7, 8, 9.0, 9.0));
  other.AppendPair(TermPair(2, 1, 5.0, 7.0));
  other.set_weight(4.0);

  const TermVector common = vector.Intersect(other);
  EXPECT_EQ((Pairs{"(5,6) 2/0.5", "(1,2) 14/15"}), PairsOf(common));
  EXPECT_EQ(0.0, common.weight());
  EXPECT_EQ(3u, vector.pair_count());
  EXPECT_EQ(3u, other.pair_count());
}

TEST(TermVectorIntersectTest, CountsTheSmallerCountOfSharedTerms) {
  TermVector vector;
  vector.AppendPair(TermPair(1, 2, 1.0, 0.0));
  vector.AppendPair(TermPair(3, 4, 1.0, 0.0));
  vector.AppendPair(TermPair(5, 6, 1.0, 0.0));
  vector.SetTermCount(1, 3);
  vector.SetTermCount(2, 1);
  vector.SetTermCount(3, 5);
  vector.SetTermCount(5, 9);
  vector.SetTermCount(6, 0);
  TermVector other;
  other.AppendPair(TermPair(2, 1, 1.0, 0.0));
  other.AppendPair(TermPair(3, 4, 1.0, 0.0));
  other.AppendPair(TermPair(5, 6, 1.0, 0.0));
  other.SetTermCount(1, 2);
  other.SetTermCount(2, 4);
  other.SetTermCount(4, 8);
  other.SetTermCount(5, 1);
  other.SetTermCount(6, 7);
  other.SetTermCount(9, 9);

  const TermVector common = vector.Intersect(other);
  EXPECT_EQ(3u, common.pair_count());
  // 3 and 4 each lack a count on one side; 6 has the count 0 on one side;
  // 9 is in no shared pair.
  EXPECT_EQ((Counts{{1, 2}, {2, 1}, {5, 1}}), CountsOf(common));
}

// ---------------------------------------------------------------- RestrictToTerms

TEST(TermVectorRestrictTest, KeepsPairsWithAListedTermAndForgetsTheOthers) {
  TermVector vector;
  vector.AppendPair(TermPair(1, 2, 1.0, 0.0));
  vector.AppendPair(TermPair(6, 3, 1.0, 0.0));
  vector.AppendPair(TermPair(3, 4, 2.0, 0.0));
  vector.AppendPair(TermPair(5, 1, 3.0, 0.0));
  vector.AppendPair(TermPair(7, 8, 4.0, 0.0));
  for (int32_t id = 1; id <= 8; ++id) vector.SetTermCount(id, id);

  vector.RestrictToTerms(Sentence({4, 1, 99}));
  EXPECT_EQ((Pairs{"(1,2) 1/0", "(3,4) 2/0", "(5,1) 3/0"}), PairsOf(vector));
  EXPECT_EQ(-1, vector.pairs().Find(7, 8));
  EXPECT_EQ(2, vector.pairs().Find(5, 1));
  // Both terms of every dropped pair lose their count, even 3, which is also
  // in a kept pair.
  EXPECT_EQ((Counts{{1, 1}, {2, 2}, {4, 4}, {5, 5}}), CountsOf(vector));
}

TEST(TermVectorRestrictTest, AnEmptyListDropsEveryPair) {
  TermVector vector = Built({kA, kB, kC}, 5);
  vector.RestrictToTerms(TermList());
  EXPECT_EQ(0u, vector.pair_count());
  EXPECT_EQ(0u, vector.term_count());
}

// ---------------------------------------------------------------- StemmedCopyOf

TEST(TermVectorStemTest, WordsWithOneStemShareTheirPairsAndCounts) {
  constexpr int32_t kConnect = 1, kConnected = 2, kNetwork = 3;
  StemMap stems;
  stems.SetStem(kConnect, kConnect);
  stems.SetStem(kConnected, kConnect);
  stems.SetStem(kNetwork, kNetwork);

  TermVector source;
  source.AppendPair(TermPair(kConnect, kNetwork, 1.0, 0.0));
  source.AppendPair(TermPair(kConnected, kNetwork, 2.0, 1.0));
  source.AppendPair(TermPair(kConnect, kConnected, 3.0, 0.5));
  source.AppendPair(TermPair(kNetwork, kConnected, 4.0, 0.0));
  source.SetTermCount(kConnect, 1);
  source.SetTermCount(kConnected, 2);
  source.SetTermCount(kNetwork, 1);
  source.set_weight(2.0);

  TermVector stemmed = Built({7, 8}, 5);
  stemmed.StemmedCopyOf(source, &stems);
  EXPECT_EQ((Pairs{"(1,3) 3/5", "(1,1) 3/0.5"}), PairsOf(stemmed));
  EXPECT_EQ((Counts{{kConnect, 3}, {kNetwork, 1}}), CountsOf(stemmed));
  EXPECT_EQ(0.0, stemmed.weight());
  EXPECT_EQ(4u, source.pair_count());
}

TEST(TermVectorStemTest, UsesTheStemmerThroughTheStemMap) {
  TermDictionary dictionary;
  StemMap stems;
  const int32_t connected = dictionary.AddWord("connected");
  const int32_t connecting = dictionary.AddWord("connecting");
  const int32_t cables = dictionary.AddWord("cables");
  for (int32_t id : {connected, connecting, cables}) {
    stems.StemWordWithId(&dictionary, id, dictionary.WordText(id));
  }
  const int32_t connect = stems.StemOf(connected);
  ASSERT_EQ(connect, stems.StemOf(connecting));
  ASSERT_EQ("connect", dictionary.WordText(connect));
  const int32_t cable = stems.StemOf(cables);

  TermList list;
  for (int32_t id : {connected, cables, connecting}) list.Append(id);
  TermVector plain;
  plain.Build(list, 3);
  TermVector stemmed;
  stemmed.StemmedCopyOf(plain, &stems);
  ASSERT_EQ(2u, stemmed.pair_count());
  EXPECT_TRUE(stemmed.PairAt(0).Is(connect, cable));
  EXPECT_EQ(2.0, stemmed.PairAt(0).forward());
  EXPECT_EQ(2.0, stemmed.PairAt(0).backward());
  EXPECT_TRUE(stemmed.PairAt(1).Is(connect, connect));
  EXPECT_EQ(1.0, stemmed.PairAt(1).forward());
  EXPECT_EQ(2, stemmed.TermCount(connect));
  EXPECT_EQ(1, stemmed.TermCount(cable));
}

TEST(TermVectorStemTest, StemmingAVectorInPlaceWorks) {
  StemMap stems;
  stems.SetStem(1, 1);
  stems.SetStem(2, 1);
  stems.SetStem(3, 3);
  TermVector vector = Built({1, 3, 2}, 5);
  vector.StemmedCopyOf(vector, &stems);
  EXPECT_EQ((Pairs{"(1,3) 4/4", "(1,1) 3/0"}), PairsOf(vector));
  EXPECT_EQ((Counts{{1, 2}, {3, 1}}), CountsOf(vector));
}

// ---------------------------------------------------------------- Binary form

TermVector SmallVector() {
  TermVector vector;
  vector.AppendPair(TermPair(3, 0x0A0B0C0D, 1.0, 2.0));
  vector.SetTermCount(0x0A0B0C0D, 258);
  vector.SetTermCount(3, 1);
  vector.set_weight(0.5);
  return vector;
}

TEST(TermVectorBinaryTest, WritesTheDocumentedBytes) {
  std::ostringstream out;
  EXPECT_EQ(0, SmallVector().WriteVector(out));
  const std::string expected = Bytes({
      0x01, 0x00, 0x00, 0x00,                          // pair count
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,  // weight 0.5
      0x00, 0x00, 0x00, 0x00,                          // reserved
      0x03, 0x00, 0x00, 0x00,                          // first
      0x0D, 0x0C, 0x0B, 0x0A,                          // second
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40,  // backward 2.0
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // forward 1.0
      0x02, 0x00, 0x00, 0x00,                          // term count
      0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // id 3, count 1
      0x0D, 0x0C, 0x0B, 0x0A, 0x02, 0x01, 0x00, 0x00,  // id, count 258
  });
  EXPECT_EQ(expected, out.str());
}

TEST(TermVectorBinaryTest, ReadsBackWhatItWrote) {
  TermVector vector = Built({kA, kB, kC, kA, 4, kB}, 4);
  vector.AppendPair(TermPair(-7, 1 << 30, -1.25, 1e300));
  vector.set_weight(-3.5);
  std::stringstream stream;
  ASSERT_EQ(0, vector.WriteVector(stream));
  TermVector read = Built({1, 2}, 3);
  ASSERT_EQ(0, read.ReadVector(stream));
  ExpectSameVector(vector, read);
  EXPECT_EQ(vector.pair_count() - 1, static_cast<size_t>(read.pairs().Find(-7, 1 << 30)));
  EXPECT_EQ(stream.str().size(), static_cast<size_t>(stream.tellg()));
}

// Large enough that the writer passes its pieces to the stream several
// times, in the pairs and in the term counts: every byte must arrive once,
// in order.
TEST(TermVectorBinaryTest, ALargeVectorReadsBackWholeAndExact) {
  TermVector vector;
  for (int32_t i = 0; i < 120000; ++i) {
    vector.AppendPair(TermPair(i, i * 7 + 1, i * 0.5, 1.0 / (i + 1)));
    vector.SetTermCount(i, i % 13 + 1);
  }
  vector.set_weight(2.5);
  std::stringstream stream;
  ASSERT_EQ(0, vector.WriteVector(stream));
  EXPECT_EQ(4u + 12u + 120000u * 24u + 4u + 120000u * 8u, stream.str().size());
  TermVector read;
  ASSERT_EQ(0, read.ReadVector(stream));
  ExpectSameVector(vector, read);
}

TEST(TermVectorBinaryTest, IgnoresTheReservedField) {
  std::string bytes = Encoded(SmallVector());
  bytes[12] = '\x7F';
  bytes[15] = '\xFF';
  std::istringstream in(bytes);
  TermVector read;
  ASSERT_EQ(0, read.ReadVector(in));
  ExpectSameVector(SmallVector(), read);
}

TEST(TermVectorBinaryTest, AVectorWithoutPairsIsFourZeroBytes) {
  for (const TermVector& vector : {TermVector(), Built({kA}, 5)}) {
    std::ostringstream out;
    EXPECT_EQ(-1, vector.WriteVector(out));
    EXPECT_EQ(Bytes({0, 0, 0, 0}), out.str());
  }
  std::istringstream in(Bytes({0, 0, 0, 0, 0x55}));
  TermVector read = SmallVector();
  EXPECT_EQ(-1, read.ReadVector(in));
  EXPECT_EQ(0u, read.pair_count());
  EXPECT_EQ(0u, read.term_count());
  EXPECT_EQ(0.0, read.weight());
  EXPECT_EQ(4, in.tellg());
}

TEST(TermVectorBinaryTest, NegativePairCountReadsAsNoVector) {
  std::istringstream in(Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4}));
  TermVector read = SmallVector();
  EXPECT_EQ(-1, read.ReadVector(in));
  EXPECT_EQ(0u, read.pair_count());
  EXPECT_EQ(0u, read.term_count());
  EXPECT_EQ(4, in.tellg());
}

TEST(TermVectorBinaryTest, EveryTruncationFails) {
  const std::string bytes = Encoded(Built({kA, kB, kC, kA}, 5));
  for (size_t length = 0; length < bytes.size(); ++length) {
    std::istringstream in(bytes.substr(0, length));
    TermVector read = SmallVector();
    EXPECT_EQ(-1, read.ReadVector(in)) << length;
    EXPECT_EQ(0u, read.pair_count()) << length;
    EXPECT_EQ(0u, read.term_count()) << length;
    EXPECT_EQ(0.0, read.weight()) << length;
  }
  std::istringstream whole(bytes);
  TermVector read;
  EXPECT_EQ(0, read.ReadVector(whole));
}

TEST(TermVectorBinaryTest, AbsurdCountsFailWithoutReadingPastTheData) {
  const std::string small = Encoded(SmallVector());

  // A pair count far beyond the data.
  std::string bytes = small;
  bytes.replace(0, 4, Bytes({0xFF, 0xFF, 0xFF, 0x7F}));
  std::istringstream huge_pairs(bytes);
  TermVector read;
  EXPECT_EQ(-1, read.ReadVector(huge_pairs));
  EXPECT_EQ(0u, read.pair_count());

  // A term count far beyond the data, and a negative one.
  const size_t term_count_at = 4 + 12 + 24;
  for (const std::string& count :
       {Bytes({0xFF, 0xFF, 0xFF, 0x7F}), Bytes({0xFE, 0xFF, 0xFF, 0xFF})}) {
    bytes = small;
    bytes.replace(term_count_at, 4, count);
    std::istringstream in(bytes);
    EXPECT_EQ(-1, read.ReadVector(in));
    EXPECT_EQ(0u, read.pair_count());
    EXPECT_EQ(0u, read.term_count());
  }
}

TEST(TermVectorBinaryTest, ReadsVectorsBackToBack) {
  StemMap stems;
  stems.SetStem(1, 1);
  stems.SetStem(2, 1);
  stems.SetStem(3, 3);
  stems.SetStem(4, 4);
  const TermVector plain = Built({1, 3, 2, 4, 1}, 4);
  TermVector stemmed;
  stemmed.StemmedCopyOf(plain, &stems);
  ASSERT_NE(plain.pair_count(), stemmed.pair_count());

  std::stringstream stream;
  ASSERT_EQ(0, plain.WriteVector(stream));
  ASSERT_EQ(-1, TermVector().WriteVector(stream));
  ASSERT_EQ(0, stemmed.WriteVector(stream));

  TermVector read;
  ASSERT_EQ(0, read.ReadVector(stream));
  ExpectSameVector(plain, read);
  EXPECT_EQ(-1, read.ReadVector(stream));
  ASSERT_EQ(0, read.ReadVector(stream));
  ExpectSameVector(stemmed, read);
  EXPECT_EQ(-1, read.ReadVector(stream));
}

// ReadPairs must take from `bytes` what ReadVector takes from a stream and
// give its pairs; after a stream failure nothing is left to read.
void ExpectPairsReadAsVectorReads(const std::string& bytes) {
  std::istringstream in(bytes);
  TermVector vector;
  const bool read = vector.ReadVector(in) == 0;
  const std::string rest = in.fail() ? "" : bytes.substr(static_cast<size_t>(in.tellg()));

  std::string_view view = bytes;
  std::vector<TermPair> pairs = {TermPair(9, 9, 9.0, 9.0)};
  EXPECT_EQ(read, TermVector::ReadPairs(&view, &pairs));
  EXPECT_EQ(rest, view);
  ASSERT_EQ(vector.pair_count(), pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_TRUE(pairs[i].Is(vector.PairAt(i).first(), vector.PairAt(i).second()));
    EXPECT_EQ(vector.PairAt(i).forward(), pairs[i].forward());
    EXPECT_EQ(vector.PairAt(i).backward(), pairs[i].backward());
  }
  view = bytes;
  EXPECT_EQ(read, TermVector::ReadPairs(&view, nullptr));
  EXPECT_EQ(rest, view);

  view = bytes;
  TermVector from_bytes = SmallVector();
  EXPECT_EQ(read ? 0 : -1, from_bytes.ReadVector(&view));
  EXPECT_EQ(rest, view);
  ExpectSameVector(vector, from_bytes);
}

TEST(TermVectorBinaryTest, ReadingBytesTakesWhatReadingAStreamTakes) {
  const std::string small = Encoded(SmallVector());
  const std::string whole = Encoded(Built({kA, kB, kC, kA, 4, kB}, 4)) + small;
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    ExpectPairsReadAsVectorReads(whole.substr(0, length));
  }
  const size_t term_count_at = 4 + 12 + 24;
  for (const std::string& count :
       {Bytes({0xFF, 0xFF, 0xFF, 0x7F}), Bytes({0xFE, 0xFF, 0xFF, 0xFF}), Bytes({0, 0, 0, 0})}) {
    std::string bytes = small + small;
    bytes.replace(term_count_at, 4, count);
    ExpectPairsReadAsVectorReads(bytes);
  }
  for (const std::string& count :
       {Bytes({0xFF, 0xFF, 0xFF, 0x7F}), Bytes({0xFE, 0xFF, 0xFF, 0xFF}), Bytes({0, 0, 0, 0})}) {
    ExpectPairsReadAsVectorReads(count + small);
  }
}

TEST(TermVectorBinaryTest, WritingToAFailedStreamFails) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  EXPECT_EQ(-1, SmallVector().WriteVector(out));
}

}  // namespace
}  // namespace qora
