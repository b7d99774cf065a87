// The research flows as every front runs them: selecting libraries into the
// workspace, building a query, ranking, summarizing and mapping concepts.
// Each needs a started engine and returns "" when done, else the message.
#ifndef QORA_SHELL_RESEARCH_FLOWS_H_
#define QORA_SHELL_RESEARCH_FLOWS_H_

#include <string>
#include <vector>

#include "util/document_record.h"

namespace qora {

// Defaults of the research settings.
inline constexpr int kDefaultFetchCount = 100;
inline constexpr int kDefaultBiasPercent = 85;
inline constexpr int kDefaultMaxConcepts = 4;
inline constexpr int kDefaultMaxPhrases = 5;
inline constexpr int kMaxSelectedLibraries = 10;

// A document named by its library (name or identifier) and id.
struct DocumentName {
  std::string library;
  std::string id;
};

// What a query is made of: keywords, a passage or example documents.
struct QuerySource {
  enum class Kind { kNone, kKeywords, kPassage, kDocuments };
  Kind kind = Kind::kNone;
  std::string text;
  std::vector<DocumentName> documents;
};

struct ResearchRequest {
  std::vector<std::string> libraries;
  QuerySource query;
  int count = kDefaultFetchCount;
  bool expand = false;
};

// Ranks the documents of the libraries against the query: `documents` gets
// the listed records (rank = score, parid = library name), `text` the
// result-list text.
std::string Research(const ResearchRequest& request, std::vector<DocumentRecord>* documents,
                     std::string* text);

// One sentence of a summarized document.
struct WeightedSentence {
  int weight = 0;
  std::string text;
};

struct SummaryResult {
  std::vector<DocumentRecord> copies;       // one record per summarized document
  std::vector<WeightedSentence> sentences;  // of the single document, in text order
  std::string path;  // the weighted copy (one document) or the combined summary
  std::string text;  // the result-list text
};

// Summarizes the documents, biased towards the query by `bias_percent`:
// one document gives its weighted sentences; several give the combined
// summary file.
std::string Summarize(const std::vector<DocumentName>& documents, const QuerySource& query,
                      int bias_percent, SummaryResult* result);

struct MapRequest {
  std::vector<std::string> libraries;
  QuerySource query;
  int concepts = kDefaultMaxConcepts;
  int phrases = kDefaultMaxPhrases;
};

// Builds the concept map of the query: one record per concept, in map order
// (ord = weight, keywords = key phrases).
std::string ConceptMap(const MapRequest& request, std::vector<DocumentRecord>* concepts,
                       std::string* text);

// The sentences of a DML file with their weights ("w" attribute), in text
// order, blanks trimmed.
std::vector<WeightedSentence> ReadWeightedSentences(const std::string& dml_path);

}  // namespace qora

#endif  // QORA_SHELL_RESEARCH_FLOWS_H_
