// Turns the body of a DML document into its term vectors.
#ifndef QORA_STORE_DOCUMENT_INDEXER_H_
#define QORA_STORE_DOCUMENT_INDEXER_H_

#include <string>

#include "analysis/analysis_environment.h"
#include "analysis/term_vector.h"

namespace qora {

// Reads the DML file at `dml_path` and sets `plain` to the sum of its
// paragraphs' sentence vectors (each sentence tokenized against the
// environment's dictionary, stop words dropped, built with the pair window),
// finalized; `stemmed` to its stemmed copy when the stemmed model is on,
// else empty. A missing file gives two empty vectors.
void IndexDocumentBody(const std::string& dml_path, AnalysisEnvironment* environment,
                       TermVector* plain, TermVector* stemmed);

}  // namespace qora

#endif  // QORA_STORE_DOCUMENT_INDEXER_H_
