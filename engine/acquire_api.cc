// Entry points that fill a store from the web, a search or local files.
//
// The engine registry holds no document store or workspace until those
// layers are built in, so every handle here names no object and each entry
// point answers with the result it gives for an unknown handle.
#include "engine/api_support.h"
#include "qora/engine.h"

using qora::EngineOr;
using qora::SetResult;

extern "C" {

void EngineSearchIntoStore(int /*store*/, const char* /*query_words*/, const char* /*parameters*/,
                           int* result) {
  if (EngineOr(result) != nullptr) SetResult(result, 1);
}

void EngineQuickSearch(const char* /*query_words*/, const char* /*parameters*/, int /*workspace*/,
                       int* result) {
  if (EngineOr(result) != nullptr) SetResult(result, -1);
}

void EngineAddFromWeb(int /*store*/, const char* /*start_addresses*/, const char* /*parameters*/,
                      int* result) {
  if (EngineOr(result) != nullptr) SetResult(result, 1);
}

void EngineCrawlIntoStore(int /*store*/, const char* /*folder*/, int /*depth*/, int /*byte_limit*/,
                          int /*document_limit*/, int* result) {
  if (EngineOr(result) != nullptr) SetResult(result, 1);
}

void EngineAddFiles(int /*store*/, const char* /*file_list*/, const char* /*parameters*/,
                    int* result) {
  if (EngineOr(result) != nullptr) SetResult(result, 1);
}

}  // extern "C"
