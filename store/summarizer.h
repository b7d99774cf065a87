// Summaries: a copy of a stored document in which every sentence carries its
// weight against a reference made of the document and a query, written as a
// new document into a temporary library.
#ifndef QORA_STORE_SUMMARIZER_H_
#define QORA_STORE_SUMMARIZER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "analysis/analysis_environment.h"
#include "analysis/term_vector.h"
#include "store/document_store.h"

namespace qora {

// The weight of a sentence whose pairs overlap the reference by `overlap`
// and which holds `distinct_terms` different terms: overlap / (terms + 5),
// truncated toward zero and held within the range of int32_t (0 when the
// overlap is not a number).
int32_t WeightFromOverlap(double overlap, size_t distinct_terms);

// The weight of `sentence` against `reference`. The sentence is tokenized
// against the environment's dictionary, stop words dropped and, in the
// stemmed model, every term replaced by its stem; its vector is built with
// the pair window. The overlap is the total weight of the reference's pairs
// that the sentence shares, each multiplied by the sentence's weights.
// A sentence without pairs weighs 0.
int32_t SentenceWeight(std::string_view sentence, const TermVector& reference,
                       AnalysisEnvironment* environment);

// The reference that sentences are weighed against. When `query` has pairs
// and `bias` is at least the negligible weight: the query scaled by `bias`
// with `document` scaled by 1 - bias merged into it, or the query alone when
// 1 - bias is negligible. Otherwise the document.
TermVector SummaryReference(const TermVector& query, double bias, TermVector document);

// Writes a summary of document `document_id` of `store` into the local half
// of `temp_store` as `name_prefix` + ".dml", listed under the document's
// address, and returns `name_prefix`. The reference is SummaryReference of
// `query` and the document's vector (stemmed in the stemmed model). The
// summary holds the document's description, its paragraphs with every
// sentence given its weight and a count of 1, and its links (each link block
// starts the links anew, so the last block is kept); other elements are left
// out.
//
// Returns "", writing nothing, when the store holds no such document, when
// its DML file cannot be read, or when `name_prefix` is empty or holds a
// "/", "|" or line end; returns "" also when the summary cannot be written.
std::string SummarizeDocument(DocumentStore* store, std::string_view document_id,
                              const std::string& name_prefix, const TermVector& query, double bias,
                              DocumentStore* temp_store, AnalysisEnvironment* environment);

}  // namespace qora

#endif  // QORA_STORE_SUMMARIZER_H_
