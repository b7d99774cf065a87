// Entry points of workspaces, queries and the analyses.
//
// The engine registry holds no workspace until the workspace layer is built
// in, so every workspace handle names none and each entry point answers with
// the result it gives for an unknown workspace. The concept-map request is
// parsed into the request record all the same.
#include "engine/api_support.h"
#include "qora/engine.h"

using qora::Engine;
using qora::EngineOr;
using qora::HandOut;
using qora::SetResult;
using qora::Text;

namespace {

void NoWorkspace(int* result, int value) {
  if (EngineOr(result) != nullptr) SetResult(result, value);
}

}  // namespace

extern "C" {

void EngineOpenWorkspace(const char* /*file*/, int* result) { NoWorkspace(result, -1); }

void EngineAddStoreToWorkspace(int /*store*/, int /*workspace*/, int* result) {
  NoWorkspace(result, 1);
}

void EngineRemoveStoreFromWorkspace(int /*store*/, int /*workspace*/, int* result) {
  NoWorkspace(result, 1);
}

void EngineNewQuery(int /*workspace*/, int* result) { NoWorkspace(result, -1); }

void EngineSetQueryKeywords(int /*query*/, const char* /*text*/, int /*workspace*/, int* result) {
  NoWorkspace(result, 1);
}

void EngineSetQueryDocuments(int /*query*/, const char* /*document_list*/, int /*workspace*/,
                             int* result) {
  NoWorkspace(result, 1);
}

void EngineSetQueryPassage(int /*query*/, const char* /*text*/, int /*workspace*/, int* result) {
  NoWorkspace(result, 1);
}

void EngineSetQueryConcepts(int /*query*/, const char* /*text*/, int /*workspace*/, int* result) {
  NoWorkspace(result, 1);
}

void EnginePrepareQuery(int /*query*/, int /*workspace*/, int* result) { NoWorkspace(result, 1); }

void EngineExpandQuery(int /*query*/, int /*workspace*/, int* result) { NoWorkspace(result, 1); }

void EnginePrepareRanking(int /*workspace*/, int* result) { NoWorkspace(result, 1); }

void EngineRankDocuments(int /*query*/, int /*count*/, int /*workspace*/, int* result) {
  NoWorkspace(result, -1);
}

void EngineListDocuments(int /*store*/, int /*start*/, int /*count*/, int /*workspace*/,
                         int* result) {
  NoWorkspace(result, -1);
}

void EngineWriteResultList(char** out, int /*result_list*/, int /*workspace*/, int* result) {
  if (EngineOr(result, out) == nullptr) return;
  HandOut("", out);
  SetResult(result, 1);
}

void EngineSummarize(int /*query*/, const char* /*document_list*/, int /*workspace*/,
                     float /*bias_percentage*/, int* result) {
  NoWorkspace(result, 1);
}

void EngineWriteMap(const char* /*file_name*/, char** out_path, int /*result_list*/,
                    int /*workspace*/, int* result) {
  if (EngineOr(result, out_path) == nullptr) return;
  HandOut("", out_path);
  SetResult(result, 1);
}

void EngineConceptMap(const char* parameters, int* result) {
  Engine* engine = EngineOr(result);
  if (engine == nullptr) return;
  qora::ParseRequestParameters(Text(parameters), &engine->request());
  SetResult(result, 1);
}

}  // extern "C"
