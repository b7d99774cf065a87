// The engine's long operations on a workspace. Each makes a result list,
// registers it in the workspace and returns its handle; progress goes to the
// environment's status text.
#ifndef QORA_ENGINE_DRIVERS_H_
#define QORA_ENGINE_DRIVERS_H_

#include <string>

#include "engine/workspace.h"
#include "store/document_store.h"
#include "store/result_list.h"

namespace qora {

// Scores every candidate of the (prepared) workspace against the query,
// highest first, and lists at most `count` documents whose score is not
// below 1e-8. Watches the stop flag between documents. The handle of the
// new result list in the workspace.
int RankDocuments(Workspace* workspace, const Query& query, int count);

// Lists `count` documents of `store` from position `start` (bounds as
// ListStoreDocuments). No status text; the stop flag is not watched. The
// handle of the new result list in the workspace.
int ListDocuments(Workspace* workspace, const DocumentStore& store, int store_handle, int start,
                  int count);

// Writes a weighted copy of every listed document into `temp_store` and
// lists the copies. `query` may be null: an unbiased summary. The handle of
// the new result list in the workspace; a document that cannot be copied is
// left out of it.
int SummarizeDocumentList(Workspace* workspace, const Query* query,
                          const std::string& document_list, const ObjectRegistry& stores,
                          DocumentStore* temp_store, int temp_handle, double bias);

// Splits the query's vector into at most `max_concepts` concepts (one, the
// whole vector, when `max_concepts` is 1 or less), registers each as a
// Concept and lists those with key phrases, at most `max_phrases` a concept
// (a count of 1 or less allows one). The result list is registered before the
// concepts, so its handle is the lower. The handle of the new result list in
// the workspace; -1 when the map cannot be built (the vector has no pairs).
int MakeVisualAbstract(Workspace* workspace, const Query& query, int max_concepts, int max_phrases);

// Writes `list` as a DML document `file_name` into the temporary store and
// sets `path` to the written file. 0; 1 when it cannot be written.
int WriteMapDocument(const ResultList& list, const std::string& file_name,
                     DocumentStore* temp_store, std::string* path);

}  // namespace qora

#endif  // QORA_ENGINE_DRIVERS_H_
