// The web crawler: fills the web half of a library by fetching pages from
// start addresses and following their links level by level, under budgets of
// addresses, bytes and stored documents. Up to 30 worker threads take
// addresses from one shared frontier in the order they were queued.
//
// Abandoning workers. A worker still running when the stop wait
// ("threadTimeout" seconds) runs out cannot be ended forcibly in C++, so it
// is abandoned instead: its thread is detached and left to finish on its own,
// and nothing it does from then on reaches the library or the engine.
//  - Everything workers use lives in one shared block (the frontier, the
//    counters, the crawl's document table, the lock, the settings) that each
//    worker holds by a std::shared_ptr: the block is freed by whoever lets
//    go last, never under a running worker.
//  - A worker never writes into the library directly. Each page is fetched
//    and processed in a staging folder of the block (under the system's
//    temporary folder) with a page processor and document table of the
//    worker's own; only the commit step, under the crawl lock, moves the
//    finished files into the web cache folder and adds the table line.
//  - The supervisor sets the block's "abandoned" flag before the final table
//    write. Every commit, table write and counter change checks it under the
//    crawl lock, and every call into the engine environment (status text,
//    stop request, page processing, which runs the helper programs from the
//    data folder) checks it under a shared guard that the supervisor takes
//    exclusively to set the flag; so once RunCrawl has returned, a lingering
//    worker touches neither the library, nor the store object, nor the
//    environment. The staging folder goes with the block.
//  - A lingering worker is left inside a fetch (page processing finishes
//    before the flag can be set), so the fetcher's send and receive time-outs
//    bound how long it lingers. LingeringWorkers() counts such threads.
//
// The document table. The crawl keeps every line of the web half's table in
// memory for its lookups during the whole run, and appends to "cache.chx"
// only the lines it added and has not written yet (before every twentieth
// address and at the end): appending the table as loaded would write every
// existing line twice, and emptying it at each write would let a page stored
// earlier in the run be stored again.
//
// The messages a worker could write on ending or on an escaping error are
// not written: nothing reads them, and they would only clutter the output.
#ifndef QORA_ACQUIRE_CRAWLER_H_
#define QORA_ACQUIRE_CRAWLER_H_

#include <memory>
#include <string>
#include <string_view>

#include "acquire/crawl_settings.h"
#include "analysis/analysis_environment.h"
#include "store/cache_table.h"
#include "store/document_store.h"

namespace qora {

// The most worker threads one crawl runs, whatever threadCount says.
inline constexpr int kMaxCrawlWorkers = 30;
// Addresses handled between two writes of the document table.
inline constexpr int kTableWriteInterval = 20;

class CrawlRun;

// One crawl operation on the web half of `store`. The store and the
// environment must outlive the Crawler (not the workers it abandons, which
// reach neither once RunCrawl has returned). Used by one thread.
class Crawler {
 public:
  Crawler(DocumentStore* store, AnalysisEnvironment* environment);
  ~Crawler();

  Crawler(const Crawler&) = delete;
  Crawler& operator=(const Crawler&) = delete;

  // Reads "crawl.ini" for the store into settings() (the first layer of
  // every crawl). Throws CfgError when the file cannot be read.
  void ReadSettings();

  // The web crawl: queues the addresses of `startText` (separated by
  // blanks, tabs and line feeds; "http://" put in front of those without a
  // scheme; one trailing "/" removed) at depth 0 in an emptied frontier,
  // applies `parameterString` to the settings and runs the crawl. -1 when
  // `startText` holds no address (nothing fetched); else RunCrawl's result.
  int CrawlWeb(std::string_view startText, std::string_view parameterString);

  // Runs the workers over the frontier until a stop request, a budget, or
  // every worker idle ends the crawl; stores the fetched pages in the web
  // half and appends their lines to its "cache.chx" every 20 addresses and
  // at the end. The store's web table is empty afterwards. 0.
  int RunCrawl();

  // Adds `address` with `depth` to the end of the frontier unless its
  // document id is there already; true when added.
  bool QueueAddress(const std::string& address, int depth);

  // Handles one address on the calling thread as a worker does (filters,
  // budgets, fetch, page processing, links queued). For tests and for a
  // caller that crawls without threads. The first call after a run (or
  // ever) loads the document table from its file; the lines of the stored
  // documents are appended before every twentieth address, by the next
  // RunCrawl, or when the Crawler ends.
  void threadCrawlSingleURL(const std::string& address, int depth);

  // The settings; after a run they hold its counters (sitesDone, docsDone,
  // bytesDone) and its final address budget (maxSites).
  CrawlSettings& settings() { return settings_; }
  const CrawlSettings& settings() const { return settings_; }
  // The frontier in queued order, with each entry's depth.
  const CacheTable& frontier() const;
  // Entries queued since the frontier was last emptied.
  int queuedCount() const;
  // Workers the last run abandoned, and workers of any run still lingering.
  int abandonedWorkers() const { return abandoned_workers_; }
  static int LingeringWorkers();

 private:
  // A fresh shared block carrying over the frontier, when a run abandoned
  // workers that still hold the current one.
  void RenewRun();
  // Copies the run's counters and budget into settings_.
  void TakeCounters();

  DocumentStore* store_;
  AnalysisEnvironment* environment_;
  CrawlSettings settings_;
  std::shared_ptr<CrawlRun> run_;
  int abandoned_workers_ = 0;
  bool prepared_ = false;  // run_ holds the settings and table for direct calls
};

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWLER_H_
