#include "analysis/query_scorer.h"

#include <algorithm>

#include "analysis/relevance.h"

namespace qora {
namespace {

bool HoldsEachCoupleOnce(const TermVector& vector) {
  for (size_t i = 0; i < vector.pair_count(); ++i) {
    const TermPair& pair = vector.PairAt(i);
    if (vector.pairs().Find(pair.first(), pair.second()) != static_cast<int32_t>(i)) return false;
    if (pair.first() != pair.second() && vector.pairs().Find(pair.second(), pair.first()) >= 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

QueryScorer::QueryScorer(const TermVector& query)
    : query_(query), couples_unique_(HoldsEachCoupleOnce(query)), matched_(query.pair_count(), 0) {
  query_.pairs().Find(0, 0);  // Brings the index up to date before any sharing.
  for (const TermPair& pair : query.pairs()) {
    query_terms_.Insert(pair.first());
    query_terms_.Insert(pair.second());
  }
}

// Intersecting walks the document's pairs in order and keeps the query's
// orientation; without folding, finalizing only drops the negligible
// products, and the total adds up the rest in the same order.
double QueryScorer::Score(const std::vector<TermPair>& document) {
  if (!couples_unique_) return ScoreThroughVectors(document);
  if (++round_ == 0) {  // The round counter wrapped: forget every old mark.
    std::fill(matched_.begin(), matched_.end(), 0);
    round_ = 1;
  }
  const PairTable& query_pairs = query_.pairs();
  double total = 0.0;
  for (const TermPair& pair : document) {
    if (!query_terms_.Contains(pair.first()) || !query_terms_.Contains(pair.second())) continue;
    bool reversed = false;
    const int32_t position = query_pairs.FindEither(pair.first(), pair.second(), &reversed);
    if (position < 0) continue;
    const TermPair common =
        query_pairs.at(static_cast<size_t>(position)).Product(reversed ? pair.Reversed() : pair);
    uint32_t& mark = matched_[static_cast<size_t>(position)];
    if (mark == round_) return ScoreThroughVectors(document);
    mark = round_;
    if (common.forward() < TermVector::kNegligibleWeight &&
        common.backward() < TermVector::kNegligibleWeight) {
      continue;
    }
    total += common.Total();
  }
  return total;
}

double QueryScorer::ScoreThroughVectors(const std::vector<TermPair>& document) const {
  TermVector vector;
  for (const TermPair& pair : document) vector.AppendPair(pair);
  return RelevanceScore(query_, vector);
}

}  // namespace qora
