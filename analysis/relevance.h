// Query vectors and relevance: the keyword vector of a query, its expansion
// by the statistics of a library, and the score of a document against it.
#ifndef QORA_ANALYSIS_RELEVANCE_H_
#define QORA_ANALYSIS_RELEVANCE_H_

#include <vector>

#include "analysis/stem_map.h"
#include "analysis/term_list.h"
#include "analysis/term_vector.h"

namespace qora {

// The vector that a copy of `statistics` becomes after
// RestrictToTerms(keyword_terms): its pairs with at least one term in
// `keyword_terms`, in order; its term counts except those of the terms of
// the dropped pairs; its weight.
TermVector KeywordVector(const TermVector& statistics, const TermList& keyword_terms);

// KeywordVector(S, keyword_terms), where S is the Merge of `sources` in
// order into an empty vector and then, when `stems` is not null, its
// StemmedCopyOf. Only the pairs the keywords keep are summed, so a query
// costs one pass over the sources instead of building S. (Sums of index
// files hold no pair of negligible weight; were one to arise, S would drop it
// and keep the term counts of its terms, which this drops.)
TermVector KeywordVectorOfSum(const std::vector<const TermVector*>& sources,
                              const TermList& keyword_terms, StemMap* stems);

// Both terms of every pair of `query`, in order: the terms an expansion
// keeps the statistics to.
TermList ExpansionTerms(const TermVector& query);

// Merges into `query` the pairs of `statistics` that hold a term of one of
// the query's pairs (with the statistics' weight and the term counts that
// KeywordVector keeps). A query without pairs is left as it is.
void Expand(TermVector* query, const TermVector& statistics);

// The total weight of the finalized intersection of `query` with
// `document`: for every pair they share, the products of the weights of the
// same direction, so that a pair held reversed counts forward against
// backward. Shared pairs whose two products are both negligible count 0.
double RelevanceScore(const TermVector& query, const TermVector& document);

}  // namespace qora

#endif  // QORA_ANALYSIS_RELEVANCE_H_
