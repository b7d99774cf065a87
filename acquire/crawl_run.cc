#include "acquire/crawl_run.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <thread>

#include "acquire/crawl_addresses.h"
#include "acquire/crawl_files.h"
#include "acquire/crawler.h"
#include "acquire/web_fetcher.h"
#include "util/decimal.h"
#include "store/document_id.h"
#include "util/ascii.h"
#include "util/file_bytes.h"

namespace qora {

// One worker thread and the flag the supervisor reads.
struct CrawlWorker {
  std::thread thread;
  // Set under the crawl lock when the worker leaves its loop.
  std::atomic<bool> stopped{false};
  // Hand-over between the thread's end (1) and its abandonment (2): whoever
  // comes second settles the lingering count.
  std::atomic<int> handoff{0};
};

namespace {

constexpr char kStopStatus[] = "Stop requested. Please wait...";
// How often the supervisor looks at the engine's stop flag while it waits:
// the flag is set from another thread that cannot notify the run, so the
// wait is bounded; the events the supervisor waits for wake it at once.
constexpr auto kStopCheckPeriod = std::chrono::milliseconds(20);

std::atomic<int> g_lingering{0};

}  // namespace

int32_t MaxPageBodyBytes(int max_html_size) { return max_html_size > 0 ? max_html_size - 1 : 0; }

int LingeringCrawlWorkers() { return g_lingering.load(); }

WorkerDesk::WorkerDesk(AnalysisEnvironment* environment, const CrawlSettings& crawl_settings,
                       const std::string& staging)
    : shadow(environment),
      settings(crawl_settings),
      processor(&shadow, &settings, environment, nullptr) {
  shadow.web().cache_folder = staging;
  shadow.local().cache_folder = staging;
}

CrawlRun::CrawlRun(AnalysisEnvironment* environment, std::string web_cache_folder)
    : environment_(environment),
      web_cache_folder_(std::move(web_cache_folder)),
      table_path_(web_cache_folder_ + kCacheTableFile),
      staging_(MakeStagingFolder()) {}

CrawlRun::~CrawlRun() {
  if (staging_.empty()) return;
  std::error_code error;
  std::filesystem::remove_all(staging_, error);
}

void CrawlRun::Prepare(const CrawlSettings& settings) {
  settings_ = settings;
  settings_.BuildFilterLists();
  sites_done_ = settings.sitesDone;
  docs_done_ = settings.docsDone;
  bytes_done_ = settings.bytesDone;
  max_sites_ = settings.maxSites;
  stop_flag_ = false;
  std::lock_guard<std::mutex> hold(crawl_lock_);
  WriteTable();  // what direct calls stored before
  document_table_.Clear();
  unwritten_.Clear();
  document_table_.Load(table_path_);  // a missing file leaves it empty
}

void CrawlRun::Report(CrawlSettings* settings) const {
  settings->sitesDone = sites_done_;
  settings->docsDone = docs_done_;
  settings->bytesDone = bytes_done_;
  settings->maxSites = max_sites_;
}

bool CrawlRun::QueueLocked(const std::string& address, int depth) {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  return Queue(address, depth);
}

void CrawlRun::Flush() {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  if (!abandoned_) WriteTable();
}

bool CrawlRun::Queue(const std::string& address, int depth) {
  const std::string id = MakeDocumentId(address);
  if (frontier_.Contains(id)) return false;
  CacheEntry entry;
  entry.id = id;
  entry.address = address;
  entry.depth = depth;
  frontier_.Add(std::move(entry));
  ++queued_count_;
  return true;
}

void CrawlRun::QueueLink(const std::string& link, int depth) {
  int& queued = depth <= settings_.maxDepth ? links_to_fetch_ : links_beyond_depth_;
  if (queued >= int64_t{max_sites_} + kMaxCrawlWorkers) return;
  if (Queue(link, depth)) ++queued;
}

void CrawlRun::ClearFrontier() {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  frontier_.Clear();
  next_index_ = 0;
  queued_count_ = 0;
  links_to_fetch_ = 0;
  links_beyond_depth_ = 0;
}

void CrawlRun::CopyFrontierFrom(const CrawlRun& other) {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  for (size_t i = 0; i < other.frontier_.size(); ++i) {
    CacheEntry entry = other.frontier_.at(i);
    frontier_.Add(std::move(entry));
  }
  next_index_ = other.next_index_;
  queued_count_ = other.queued_count_;
  links_to_fetch_ = other.links_to_fetch_;
  links_beyond_depth_ = other.links_beyond_depth_;
}

bool CrawlRun::OverBudget() const {
  return bytes_done_ >= settings_.maxBytes || sites_done_ >= max_sites_ ||
         docs_done_ >= settings_.maxDocs;
}

bool CrawlRun::RoomForADocument() const {
  return docs_done_ < settings_.maxDocs && bytes_done_ < settings_.maxBytes;
}

void CrawlRun::CountSite() {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  if (!abandoned_) ++sites_done_;
}

void CrawlRun::WriteTable() {
  if (unwritten_.size() == 0) return;
  // The ids were checked against the table as loaded from the file, so no
  // line excluded here is on file already.
  const CacheTable none;
  if (unwritten_.AppendFiltered(table_path_, none) == 0) unwritten_.Clear();
}

bool CrawlRun::StopRequested() {
  std::shared_lock<std::shared_mutex> guard(engine_guard_);
  return abandoned_ || environment_->progress().StopRequested();
}

void CrawlRun::SetStatus(const std::string& text) {
  std::shared_lock<std::shared_mutex> guard(engine_guard_);
  if (!abandoned_) environment_->progress().SetStatus(text);
}

int CrawlRun::Run(int count) {
  abandoned_ = false;
  std::vector<std::shared_ptr<CrawlWorker>> workers;
  for (int i = 0; i < count; ++i) {
    auto worker = std::make_shared<CrawlWorker>();
    worker->thread = std::thread(&CrawlRun::WorkerMain, shared_from_this(), worker);
    workers.push_back(std::move(worker));
  }
  Supervise(count);
  StopWorkers();
  const int abandoned = JoinOrAbandon(&workers);
  {
    // From here on no worker commits into the library: an abandoned worker
    // that finishes its page processing after all loses the page (a commit
    // under way finishes before this) ...
    std::lock_guard<std::mutex> hold(crawl_lock_);
    abandoned_ = true;
  }
  {
    // ... nor reaches the environment: calls under way end before this.
    std::unique_lock<std::shared_mutex> guard(engine_guard_);
  }
  std::lock_guard<std::mutex> hold(crawl_lock_);
  WriteTable();
  document_table_.Clear();
  return abandoned;
}

void CrawlRun::WorkerMain(std::shared_ptr<CrawlRun> run, std::shared_ptr<CrawlWorker> self) {
  {
    WorkerDesk desk = run->MakeDesk();
    run->WorkerLoop(self.get(), &desk);
  }
  if (self->handoff.exchange(1) == 2) --g_lingering;
}

void CrawlRun::WorkerLoop(CrawlWorker* self, WorkerDesk* desk) {
  while (!StopRequested() && !stop_flag_) {
    std::string address;
    int depth = 0;
    if (!TakeEntry(&address, &depth)) break;
    if (depth <= settings_.maxDepth && !address.empty()) {
      try {
        HandleAddress(address, depth, desk);
      } catch (...) {
        // One address that fails in an unforeseen way must not end the worker.
      }
    }
    EndEntry();
  }
  if (StopRequested()) SetStatus(kStopStatus);
  MarkStopped(self);
}

// The worker waits without a time limit: the stop flag is set under the
// crawl lock and announced on work_or_stop_, and the supervisor turns the
// engine's stop request into that flag.
bool CrawlRun::TakeEntry(std::string* address, int* depth) {
  std::unique_lock<std::mutex> hold(crawl_lock_);
  work_or_stop_.wait(hold, [this] { return stop_flag_ || next_index_ < queued_count_; });
  if (stop_flag_) return false;
  const CacheEntry& entry = frontier_.at(static_cast<size_t>(next_index_));
  ++next_index_;
  ++busy_;
  *address = entry.address;
  *depth = entry.depth;
  return true;
}

void CrawlRun::EndEntry() {
  bool more = false;
  {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    --busy_;
    more = next_index_ < queued_count_;
  }
  // The address may have queued links, changed the counters, or been the
  // last one of the crawl.
  if (more) work_or_stop_.notify_all();
  worker_news_.notify_all();
}

void CrawlRun::MarkStopped(CrawlWorker* self) {
  {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    self->stopped = true;
  }
  worker_news_.notify_all();
}

void CrawlRun::Supervise(int count) {
  const auto run_over = [this, count] {
    return count == 0 || OverBudget() || FrontierExhausted();
  };
  for (;;) {
    if (environment_->progress().StopRequested()) {
      environment_->progress().SetStatus(kStopStatus);
      return;
    }
    std::unique_lock<std::mutex> hold(crawl_lock_);
    if (run_over()) return;
    worker_news_.wait_for(hold, kStopCheckPeriod, run_over);
  }
}

void CrawlRun::StopWorkers() {
  {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    stop_flag_ = true;
  }
  work_or_stop_.notify_all();
}

int CrawlRun::JoinOrAbandon(std::vector<std::shared_ptr<CrawlWorker>>* workers) {
  {
    const auto all_stopped = [workers] {
      return std::all_of(workers->begin(), workers->end(),
                         [](const auto& worker) { return worker->stopped.load(); });
    };
    std::unique_lock<std::mutex> hold(crawl_lock_);
    worker_news_.wait_for(hold, std::chrono::seconds(std::max(settings_.threadTimeout, 0)),
                          all_stopped);
  }
  int abandoned = 0;
  for (auto& worker : *workers) {
    if (worker->stopped) {
      worker->thread.join();
      continue;
    }
    ++g_lingering;
    if (worker->handoff.exchange(2) == 1) {
      // It ended in the meantime after all.
      --g_lingering;
      worker->thread.join();
      continue;
    }
    worker->thread.detach();
    ++abandoned;
  }
  workers->clear();
  return abandoned;
}

void CrawlRun::Process(WorkerDesk* desk, const std::string& address, const std::string& raw,
                       const std::string& id, bool pdf, std::vector<std::string>* links,
                       std::vector<int>* kinds, int* frame_count) {
  std::shared_lock<std::shared_mutex> guard(engine_guard_);
  if (abandoned_) return;
  try {
    if (pdf) {
      desk->processor.ProcessPdf(address, raw, staging_ + id, id, false);
    } else {
      desk->processor.ProcessPage(address, raw, id, links, kinds, frame_count, false);
    }
  } catch (...) {
    // A page the processor cannot handle is simply not stored.
  }
}

void CrawlRun::HandleAddress(const std::string& address, int depth, WorkerDesk* desk) {
  if (OverBudget()) return CountSite();
  if (sites_done_ % kTableWriteInterval == 0) {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    if (!abandoned_) WriteTable();
  }
  const std::string lowered = AsciiLower(address);
  for (const std::string& token : settings_.negativeUrlList) {
    if (lowered.find(token) != std::string::npos) return CountSite();
  }
  const std::string extension = AddressExtension(lowered);
  if (!extension.empty() && settings_.dontFetchTypes.find(extension) != std::string::npos) {
    return CountSite();
  }
  const std::string id = MakeDocumentId(address);
  SetStatus(std::to_string(sites_done_) + " sites, " + std::to_string(bytes_done_) + " bytes, " +
            address);

  WebFetcher fetcher;
  fetcher.set_send_timeout(settings_.sendTimeout);
  fetcher.set_connect_receive_timeout(settings_.receiveTimeout);
  // A page the size check below would reject is not read past that size, so
  // a crawl holds at most one page limit per worker. The end of the run
  // ends the fetches in flight: the supervisor sets the stop flag within
  // kStopCheckPeriod of a stop request, and when a budget or the frontier
  // ends the crawl.
  fetcher.set_max_body_bytes(MaxPageBodyBytes(settings_.maxHtmlSize));
  fetcher.set_stop_check([this] { return stop_flag_.load(); });
  bool fetched = false;
  try {
    fetched = fetcher.Fetch(WithBareAmpersands(address));
  } catch (...) {
    fetched = false;  // an error thrown by the fetcher is a failed fetch
  }
  // A page too large (the fetcher stopped reading at the limit), cut off by
  // a stop, or not fetched is counted and not stored.
  const int32_t size = fetched ? fetcher.content_size() : 0;
  if (!fetched || size == 0 || size > settings_.maxHtmlSize) return CountSite();
  // A server's error page ("not found", "internal error") is no document of
  // the site: storing it would fill the library with copies of one notice.
  if (fetcher.response_status() >= 400) return CountSite();

  const bool pdf = extension == ".pdf";
  bool known = false;
  {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    known = document_table_.Contains(id);
  }
  std::vector<std::string> links;
  std::vector<int> kinds;
  int frame_count = 0;
  // A document the library holds already is neither written again (its
  // archived copy stays as stored) nor processed, so its links are not
  // followed; its line still counts its size below.
  if (!known) {
    const std::string raw = staging_ + id + (pdf ? ".pdf" : ".htm");
    if (staging_.empty() || !WriteNewFile(raw, std::string_view(fetcher.content(), static_cast<size_t>(size)))) {
      return CountSite();
    }
    fetcher.ReleaseContent();
    Process(desk, address, raw, id, pdf, &links, &kinds, &frame_count);
  }
  Finish(desk, id, pdf, depth, links, kinds, frame_count);
  desk->shadow.web().table.Remove(id);
  RemoveStaged(id);
}

void CrawlRun::Finish(WorkerDesk* desk, const std::string& id, bool pdf, int depth,
                      const std::vector<std::string>& links, const std::vector<int>& kinds,
                      int frame_count) {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  if (abandoned_) return;
  const CacheEntry& staged = desk->shadow.web().table.Find(id);
  // The budgets are checked again here, under the lock: every worker that
  // took an address before the first of them committed passed the check at
  // the start of HandleAddress, and without this one each of them would
  // store its page past the budget.
  if (staged.found() && !document_table_.Contains(id) && RoomForADocument() &&
      MoveIntoLibrary(id, pdf)) {
    CacheEntry entry = staged;
    unwritten_.Add(entry);
    document_table_.Add(std::move(entry));
    ++docs_done_;
  }
  const CacheEntry& entry = document_table_.Find(id);
  ++sites_done_;
  bytes_done_ += ParseDecimal(entry.size);
  if (frame_count > 0) WidenForFrames(frame_count);
  for (size_t i = 0; i < links.size() && i < kinds.size(); ++i) {
    if (settings_.crawlRule == 1 && kinds[i] == kLinkOtherHost) continue;
    std::string link = links[i];
    if (!link.empty() && link.back() == '/') link.pop_back();
    QueueLink(link, kinds[i] == kLinkFrame ? 0 : depth + 1);
  }
}

void CrawlRun::WidenForFrames(int frame_count) {
  const int64_t widest = 2 * int64_t{std::max(settings_.maxSites, 0)};
  max_sites_ = static_cast<int>(std::min(int64_t{max_sites_} + frame_count, widest));
}

bool CrawlRun::MoveIntoLibrary(const std::string& id, bool pdf) {
  const std::string raw_name = id + (pdf ? ".pdf" : ".htm");
  const std::string dml_name = id + ".dml";
  if (!MoveFile(staging_ + raw_name, web_cache_folder_ + raw_name)) return false;
  if (MoveFile(staging_ + dml_name, web_cache_folder_ + dml_name)) return true;
  RemoveFile(web_cache_folder_ + raw_name);
  return false;
}

void CrawlRun::RemoveStaged(const std::string& id) {
  for (const char* suffix : {".htm", ".pdf", ".dml", ".htm_", ".html"}) {
    RemoveFile(staging_ + id + suffix);
  }
}

}  // namespace qora
