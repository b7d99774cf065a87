#include "analysis/relevance.h"

#include <cstdint>
#include <unordered_set>

namespace qora {

// Statistics vectors are the sums of whole libraries, far larger than the
// part a query keeps, so the kept pairs are copied one by one rather than
// copying everything and dropping most of it.
TermVector KeywordVector(const TermVector& statistics, const TermList& keyword_terms) {
  const std::unordered_set<int32_t> wanted(keyword_terms.ids().begin(), keyword_terms.ids().end());
  std::unordered_set<int32_t> dropped_terms;
  TermVector result;
  for (const TermPair& pair : statistics.pairs()) {
    if (wanted.count(pair.first()) != 0 || wanted.count(pair.second()) != 0) {
      result.AppendPair(pair);
    } else {
      dropped_terms.insert(pair.first());
      dropped_terms.insert(pair.second());
    }
  }
  for (const auto& [id, count] : statistics.term_counts()) {
    if (dropped_terms.count(id) == 0) result.SetTermCount(id, count);
  }
  result.set_weight(statistics.weight());
  return result;
}

void Expand(TermVector* query, const TermVector& statistics) {
  if (query->pair_count() == 0) return;  // Nothing of the statistics would be kept.
  TermList terms;
  for (const TermPair& pair : query->pairs()) {
    terms.Append(pair.first());
    terms.Append(pair.second());
  }
  query->Merge(KeywordVector(statistics, terms));
}

double RelevanceScore(const TermVector& query, const TermVector& document) {
  TermVector common = query.Intersect(document);
  common.Finalize();
  return common.TotalWeight();
}

}  // namespace qora
