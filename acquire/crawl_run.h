// One crawl run: the frontier, the counters and the document table that the
// worker threads share, the workers themselves and the supervision that ends
// the run.
//
// Waiting. A worker with nothing to do waits on a condition variable until an
// address is queued or the run is stopping, and the supervisor waits on
// another until an address is handled or a worker stops; no one polls for
// them. The crawl is over when the frontier holds nothing untaken and no
// worker is handling an address, since only a worker handling an address
// queues new ones. The engine's stop request is a flag that another thread
// sets without notifying the run, so only the supervisor watches it (its wait
// is bounded by a short period) and passes it on to the workers.
//
// Abandoning workers. A worker still running when the stop wait
// ("threadTimeout" seconds) runs out cannot be ended forcibly in C++, so it
// is abandoned instead: its thread is detached and left to finish on its own,
// and nothing it does from then on reaches the library or the engine.
//  - Everything workers use lives in the CrawlRun (the frontier, the
//    counters, the crawl's document table, the lock, the settings), which
//    each worker holds by a std::shared_ptr: it is freed by whoever lets go
//    last, never under a running worker.
//  - A worker never writes into the library directly. Each page is fetched
//    and processed in a staging folder of the run (under the system's
//    temporary folder) with a page processor and document table of the
//    worker's own (a WorkerDesk); only the commit step, under the crawl lock,
//    moves the finished files into the web cache folder and adds the table
//    line.
//  - The supervisor sets the run's "abandoned" flag, under the crawl lock,
//    as soon as the stop wait is over, before the final table write. Every
//    commit, table write and counter change checks it under the crawl lock,
//    so the page an abandoned worker was handling is lost, also when its
//    processing ends before Run returns. Every call into the engine
//    environment (status text, stop request, page processing, which runs the
//    helper programs from the data folder) checks it under a shared guard
//    that the supervisor then takes exclusively once, to wait for the calls
//    under way; so once Run has returned, a lingering worker touches neither
//    the library, nor the store object, nor the environment. The staging
//    folder goes with the run.
//  - A worker is abandoned when it is still busy with an address at the end
//    of the stop wait. Every fetch asks the run's stop flag while it runs
//    and ends within moments of it (and at its overall deadline in any
//    case), so that is a worker in a page processing that outlasts the stop
//    wait; Run waits for that processing to end (it reaches the
//    environment), and the worker lingers only for the moments after it.
//    LingeringCrawlWorkers() counts such threads.
//
// Memory. A fetch reads no more of a page than the size check accepts
// (MaxPageBodyBytes), so the pages a crawl holds at once take at most the
// number of workers times maxHtmlSize.
//
// The document table. The run keeps every line of the web half's table in
// memory for its lookups during the whole run, and appends to "cache.chx"
// only the lines it added and has not written yet (before every twentieth
// address and at the end): appending the table as loaded would write every
// existing line twice, and emptying it at each write would let a page stored
// earlier in the run be stored again.
//
// The messages a worker could write on ending or on an escaping error are
// not written: nothing reads them, and they would only clutter the output.
#ifndef QORA_ACQUIRE_CRAWL_RUN_H_
#define QORA_ACQUIRE_CRAWL_RUN_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "acquire/crawl_settings.h"
#include "acquire/page_processor.h"
#include "analysis/analysis_environment.h"
#include "store/cache_table.h"
#include "store/document_store.h"

namespace qora {

// Addresses handled between two writes of the document table.
inline constexpr int kTableWriteInterval = 20;

// Abandoned worker threads that have not ended yet, over all runs.
int LingeringCrawlWorkers();

// The longest page body a crawl fetches with `max_html_size` (maxHtmlSize):
// the crawler rejects a content size (body and zero byte, as the fetcher
// reports it) above maxHtmlSize, so a body of maxHtmlSize - 1 bytes is the
// longest it stores, and the fetcher stops reading past it. 0 for a limit
// below 1, which no page fits.
int32_t MaxPageBodyBytes(int max_html_size);

// What one worker processes pages with: a document store of its own whose
// web half is the staging folder, so that page processing never writes into
// the library, and the processor working on it.
struct WorkerDesk {
  WorkerDesk(AnalysisEnvironment* environment, const CrawlSettings& crawl_settings,
             const std::string& staging);

  DocumentStore shadow;
  CrawlSettings settings;
  PageProcessor processor;
};

struct CrawlWorker;

// The state a crawl shares with its workers. Always owned by a
// std::shared_ptr (the workers hold it so). The environment must outlive
// every Run call; see the file comment for why workers abandoned by a run
// never reach it afterwards.
class CrawlRun : public std::enable_shared_from_this<CrawlRun> {
 public:
  // A run storing into `web_cache_folder` (ending in "/"), with a fresh
  // staging folder; without one no page can be stored.
  CrawlRun(AnalysisEnvironment* environment, std::string web_cache_folder);
  // Removes the staging folder with whatever is left in it.
  ~CrawlRun();

  CrawlRun(const CrawlRun&) = delete;
  CrawlRun& operator=(const CrawlRun&) = delete;

  // Takes the settings and counters for a run, appends the lines that
  // direct calls stored before, and loads the document table from its file
  // (a missing file leaves it empty). Only while no worker runs.
  void Prepare(const CrawlSettings& settings);
  // The counters and budget as they stand, into `settings`.
  void Report(CrawlSettings* settings) const;

  // Adds `address` with `depth` to the end of the frontier unless its
  // document id is there already; true when added. Takes the crawl lock.
  bool QueueLocked(const std::string& address, int depth);
  // Appends the table lines not yet written, unless the run was abandoned.
  void Flush();
  // Empties the frontier.
  void ClearFrontier();
  // Takes over the frontier of `other` with its position and count.
  void CopyFrontierFrom(const CrawlRun& other);

  // Runs `count` workers over the frontier until a stop request, a budget,
  // or the end of the frontier ends the run; then joins the workers that
  // stop within "threadTimeout" seconds, abandons the others and appends the
  // remaining table lines. Returns the number of workers abandoned.
  int Run(int count);

  // Handles one address on the calling thread with `desk`: filters,
  // budgets, fetch, page processing, commit into the library, links queued.
  // Every outcome is counted; nothing is thrown for a failed page.
  void HandleAddress(const std::string& address, int depth, WorkerDesk* desk);
  // A desk for HandleAddress with the run's settings and staging folder.
  WorkerDesk MakeDesk() { return WorkerDesk(environment_, settings_, staging_); }

  // True once a Run has ended: the run accepts no more work.
  bool abandoned() const { return abandoned_.load(); }
  // The frontier in queued order, with each entry's depth.
  const CacheTable& frontier() const { return frontier_; }
  // Entries queued since the frontier was last emptied.
  int queued_count() const { return queued_count_; }

 private:
  static void WorkerMain(std::shared_ptr<CrawlRun> run, std::shared_ptr<CrawlWorker> self);
  void WorkerLoop(CrawlWorker* self, WorkerDesk* desk);
  // Waits for the next frontier entry and takes it, counting the worker
  // busy; false when the run is stopping.
  bool TakeEntry(std::string* address, int* depth);
  // Counts the worker no longer busy and wakes whoever waits on that.
  void EndEntry();
  // Marks `self` stopped and wakes the supervisor.
  void MarkStopped(CrawlWorker* self);
  // Returns once the run is to end: stop request, budget or end of frontier.
  void Supervise(int count);
  // Sets the stop flag and wakes every waiting worker.
  void StopWorkers();
  // Joins the stopped workers and abandons the others; their number.
  int JoinOrAbandon(std::vector<std::shared_ptr<CrawlWorker>>* workers);

  // Frontier addition; the caller holds the crawl lock.
  bool Queue(const std::string& address, int depth);
  // Queues a link found on a page, unless the run has queued as many links
  // of its kind as it could ever use: those within the depth are fetched,
  // each costing one address of the budget, so no more than the budget and
  // the workers in flight at its end are ever taken; those deeper are never
  // fetched and are only recorded, as many again. A page may hold tens of
  // thousands of links: without this the frontier, and the memory, would
  // grow with the budget times the links of a page. The caller holds the
  // crawl lock.
  void QueueLink(const std::string& link, int depth);
  // True when the frontier holds nothing untaken and no worker handles an
  // address; the caller holds the crawl lock.
  bool FrontierExhausted() const { return busy_ == 0 && next_index_ >= queued_count_; }
  bool OverBudget() const;
  // True while the document and byte budgets allow one more stored
  // document; the commit step asks it under the crawl lock, so that a crawl
  // never stores more documents than maxDocs, nor any once bytesDone has
  // reached maxBytes, however many workers finish a page at once.
  bool RoomForADocument() const;
  // Adds 1 to sitesDone unless the run was abandoned.
  void CountSite();
  // Appends the lines not yet written to the table file; the caller holds
  // the crawl lock. Lines stay pending when the file cannot be written.
  void WriteTable();
  // Calls into the environment, skipped once the run is abandoned.
  bool StopRequested();
  void SetStatus(const std::string& text);
  // Processes the staged raw file with the desk's processor.
  void Process(WorkerDesk* desk, const std::string& address, const std::string& raw,
               const std::string& id, bool pdf, std::vector<std::string>* links,
               std::vector<int>* kinds, int* frame_count);
  // Under the crawl lock: moves a stored document into the library while
  // the budgets have room for it (else the staged page is dropped), counts
  // the address and its bytes, queues the links.
  void Finish(WorkerDesk* desk, const std::string& id, bool pdf, int depth,
              const std::vector<std::string>& links, const std::vector<int>& kinds,
              int frame_count);
  // Widens the address budget by the `frame_count` frames of a frameset
  // page, so that its frames do not use the budget up; under the crawl lock.
  // The budget grows to twice the configured one at most: framesets that
  // frame new framesets (at depth 0, for ever) end with it like any crawl.
  void WidenForFrames(int frame_count);
  // Moves the staged files of `id` into the web cache folder, the DML file
  // last; false (nothing moved) when a move fails.
  bool MoveIntoLibrary(const std::string& id, bool pdf);
  void RemoveStaged(const std::string& id);

  AnalysisEnvironment* const environment_;
  const std::string web_cache_folder_;
  const std::string table_path_;
  const std::string staging_;

  // Limits and filters; written only while no worker runs.
  CrawlSettings settings_;
  std::atomic<int> sites_done_{0};
  std::atomic<int> docs_done_{0};
  std::atomic<int> bytes_done_{0};
  std::atomic<int> max_sites_{0};
  // Set under the crawl lock, so that a worker about to wait sees it.
  std::atomic<bool> stop_flag_{false};
  std::atomic<bool> abandoned_{false};

  // Guards the frontier, next_index_, queued_count_, busy_, both tables,
  // every change of the counters and of max_sites_, and the waits below.
  std::mutex crawl_lock_;
  // Workers wait here for a frontier entry or the stop flag.
  std::condition_variable work_or_stop_;
  // The supervisor waits here for a handled address or a stopped worker.
  std::condition_variable worker_news_;
  // Held shared by workers around every call into the environment, and
  // exclusively by the supervisor, once abandoned_ is set, to wait for the
  // calls under way.
  std::shared_mutex engine_guard_;
  CacheTable frontier_;
  int next_index_ = 0;
  int queued_count_ = 0;
  // Links queued from pages, within the depth and beyond it.
  int links_to_fetch_ = 0;
  int links_beyond_depth_ = 0;
  int busy_ = 0;  // workers between taking an entry and ending it
  // Every document of the web half, for the lookups; and the lines added by
  // this run that the table file does not hold yet.
  CacheTable document_table_;
  CacheTable unwritten_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWL_RUN_H_
