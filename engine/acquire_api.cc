// Entry points that fill a store from the web, a search or local files.
//
// The web crawl and the searches are not built in yet: they answer as for a
// handle that names no object.
#include "acquire/local_import.h"
#include "analysis/cfg_file.h"
#include "engine/api_support.h"
#include "engine/engine.h"
#include "qora/engine.h"

using qora::Engine;
using qora::EngineOr;
using qora::LocalImporter;
using qora::SetResult;
using qora::Text;

namespace {

// Runs `import` on a local importer of the store `handle`: 0 when it ran,
// 1 when the handle names no store, -1 when "crawl.ini" cannot be read (the
// reader's message is on stderr and nothing was imported).
template <typename Import>
int ImportLocal(Engine* engine, int handle, Import import) {
  qora::DocumentStore* store = engine->FindStore(handle);
  if (store == nullptr) return 1;
  try {
    LocalImporter importer(store, &engine->environment());
    import(&importer);
    return 0;
  } catch (const qora::CfgError&) {
    return -1;
  }
}

}  // namespace

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

void EngineCrawlIntoStore(int store, const char* folder, int depth, int byte_limit,
                          int document_limit, int* result) {
  Engine* engine = EngineOr(result);
  if (engine == nullptr) return;
  SetResult(result, ImportLocal(engine, store, [&](LocalImporter* importer) {
              return importer->CrawlFolder(Text(folder), depth, byte_limit, document_limit);
            }));
}

// The parameter string is not used: a local import takes its settings from
// "crawl.ini" alone.
void EngineAddFiles(int store, const char* file_list, const char* /*parameters*/, int* result) {
  Engine* engine = EngineOr(result);
  if (engine == nullptr) return;
  SetResult(result, ImportLocal(engine, store, [&](LocalImporter* importer) {
              return importer->AddFiles(Text(file_list));
            }));
}

}  // extern "C"
