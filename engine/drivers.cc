#include "engine/drivers.h"

#include <algorithm>
#include <memory>

#include "analysis/concept_map.h"
#include "analysis/query_scorer.h"
#include "analysis/relevance.h"
#include "engine/document_list.h"
#include "engine/store_listing.h"
#include "store/dml_writer.h"
#include "store/summarizer.h"

namespace qora {
namespace {

constexpr double kZero = 1e-8;

int Register(Workspace* workspace, std::unique_ptr<ResultList> list) {
  return static_cast<int>(workspace->registry().Register(std::move(list)));
}

// Scores the candidates in list order until a stop is requested. Only the
// pairs of the vector that matches the model are read from each index file.
void ScoreCandidates(Workspace* workspace, const TermVector& query) {
  EngineEnvironment* environment = workspace->environment();
  const bool stemmed = environment->stemmed_model();
  QueryScorer scorer(query);
  std::string buffer;
  std::vector<TermPair> pairs;
  for (CandidateEntry& entry : workspace->candidates()) {
    const DocumentStore* store = workspace->SelectedStore(entry.store_handle);
    if (store != nullptr) {
      if (store->LoadDocumentPairs(entry.document_id, stemmed, &buffer, &pairs) != 0) {
        entry = CandidateEntry{};
        continue;
      }
      entry.score = scorer.Score(pairs);
    }
    if (environment->EnvironmentStopRequested()) {
      environment->EnvironmentSetStatus("Stop requested. Please wait...");
      break;
    }
  }
}

}  // namespace

int RankDocuments(Workspace* workspace, const Query& query, int count) {
  EngineEnvironment* environment = workspace->environment();
  environment->EnvironmentSetStop(0);
  environment->EnvironmentSetStatus("Begin Document Listing");
  ScoreCandidates(workspace, query.vector);
  std::vector<CandidateEntry>& candidates = workspace->candidates();
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const CandidateEntry& a, const CandidateEntry& b) { return a.score > b.score; });
  auto list = std::make_unique<ResultList>();
  for (int i = 0; i < count && static_cast<size_t>(i) < candidates.size(); ++i) {
    environment->EnvironmentSetStatus("Relevance ranking " + std::to_string(i + 1));
    const CandidateEntry& entry = candidates[static_cast<size_t>(i)];
    if (entry.score < kZero) break;
    const DocumentStore* store = workspace->SelectedStore(entry.store_handle);
    if (entry.document_id.empty() || entry.store_handle == 0 || store == nullptr) continue;
    DocumentRecord record;
    store->ReadStoredRecord(entry.document_id, &record);
    if (record.docid.empty()) record.docid = entry.document_id;
    record.rank = entry.score;
    record.parent_handle = entry.store_handle;
    record.parid = store->library_name();
    list->Append(std::move(record));
  }
  environment->EnvironmentSetStatus("Document Listing completed");
  return Register(workspace, std::move(list));
}

int ListDocuments(Workspace* workspace, const DocumentStore& store, int store_handle, int start,
                  int count) {
  auto list = std::make_unique<ResultList>();
  ListStoreDocuments(store, store_handle, start, count, list.get());
  return Register(workspace, std::move(list));
}

int SummarizeDocumentList(Workspace* workspace, const Query* query,
                          const std::string& document_list, const ObjectRegistry& stores,
                          DocumentStore* temp_store, int temp_handle, double bias) {
  EngineEnvironment* environment = workspace->environment();
  auto list = std::make_unique<ResultList>();
  const TermVector no_query;
  const TermVector& bias_vector = query != nullptr ? query->vector : no_query;
  for (const DocumentReference& entry : ParseDocumentList(document_list)) {
    DocumentStore* store = stores.FindAs<DocumentStore>(entry.store_handle);
    if (store == nullptr) continue;
    const std::string id = SummarizeDocument(store, entry.document_id, entry.document_id + "_",
                                             bias_vector, bias, temp_store, environment);
    if (id.empty()) continue;  // no such document, or its copy could not be written
    DocumentRecord record;
    record.docid = id;
    record.parent_handle = temp_handle;
    record.bcuri = temp_store->local().cache_folder + id + ".dml";
    list->Append(std::move(record));
  }
  environment->EnvironmentSetStatus("Summarization and highlighting done");
  return Register(workspace, std::move(list));
}

int MakeVisualAbstract(Workspace* workspace, const Query& query, int max_concepts,
                       int max_phrases) {
  EngineEnvironment* environment = workspace->environment();
  const TermVector source = query.vector;
  // The list takes its handle before the concepts take theirs.
  const int list_handle = Register(workspace, std::make_unique<ResultList>());
  ResultList* list = workspace->registry().FindAs<ResultList>(list_handle);
  std::vector<TermVector> concepts;
  if (!BuildConceptMap(source, environment->pairs_per_concept(), max_concepts, &concepts)) {
    workspace->registry().Remove(list_handle);  // its handle is never handed out
    return -1;
  }
  for (size_t i = 0; i < concepts.size(); ++i) {
    const double weight = concepts[i].weight();
    const int handle = static_cast<int>(
        workspace->registry().Register(std::make_unique<Concept>(std::move(concepts[i]))));
    const Concept* concept_object = workspace->registry().FindAs<Concept>(handle);
    DocumentRecord record;
    const int phrases =
        FillConceptRecord(concept_object->vector, &record, handle, static_cast<int>(i), max_phrases,
                          environment->pairs_per_subconcept(), *environment->dictionary());
    record.ord = static_cast<int32_t>(weight);
    if (record.ord > 0 && phrases > 0) list->Append(std::move(record));
  }
  return list_handle;
}

int WriteMapDocument(const ResultList& list, const std::string& file_name,
                     DocumentStore* temp_store, std::string* path) {
  const std::string written =
      temp_store->AddLocalDocument(file_name, file_name, WriteDocument(WriteStatText(list)));
  if (written.empty()) return 1;
  *path = written;
  return 0;
}

}  // namespace qora
