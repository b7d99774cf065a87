#include "engine/workspace.h"

#include <algorithm>

#include "analysis/cfg_file.h"
#include "analysis/relevance.h"
#include "analysis/term_list.h"
#include "engine/document_list.h"
#include "util/decimal.h"

namespace qora {

void Workspace::LoadName() { name_ = CfgFile::CfgLoad(file_path_).CfgGet("workspace", "name"); }

void Workspace::SelectStore(int handle) {
  if (std::find(selected_.begin(), selected_.end(), handle) == selected_.end()) {
    selected_.push_back(handle);
  }
}

void Workspace::DeselectStore(int handle) { std::erase(selected_, handle); }

DocumentStore* Workspace::SelectedStore(int handle) const {
  if (std::find(selected_.begin(), selected_.end(), handle) == selected_.end()) return nullptr;
  return stores_->FindAs<DocumentStore>(handle);
}

std::vector<int32_t> Workspace::PreparedTerms(std::string_view text) const {
  TermList list;
  PrepareTermList(text, environment_->dictionary(), environment_->delimiters(),
                  environment_->stems(), environment_->stop_words(), &list);
  if (environment_->stemmed_model()) list.MapToStems(environment_->stems());
  return list.ids();
}

void Workspace::SetKeywords(Query* query, std::string_view text) const {
  query->keyword_terms = PreparedTerms(text);
}

void Workspace::SetPassage(Query* query, std::string_view text) const {
  query->passage_terms = PreparedTerms(text);
}

const TermVector& Workspace::statistics() const {
  plain_statistics();
  return environment_->stemmed_model() ? stemmed_statistics_ : plain_statistics_;
}

const TermVector& Workspace::plain_statistics() const {
  if (statistics_built_) return plain_statistics_;
  for (const auto& source : statistics_sources_) plain_statistics_.Merge(*source);
  if (environment_->stemmed_model()) {
    stemmed_statistics_.StemmedCopyOf(plain_statistics_, environment_->stems());
  }
  statistics_built_ = true;
  return plain_statistics_;
}

TermVector Workspace::StatisticsKeptBy(const TermList& terms) const {
  if (statistics_built_) return KeywordVector(statistics(), terms);
  std::vector<const TermVector*> sources;
  sources.reserve(statistics_sources_.size());
  for (const auto& source : statistics_sources_) sources.push_back(source.get());
  return KeywordVectorOfSum(sources, terms,
                            environment_->stemmed_model() ? environment_->stems() : nullptr);
}

void Workspace::PrepareQuery(Query* query) {
  if (!query->keyword_terms.empty()) {
    TermList keywords;
    for (int32_t id : query->keyword_terms) keywords.Append(id);
    query->vector = StatisticsKeptBy(keywords);
  }
  for (const DocumentReference& entry : ParseDocumentList(query->document_list)) {
    const DocumentStore* store = stores_->FindAs<DocumentStore>(entry.store_handle);
    if (store == nullptr) continue;
    TermVector plain, stemmed;
    if (store->LoadDocumentIndex(entry.document_id, &plain, &stemmed) != 0) continue;
    query->vector.Merge(environment_->stemmed_model() ? stemmed : plain);
  }
  if (!query->passage_terms.empty()) {
    TermList passage;
    for (int32_t id : query->passage_terms) passage.Append(id);
    TermVector vector;
    vector.Build(passage, environment_->pair_window());
    query->vector.Merge(vector);
  }
  std::string_view concepts = query->concept_list;
  for (size_t end = concepts.find(';'); end != std::string_view::npos; end = concepts.find(';')) {
    const Concept* concept_object =
        registry_.FindAs<Concept>(ParseDecimal(concepts.substr(0, end)));
    if (concept_object != nullptr) query->vector.Merge(concept_object->vector);
    concepts.remove_prefix(end + 1);
  }
}

// Expand(query, statistics()), with the kept part taken straight from the
// sums.
void Workspace::ExpandQuery(Query* query) const {
  if (query->vector.pair_count() == 0) return;
  query->vector.Merge(StatisticsKeptBy(ExpansionTerms(query->vector)));
}

int Workspace::PrepareRanking() {
  environment_->EnvironmentSetStatus("Preparing for Relevance Ranking");
  candidates_.clear();
  candidate_index_.clear();
  statistics_sources_.clear();
  statistics_built_ = false;
  plain_statistics_.Clear();
  stemmed_statistics_.Clear();
  for (int handle : selected_) {
    const DocumentStore* store = SelectedStore(handle);
    if (store == nullptr) continue;
    for (const LibraryHalf* half : {&store->local(), &store->web()}) {
      statistics_sources_.push_back(half->SharedPlain());
      for (size_t i = 0; i < half->table.size(); ++i) {
        candidates_.push_back({half->table.at(i).id, handle, 0.0});
      }
    }
  }
  for (size_t i = 0; i < candidates_.size(); ++i) {
    candidate_index_[candidates_[i].document_id] = i;
  }
  return 0;
}

}  // namespace qora
