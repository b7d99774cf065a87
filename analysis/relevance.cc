#include "analysis/relevance.h"

#include <cstdint>
#include <vector>

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

namespace {

// Whether each term's stem (or the term itself, without a stem map) is a
// keyword, worked out once a term: the sources repeat a few thousand terms
// in millions of pairs. Every term is looked up in the stem map once, as the
// stemmed copy of the whole sum would look it up.
class KeywordTerms {
 public:
  KeywordTerms(const TermList& keyword_terms, StemMap* stems)
      : wanted_(keyword_terms.ids()), stems_(stems) {}

  bool Holds(int32_t term) {
    const uint32_t i = static_cast<uint32_t>(term);
    if (i >= kMaxDenseId) return wanted_.Contains(Mapped(term));
    if (i >= known_.size()) known_.resize(static_cast<size_t>(i) + 1 + known_.size() / 2, kUnknown);
    if (known_[i] == kUnknown) known_[i] = wanted_.Contains(Mapped(term)) ? kWanted : kNotWanted;
    return known_[i] == kWanted;
  }

  int32_t Mapped(int32_t term) const { return stems_ != nullptr ? stems_->StemOf(term) : term; }

 private:
  static constexpr uint32_t kMaxDenseId = 1u << 24;
  static constexpr uint8_t kUnknown = 0, kWanted = 1, kNotWanted = 2;

  const IdSet wanted_;
  StemMap* stems_;
  std::vector<uint8_t> known_;
};

}  // namespace

// A pair of S is kept when one of its terms is a keyword. The pairs of S are
// the sources' pairs with their ids stemmed, summed couple by couple, so a
// source pair is kept exactly when the pair of S it lands in is: summing the
// kept source pairs alone gives the kept pairs of S in the same order with
// the same sums. Weight and term counts come from every source, as in S.
// The terms of dropped pairs are gathered unstemmed and stemmed at the end.
TermVector KeywordVectorOfSum(const std::vector<const TermVector*>& sources,
                              const TermList& keyword_terms, StemMap* stems) {
  KeywordTerms keywords(keyword_terms, stems);
  IdSet dropped_terms;
  std::vector<int32_t> dropped_list;
  const auto drop = [&](int32_t term) {
    if (dropped_terms.Contains(term)) return;
    dropped_terms.Insert(term);
    dropped_list.push_back(term);
  };
  TermVector kept_sum;
  for (const TermVector* source : sources) {
    kept_sum.MergeIf(*source, [&](const TermPair& pair) {
      if (keywords.Holds(pair.first()) || keywords.Holds(pair.second())) return true;
      drop(pair.first());
      drop(pair.second());
      return false;
    });
  }
  TermVector result;
  IdSet dropped_stems;
  if (stems != nullptr) {
    result.StemmedCopyOf(kept_sum, stems);
    for (int32_t term : dropped_list) dropped_stems.Insert(keywords.Mapped(term));
  } else {
    result = std::move(kept_sum);
  }
  const IdSet& dropped = stems != nullptr ? dropped_stems : dropped_terms;
  result.EraseTermCountsIf([&](int32_t id) { return dropped.Contains(id); });
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
