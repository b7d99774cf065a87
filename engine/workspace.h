// The research workspace: the libraries taking part in the next analysis,
// their candidate documents and combined term statistics, and the queries,
// result lists and concepts the analyses make.
#ifndef QORA_ENGINE_WORKSPACE_H_
#define QORA_ENGINE_WORKSPACE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "analysis/term_list.h"
#include "analysis/term_vector.h"
#include "engine/environment.h"
#include "engine/object_registry.h"
#include "store/document_store.h"

namespace qora {

// A query: keywords, example documents, a passage or concepts, summed into
// one term vector by Workspace::PrepareQuery.
class Query {
 public:
  std::vector<int32_t> keyword_terms;
  std::string document_list;  // "store handle,document id;" entries
  std::vector<int32_t> passage_terms;
  std::string concept_list;  // concept handles, each followed by ";"
  TermVector vector;
};

// One concept of a concept map, kept so later queries can name it.
class Concept {
 public:
  explicit Concept(TermVector concept_vector) : vector(std::move(concept_vector)) {}
  TermVector vector;
};

// One document that takes part in ranking.
struct CandidateEntry {
  std::string document_id;   // empty when the entry was discarded
  int32_t store_handle = 0;  // 0 when discarded
  double score = 0;
};

class Workspace {
 public:
  // A workspace of `environment` whose file is `file_path`; its stores are
  // looked up in `stores` (the engine's registry) whenever they are used, so
  // a store closed meanwhile is simply no longer there.
  Workspace(EngineEnvironment* environment, const ObjectRegistry* stores, std::string file_path)
      : environment_(environment), stores_(stores), file_path_(std::move(file_path)) {}

  // Reads the workspace name from section "workspace" of the file. Throws
  // CfgError, with the reader's message on stderr, when the file is missing
  // or broken.
  void LoadName();

  // The name LoadName read; "" before.
  const std::string& name() const { return name_; }

  // Enters the store `handle` unless it is selected already.
  void SelectStore(int handle);
  // Removes the store; nothing when it is not selected.
  void DeselectStore(int handle);
  // The selected store `handle` names, or nullptr (also when it was closed).
  DocumentStore* SelectedStore(int handle) const;

  // Turns `text` into the query's keyword (or passage) terms: tokenized, stop
  // words dropped, mapped to stems when the stemmed model is on.
  void SetKeywords(Query* query, std::string_view text) const;
  void SetPassage(Query* query, std::string_view text) const;

  // Adds the query's sources to its vector: keywords restricted from the
  // statistics, the example documents' vectors (from any open store), the
  // passage's vector, and the named concepts' vectors.
  void PrepareQuery(Query* query);

  // Widens the query's vector with the workspace statistics.
  void ExpandQuery(Query* query) const;

  // Collects the candidates of the selected stores and takes their term
  // statistics as they stand (a store that releases or changes its own later
  // does not change them). 0.
  int PrepareRanking();

  // The workspace statistics that match the model: the sum of the statistics
  // taken by the last PrepareRanking, stemmed when the stemmed model is on.
  // Built on first use and kept until the next PrepareRanking: queries only
  // need the part their terms keep, which they take straight from the
  // stores' sums, so the whole is built only when asked for.
  const TermVector& statistics() const;

  ObjectRegistry& registry() { return registry_; }
  std::vector<CandidateEntry>& candidates() { return candidates_; }
  const std::unordered_map<std::string, size_t>& candidate_index() const {
    return candidate_index_;
  }
  const std::vector<int>& selected_stores() const { return selected_; }
  EngineEnvironment* environment() const { return environment_; }
  // The unstemmed workspace statistics, built on first use like statistics().
  const TermVector& plain_statistics() const;

 private:
  std::string name_;
  std::vector<int32_t> PreparedTerms(std::string_view text) const;

  // KeywordVector(statistics(), terms), computed without building them.
  TermVector StatisticsKeptBy(const TermList& terms) const;

  EngineEnvironment* environment_;
  const ObjectRegistry* stores_;
  std::string file_path_;
  std::vector<int> selected_;
  std::vector<CandidateEntry> candidates_;
  std::unordered_map<std::string, size_t> candidate_index_;
  // The sums the statistics are made of: each selected store's two halves.
  std::vector<std::shared_ptr<const TermVector>> statistics_sources_;
  mutable bool statistics_built_ = false;
  mutable TermVector plain_statistics_;
  mutable TermVector stemmed_statistics_;
  ObjectRegistry registry_;
};

}  // namespace qora

#endif  // QORA_ENGINE_WORKSPACE_H_
