#include "analysis/relevance.h"

#include <cstdint>

#include "analysis/id_set.h"

namespace qora {

// Statistics vectors are the sums of whole libraries, far larger than the
// part a query keeps, so the kept pairs are copied one by one rather than
// copying everything and dropping most of it.
TermVector KeywordVector(const TermVector& statistics, const TermList& keyword_terms) {
  const IdSet wanted(keyword_terms.ids());
  IdSet dropped_terms;
  TermVector result;
  for (const TermPair& pair : statistics.pairs()) {
    if (wanted.Contains(pair.first()) || wanted.Contains(pair.second())) {
      result.AppendPair(pair);
    } else {
      dropped_terms.Insert(pair.first());
      dropped_terms.Insert(pair.second());
    }
  }
  for (const auto& [id, count] : statistics.term_counts()) {
    if (!dropped_terms.Contains(id)) result.SetTermCount(id, count);
  }
  result.set_weight(statistics.weight());
  return result;
}

// A pair of S is kept when one of its terms is a keyword. The pairs of S are
// the sources' pairs with their ids stemmed, summed couple by couple, so a
// source pair is kept exactly when the pair of S it lands in is: summing the
// kept source pairs alone gives the kept pairs of S in the same order with
// the same sums. Weight and term counts come from every source, as in S.
TermVector KeywordVectorOfSum(const std::vector<const TermVector*>& sources,
                              const TermList& keyword_terms, StemMap* stems) {
  const IdSet wanted(keyword_terms.ids());
  IdSet dropped_terms;
  TermVector kept_sum;
  for (const TermVector* source : sources) {
    kept_sum.MergeIf(*source, [&](const TermPair& pair) {
      const int32_t first = stems != nullptr ? stems->StemOf(pair.first()) : pair.first();
      const int32_t second = stems != nullptr ? stems->StemOf(pair.second()) : pair.second();
      if (wanted.Contains(first) || wanted.Contains(second)) return true;
      dropped_terms.Insert(first);
      dropped_terms.Insert(second);
      return false;
    });
  }
  TermVector result;
  if (stems != nullptr) {
    result.StemmedCopyOf(kept_sum, stems);
  } else {
    result = std::move(kept_sum);
  }
  result.EraseTermCountsIf([&](int32_t id) { return dropped_terms.Contains(id); });
  return result;
}

TermList ExpansionTerms(const TermVector& query) {
  TermList terms;
  for (const TermPair& pair : query.pairs()) {
    terms.Append(pair.first());
    terms.Append(pair.second());
  }
  return terms;
}

void Expand(TermVector* query, const TermVector& statistics) {
  if (query->pair_count() == 0) return;  // Nothing of the statistics would be kept.
  query->Merge(KeywordVector(statistics, ExpansionTerms(*query)));
}

double RelevanceScore(const TermVector& query, const TermVector& document) {
  TermVector common = query.Intersect(document);
  common.Finalize();
  return common.TotalWeight();
}

}  // namespace qora
