// The web crawler: fills the web half of a library by fetching pages from
// start addresses and following their links level by level, under budgets of
// addresses, bytes and stored documents. Up to 30 worker threads take
// addresses from one shared frontier in the order they were queued.
//
// The run itself, its workers, how a run abandons workers that do not stop,
// and how it writes the document table, are in crawl_run.h.
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
  // the end of the frontier (nothing left untaken and no worker busy) ends
  // the crawl; stores the fetched pages in the web half and appends their
  // lines to its "cache.chx" every 20 addresses and at the end. The store's
  // web table is empty afterwards. 0.
  //
  // Bounds: no page is read past maxHtmlSize (a larger one is counted and
  // not stored, as before), every fetch ends at the deadline its time-outs
  // give (WebFetcher::OverallDeadlineMs), the end of the crawl ends the
  // fetches in flight (their addresses count as handled, nothing of them is
  // stored), and no more than maxDocs documents are stored, however many
  // workers finish a page at once.
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
