// Query vectors and relevance: the keyword vector of a query, its expansion
// by the statistics of a library, and the score of a document against it.
#ifndef QORA_ANALYSIS_RELEVANCE_H_
#define QORA_ANALYSIS_RELEVANCE_H_

#include "analysis/term_list.h"
#include "analysis/term_vector.h"

namespace qora {

// The vector that a copy of `statistics` becomes after
// RestrictToTerms(keyword_terms): its pairs with at least one term in
// `keyword_terms`, in order; its term counts except those of the terms of
// the dropped pairs; its weight.
TermVector KeywordVector(const TermVector& statistics, const TermList& keyword_terms);

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
