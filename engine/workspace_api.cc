// Entry points of workspaces, queries and the analyses.
#include <memory>

#include "analysis/cfg_file.h"
#include "engine/api_support.h"
#include "engine/drivers.h"
#include "engine/workspace.h"
#include "qora/engine.h"

using qora::Engine;
using qora::EngineOr;
using qora::HandOut;
using qora::Query;
using qora::SetResult;
using qora::Text;
using qora::Workspace;

namespace {

Workspace* FindWorkspace(Engine* engine, int handle) {
  return engine->registry().FindAs<Workspace>(handle);
}

// The query `query` names in the workspace `workspace` names; sets `result`
// to 1 and returns null when either names nothing.
Query* FindQuery(int query, int workspace, int* result, Workspace** found_workspace = nullptr) {
  Engine* engine = EngineOr(result);
  if (engine == nullptr) return nullptr;
  Workspace* space = FindWorkspace(engine, workspace);
  Query* found = space == nullptr ? nullptr : space->registry().FindAs<Query>(query);
  if (found == nullptr) SetResult(result, 1);
  if (found_workspace != nullptr) *found_workspace = space;
  return found;
}

}  // namespace

extern "C" {

void EngineOpenWorkspace(const char* file, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    auto workspace = std::make_unique<Workspace>(&engine->environment(), &engine->registry(),
                                                 engine->environment().data_folder() + Text(file));
    try {
      workspace->LoadName();
    } catch (const qora::CfgError&) {
      SetResult(result, -1);
      return;
    }
    SetResult(result, static_cast<int>(engine->registry().Register(std::move(workspace))));
  });
}

void EngineAddStoreToWorkspace(int store, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    qora::DocumentStore* found = engine->FindStore(store);
    if (space != nullptr && found != nullptr) space->SelectStore(store);
    SetResult(result, space != nullptr && found != nullptr ? 0 : 1);
  });
}

void EngineRemoveStoreFromWorkspace(int store, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    const bool found = space != nullptr && engine->FindStore(store) != nullptr;
    if (found) space->DeselectStore(store);
    SetResult(result, found ? 0 : 1);
  });
}

void EngineNewQuery(int workspace, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    SetResult(result,
              space == nullptr
                  ? -1
                  : static_cast<int>(space->registry().Register(std::make_unique<Query>())));
  });
}

void EngineSetQueryKeywords(int query, const char* text, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Workspace* space = nullptr;
    Query* found = FindQuery(query, workspace, result, &space);
    if (found == nullptr) return;
    space->SetKeywords(found, Text(text));
    SetResult(result, 0);
  });
}

void EngineSetQueryDocuments(int query, const char* document_list, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Query* found = FindQuery(query, workspace, result);
    if (found == nullptr) return;
    found->document_list = Text(document_list);
    SetResult(result, 0);
  });
}

void EngineSetQueryPassage(int query, const char* text, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Workspace* space = nullptr;
    Query* found = FindQuery(query, workspace, result, &space);
    if (found == nullptr) return;
    space->SetPassage(found, Text(text));
    SetResult(result, 0);
  });
}

void EngineSetQueryConcepts(int query, const char* text, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Query* found = FindQuery(query, workspace, result);
    if (found == nullptr) return;
    found->concept_list = Text(text);
    SetResult(result, 0);
  });
}

void EnginePrepareQuery(int query, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Workspace* space = nullptr;
    Query* found = FindQuery(query, workspace, result, &space);
    if (found == nullptr) return;
    space->PrepareQuery(found);
    SetResult(result, 0);
  });
}

void EngineExpandQuery(int query, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Workspace* space = nullptr;
    Query* found = FindQuery(query, workspace, result, &space);
    if (found == nullptr) return;
    space->ExpandQuery(found);
    SetResult(result, 0);
  });
}

void EnginePrepareRanking(int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    SetResult(result, space == nullptr ? 1 : space->PrepareRanking());
  });
}

void EngineRankDocuments(int query, int count, int workspace, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentSetStatus("Begin relevance ranking");
    Workspace* space = FindWorkspace(engine, workspace);
    if (space == nullptr) {
      SetResult(result, -1);
      return;
    }
    // A query handle that names nothing makes no result list.
    const Query* found = space->registry().FindAs<Query>(query);
    SetResult(result, found == nullptr ? -1 : qora::RankDocuments(space, *found, count));
  });
}

void EngineListDocuments(int store, int start, int count, int workspace, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    const qora::DocumentStore* found = engine->FindStore(store);
    SetResult(result, space == nullptr || found == nullptr
                          ? -1
                          : qora::ListDocuments(space, *found, store, start, count));
  });
}

void EngineWriteResultList(char** out, int result_list, int workspace, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    const qora::ResultList* list =
        space == nullptr ? nullptr : space->registry().FindAs<qora::ResultList>(result_list);
    HandOut(list == nullptr ? std::string() : qora::WriteResultText(*list), out);
    SetResult(result, list == nullptr ? 1 : 0);
  });
}

void EngineSummarize(int query, const char* document_list, int workspace, float bias_percentage,
                     int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentSetStatus("Begin summarizing and highlighting");
    Workspace* space = FindWorkspace(engine, workspace);
    qora::DocumentStore* temp = engine->temp_store();
    if (space == nullptr || temp == nullptr) {
      SetResult(result, 1);
      return;
    }
    SetResult(result, qora::SummarizeDocumentList(space, space->registry().FindAs<Query>(query),
                                                  Text(document_list), engine->registry(), temp,
                                                  engine->temp_store_handle(),
                                                  static_cast<double>(bias_percentage) * 0.01));
  });
}

void EngineWriteMap(const char* file_name, char** out_path, int result_list, int workspace,
                    int* result) {
  qora::Guarded(result, qora::kFailed, {out_path}, [&] {
    Engine* engine = EngineOr(result, out_path);
    if (engine == nullptr) return;
    Workspace* space = FindWorkspace(engine, workspace);
    qora::DocumentStore* temp = engine->temp_store();
    const qora::ResultList* list =
        space == nullptr ? nullptr : space->registry().FindAs<qora::ResultList>(result_list);
    const qora::ResultList empty;
    std::string path;
    const int written =
        space == nullptr || temp == nullptr
            ? 1
            : qora::WriteMapDocument(list != nullptr ? *list : empty, Text(file_name), temp, &path);
    HandOut(path, out_path);
    SetResult(result, written);
  });
}

void EngineConceptMap(const char* parameters, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentSetStatus("Begin creating visual abstract");
    qora::RequestRecord& request = engine->request();
    qora::ParseRequestParameters(Text(parameters), &request);
    Workspace* space = FindWorkspace(engine, request.workspace_handle);
    if (space == nullptr) {
      SetResult(result, 1);
      return;
    }
    const Query* query = space->registry().FindAs<Query>(request.query_handle);
    SetResult(result, query == nullptr ? -1
                                       : qora::MakeVisualAbstract(space, *query, request.number1,
                                                                  request.number2));
  });
}

}  // extern "C"
