// Scores many documents against one query as RelevanceScore does, straight
// from the documents' pairs, without building a vector per document.
#ifndef QORA_ANALYSIS_QUERY_SCORER_H_
#define QORA_ANALYSIS_QUERY_SCORER_H_

#include <cstdint>
#include <vector>

#include "analysis/id_set.h"
#include "analysis/term_pair.h"
#include "analysis/term_vector.h"

namespace qora {

// Holds a reference to the query, which must outlive the scorer and stay
// unchanged while it is used. The query's index is built by the constructor,
// after which scorers of one query may run in several threads at once.
class QueryScorer {
 public:
  explicit QueryScorer(const TermVector& query);

  QueryScorer(const QueryScorer&) = delete;
  QueryScorer& operator=(const QueryScorer&) = delete;

  // RelevanceScore(query, d), bit for bit, where d is the vector holding
  // `document` (its term counts do not change a score).
  double Score(const std::vector<TermPair>& document);

 private:
  // Scores through the vectors when a shared couple of terms meets the query
  // twice, so that finalizing folds the two products as RelevanceScore does.
  double ScoreThroughVectors(const std::vector<TermPair>& document) const;

  const TermVector& query_;
  // The terms of the query's pairs: a document pair with a term outside
  // them cannot be shared, which settles most pairs without a lookup.
  IdSet query_terms_;
  // True when the query holds every couple of terms at most once, in one
  // orientation: then each query position stands for one couple.
  bool couples_unique_;
  // matched_[p] == round_ when query position p was met in this round.
  std::vector<uint32_t> matched_;
  uint32_t round_ = 0;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_QUERY_SCORER_H_
