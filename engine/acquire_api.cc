// Entry points that fill a store from the web, a search or local files.
#include "acquire/crawler.h"
#include "acquire/local_import.h"
#include "acquire/search_engines.h"
#include "analysis/cfg_file.h"
#include "engine/api_support.h"
#include "engine/engine.h"
#include "engine/quick_search_driver.h"
#include "engine/workspace.h"
#include "qora/engine.h"

using qora::Engine;
using qora::EngineOr;
using qora::LocalImporter;
using qora::SetResult;
using qora::Text;

namespace {

// Runs `import` on a local importer of the store `handle`: 0 when it ran
// (also for a list that names no file), 1 when the handle names no store or
// the import could not write the table file, -1 when "crawl.ini" cannot be
// read (the reader's message is on stderr and nothing was imported). The
// stop flag is cleared first: a stop of an earlier operation
// must not end this one before it begins.
template <typename Import>
int ImportLocal(Engine* engine, int handle, Import import) {
  qora::DocumentStore* store = engine->FindStore(handle);
  if (store == nullptr) return 1;
  engine->environment().EnvironmentSetStop(0);
  try {
    LocalImporter importer(store, &engine->environment());
    return import(&importer) == 1 ? 1 : 0;
  } catch (const qora::CfgError&) {
    return -1;
  }
}

}  // namespace

extern "C" {

// Searches the internet and crawls the hits into the store's web half: 0
// when the search ran (also for an empty query, when nothing is done), 1
// when the handle names no store, -1 when "crawl.ini", "se.ini" or
// "se_ctrl.ini" cannot be read (nothing fetched).
void EngineSearchIntoStore(int store, const char* query_words, const char* parameters,
                           int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    qora::DocumentStore* target = engine->FindStore(store);
    if (target == nullptr) {
      SetResult(result, 1);
      return;
    }
    qora::EngineEnvironment& environment = engine->environment();
    environment.EnvironmentSetStatus("Begin searching");
    environment.EnvironmentSetStop(0);
    try {
      qora::SearchAndCrawl(target, &environment, Text(query_words), Text(parameters));
      SetResult(result, 0);
    } catch (const qora::CfgError&) {
      SetResult(result, -1);
    }
  });
}

// The handle of the workspace's new result list of hits; -1 when the
// workspace handle names none, or when the search settings files cannot be
// read (then no list is made); 1 when there is no temporary store.
void EngineQuickSearch(const char* query_words, const char* parameters, int workspace,
                       int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    qora::Workspace* space = engine->registry().FindAs<qora::Workspace>(workspace);
    if (space == nullptr) {
      SetResult(result, -1);
      return;
    }
    const qora::DocumentStore* temp_store = engine->temp_store();
    if (temp_store == nullptr) {
      SetResult(result, 1);
      return;
    }
    engine->environment().EnvironmentSetStatus("Begin searching");
    SetResult(result, qora::QuickSearch(space, Text(query_words), Text(parameters), *temp_store));
  });
}

// Crawls from the start addresses into the store's web half: 0 when the
// crawl ran (also when the text held no address), 1 when the handle names
// no store, -1 when "crawl.ini" cannot be read (nothing fetched). The
// settings come from "crawl.ini", then from the parameter string. The stop
// flag is cleared first, so that a stop of an earlier operation
// does not end this crawl before it begins.
void EngineAddFromWeb(int store, const char* start_addresses, const char* parameters, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    qora::DocumentStore* target = engine->FindStore(store);
    if (target == nullptr) return SetResult(result, 1);
    engine->environment().EnvironmentSetStop(0);
    try {
      qora::Crawler crawler(target, &engine->environment());
      crawler.ReadSettings();
      crawler.CrawlWeb(Text(start_addresses), Text(parameters));
      SetResult(result, 0);
    } catch (const qora::CfgError&) {
      SetResult(result, -1);
    }
  });
}

void EngineCrawlIntoStore(int store, const char* folder, int depth, int byte_limit,
                          int document_limit, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, ImportLocal(engine, store, [&](LocalImporter* importer) {
                return importer->CrawlFolder(Text(folder), depth, byte_limit, document_limit);
              }));
  });
}

// The parameter string is not used: a local import takes its settings from
// "crawl.ini" alone.
void EngineAddFiles(int store, const char* file_list, const char* /*parameters*/, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, ImportLocal(engine, store, [&](LocalImporter* importer) {
                return importer->AddFiles(Text(file_list));
              }));
  });
}

}  // extern "C"
