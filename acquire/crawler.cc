#include "acquire/crawler.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "acquire/page_processor.h"
#include "acquire/url_resolution.h"
#include "acquire/web_fetcher.h"
#include "util/decimal.h"
#include "store/document_id.h"

namespace qora {
namespace {

constexpr char kStopStatus[] = "Stop requested. Please wait...";
// Empty polls after which a worker counts as idle.
constexpr int kIdleCountdown = 100;
constexpr auto kWorkerPoll = std::chrono::milliseconds(2);
constexpr auto kSupervisorPoll = std::chrono::milliseconds(30);
constexpr auto kStopPoll = std::chrono::milliseconds(10);

// Abandoned worker threads that have not ended yet, over all crawls.
std::atomic<int> g_lingering{0};

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// At most four characters from the last "." of `lowered` (".html" gives
// ".htm"); "" when it has no ".".
std::string ExtensionOf(const std::string& lowered) {
  const size_t dot = lowered.rfind('.');
  return dot == std::string::npos ? std::string() : lowered.substr(dot, 4);
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

// Writes `size` bytes to a file created anew at `path`; a failed write
// leaves no file. The descriptor is not inherited by the helper programs
// that other workers start meanwhile.
bool WriteRawFile(const std::string& path, const char* bytes, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const ssize_t wrote = ::write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<size_t>(wrote);
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok) RemoveFile(path);
  return ok;
}

// Moves `from` to `to`, replacing `to`; across file systems by copying. A
// failed move leaves `to` absent.
bool MoveFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  std::error_code error;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
  if (error) {
    std::filesystem::remove(to, error);
    return false;
  }
  RemoveFile(from);
  return true;
}

// A new private folder under the system's temporary folder, with "/" at its
// end; "" when none can be made.
std::string MakeStagingFolder() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "qora-crawl-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return "";
  return pattern + "/";
}

}  // namespace

// One worker thread and the flags the supervisor reads.
struct CrawlWorker {
  std::thread thread;
  std::atomic<bool> idle{false};
  std::atomic<bool> stopped{false};
  // Hand-over between the thread's end (1) and its abandonment (2): whoever
  // comes second settles the lingering count.
  std::atomic<int> handoff{0};
};

// What one worker processes pages with: a document store of its own whose
// web half is the staging folder, so that page processing never writes into
// the library, and the processor working on it.
struct WorkerDesk {
  WorkerDesk(AnalysisEnvironment* environment, const CrawlSettings& crawl_settings,
             const std::string& staging)
      : shadow(environment),
        settings(crawl_settings),
        processor(&shadow, &settings, environment, nullptr) {
    shadow.web().cache_folder = staging;
    shadow.local().cache_folder = staging;
  }

  DocumentStore shadow;
  CrawlSettings settings;
  PageProcessor processor;
};

// The state a crawl shares with its workers; see the header for why the
// workers hold it by a shared pointer.
class CrawlRun : public std::enable_shared_from_this<CrawlRun> {
 public:
  CrawlRun(AnalysisEnvironment* environment, std::string web_cache_folder)
      : environment_(environment),
        web_cache_folder_(std::move(web_cache_folder)),
        table_path_(web_cache_folder_ + kCacheTableFile),
        staging_(MakeStagingFolder()) {}

  ~CrawlRun() {
    if (staging_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(staging_, error);
  }

  CrawlRun(const CrawlRun&) = delete;
  CrawlRun& operator=(const CrawlRun&) = delete;

  // Takes the settings and counters for a run and loads the document table
  // from its file. Only while no worker runs.
  void Prepare(const CrawlSettings& settings);
  // The counters and budget as they stand, into `settings`.
  void Report(CrawlSettings* settings) const;

  // Frontier addition; the caller holds the crawl lock.
  bool Queue(const std::string& address, int depth);
  // The same, taking the lock.
  bool QueueLocked(const std::string& address, int depth) {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    return Queue(address, depth);
  }
  // Appends the lines not yet written, unless the run was abandoned.
  void Flush() {
    std::lock_guard<std::mutex> hold(crawl_lock_);
    if (!abandoned_) WriteTable();
  }
  void ClearFrontier();
  void CopyFrontierFrom(const CrawlRun& other);

  // Runs `count` workers, supervises them and ends the run: the workers
  // are joined or abandoned, the remaining table lines written. Returns the
  // number of workers abandoned.
  int Run(int count);

  // One address, on the calling thread with `desk`.
  void HandleAddress(const std::string& address, int depth, WorkerDesk* desk);
  WorkerDesk MakeDesk() { return WorkerDesk(environment_, settings_, staging_); }

  bool abandoned() const { return abandoned_.load(); }
  const CacheTable& frontier() const { return frontier_; }
  int queued_count() const { return queued_count_; }

 private:
  static void WorkerMain(std::shared_ptr<CrawlRun> run, std::shared_ptr<CrawlWorker> self);
  void WorkerLoop(CrawlWorker* self, WorkerDesk* desk);
  // Takes the next frontier entry; false when there is none.
  bool NextEntry(CrawlWorker* self, std::string* address, int* depth);
  void Supervise(const std::vector<std::shared_ptr<CrawlWorker>>& workers);
  // Joins the stopped workers and abandons the others; their number.
  int JoinOrAbandon(std::vector<std::shared_ptr<CrawlWorker>>* workers);

  bool OverBudget() const;
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
  // Under the crawl lock: moves a stored document into the library, counts
  // the address and its bytes, queues the links.
  void Finish(WorkerDesk* desk, const std::string& id, bool pdf, int depth,
              const std::vector<std::string>& links, const std::vector<int>& kinds,
              int frame_count);
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
  std::atomic<bool> stop_flag_{false};
  std::atomic<bool> abandoned_{false};

  // Guards the frontier, next_index_, queued_count_, both tables, and
  // every change of the counters and of max_sites_.
  std::mutex crawl_lock_;
  // Held shared by workers around every call into the environment, and
  // exclusively by the supervisor to set abandoned_.
  std::shared_mutex engine_guard_;
  CacheTable frontier_;
  int next_index_ = 0;
  int queued_count_ = 0;
  // Every document of the web half, for the lookups; and the lines added by
  // this run that the table file does not hold yet. Only those are appended:
  // appending the table as loaded would write every existing line twice.
  CacheTable document_table_;
  CacheTable unwritten_;
};

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

void CrawlRun::ClearFrontier() {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  frontier_.Clear();
  next_index_ = 0;
  queued_count_ = 0;
}

void CrawlRun::CopyFrontierFrom(const CrawlRun& other) {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  for (size_t i = 0; i < other.frontier_.size(); ++i) {
    CacheEntry entry = other.frontier_.at(i);
    frontier_.Add(std::move(entry));
  }
  next_index_ = other.next_index_;
  queued_count_ = other.queued_count_;
}

bool CrawlRun::OverBudget() const {
  return bytes_done_ >= settings_.maxBytes || sites_done_ >= max_sites_ ||
         docs_done_ >= settings_.maxDocs;
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
  Supervise(workers);
  stop_flag_ = true;
  const int abandoned = JoinOrAbandon(&workers);
  {
    // From here on no worker reaches the environment ...
    std::unique_lock<std::shared_mutex> guard(engine_guard_);
    abandoned_ = true;
  }
  // ... nor the library: a commit under way finishes before this write.
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

bool CrawlRun::NextEntry(CrawlWorker* self, std::string* address, int* depth) {
  std::lock_guard<std::mutex> hold(crawl_lock_);
  if (next_index_ >= queued_count_) return false;
  self->idle = false;
  const CacheEntry& entry = frontier_.at(static_cast<size_t>(next_index_));
  ++next_index_;
  *address = entry.address;
  *depth = entry.depth;
  return true;
}

// The poll sleeps without the crawl lock: sleeping while holding it would
// make thirty idle workers take turns at it, slowing the busy ones down and
// stretching the time until the last worker turns idle thirtyfold.
void CrawlRun::WorkerLoop(CrawlWorker* self, WorkerDesk* desk) {
  self->idle = false;
  int countdown = kIdleCountdown;
  while (!StopRequested() && !stop_flag_) {
    std::string address;
    int depth = 0;
    if (!NextEntry(self, &address, &depth)) {
      std::this_thread::sleep_for(kWorkerPoll);
      if (countdown > 0) {
        --countdown;
      } else {
        self->idle = true;
      }
      continue;
    }
    countdown = kIdleCountdown;
    if (depth > settings_.maxDepth || address.empty()) continue;
    try {
      HandleAddress(address, depth, desk);
    } catch (...) {
      // One address that fails in an unforeseen way must not end the worker.
    }
  }
  if (StopRequested()) SetStatus(kStopStatus);
  self->stopped = true;
}

void CrawlRun::Supervise(const std::vector<std::shared_ptr<CrawlWorker>>& workers) {
  for (;;) {
    if (environment_->progress().StopRequested()) {
      environment_->progress().SetStatus(kStopStatus);
      return;
    }
    if (OverBudget()) return;
    const bool all_idle = std::all_of(workers.begin(), workers.end(),
                                      [](const auto& worker) { return worker->idle.load(); });
    if (all_idle) return;
    std::this_thread::sleep_for(kSupervisorPoll);
  }
}

int CrawlRun::JoinOrAbandon(std::vector<std::shared_ptr<CrawlWorker>>* workers) {
  const int64_t polls = static_cast<int64_t>(settings_.threadTimeout) * 100;
  for (int64_t i = 0; i < polls; ++i) {
    const bool all_stopped = std::all_of(workers->begin(), workers->end(),
                                         [](const auto& worker) { return worker->stopped.load(); });
    if (all_stopped) break;
    std::this_thread::sleep_for(kStopPoll);
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
  const std::string lowered = Lowered(address);
  for (const std::string& token : settings_.negativeUrlList) {
    if (lowered.find(token) != std::string::npos) return CountSite();
  }
  const std::string extension = ExtensionOf(lowered);
  if (!extension.empty() && settings_.dontFetchTypes.find(extension) != std::string::npos) {
    return CountSite();
  }
  const std::string id = MakeDocumentId(address);
  SetStatus(std::to_string(sites_done_) + " sites, " + std::to_string(bytes_done_) + " bytes, " +
            address);

  WebFetcher fetcher;
  fetcher.set_send_timeout(settings_.sendTimeout);
  fetcher.set_connect_receive_timeout(settings_.receiveTimeout);
  bool fetched = false;
  try {
    fetched = fetcher.Fetch(ReplaceAll(address, "&amp;", "&"));
  } catch (...) {
    fetched = false;  // an error thrown by the fetcher is a failed fetch
  }
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
    if (staging_.empty() || !WriteRawFile(raw, fetcher.content(), static_cast<size_t>(size))) {
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
  if (staged.found() && !document_table_.Contains(id) && MoveIntoLibrary(id, pdf)) {
    CacheEntry entry = staged;
    unwritten_.Add(entry);
    document_table_.Add(std::move(entry));
    ++docs_done_;
  }
  const CacheEntry& entry = document_table_.Find(id);
  ++sites_done_;
  bytes_done_ += ParseDecimal(entry.size);
  if (frame_count > 0) max_sites_ += frame_count;
  for (size_t i = 0; i < links.size() && i < kinds.size(); ++i) {
    if (settings_.crawlRule == 1 && kinds[i] == kLinkOtherHost) continue;
    std::string link = links[i];
    if (!link.empty() && link.back() == '/') link.pop_back();
    Queue(link, kinds[i] == kLinkFrame ? 0 : depth + 1);
  }
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

Crawler::Crawler(DocumentStore* store, AnalysisEnvironment* environment)
    : store_(store),
      environment_(environment),
      run_(std::make_shared<CrawlRun>(environment, store->web().cache_folder)) {}

Crawler::~Crawler() { run_->Flush(); }

void Crawler::ReadSettings() { settings_.ReadCrawlIni(store_->ident(), *environment_); }

const CacheTable& Crawler::frontier() const { return run_->frontier(); }

int Crawler::queuedCount() const { return run_->queued_count(); }

int Crawler::LingeringWorkers() { return g_lingering.load(); }

void Crawler::RenewRun() {
  auto fresh = std::make_shared<CrawlRun>(environment_, store_->web().cache_folder);
  fresh->CopyFrontierFrom(*run_);
  run_ = std::move(fresh);
}

void Crawler::TakeCounters() { run_->Report(&settings_); }

bool Crawler::QueueAddress(const std::string& address, int depth) {
  if (run_->abandoned()) RenewRun();
  return run_->QueueLocked(address, depth);
}

int Crawler::CrawlWeb(std::string_view startText, std::string_view parameterString) {
  if (startText.empty()) return -1;
  if (run_->abandoned()) RenewRun();
  run_->ClearFrontier();
  bool any = false;
  size_t start = startText.find_first_not_of(" \n\t");
  while (start != std::string_view::npos) {
    size_t end = startText.find_first_of(" \n\t", start);
    if (end == std::string_view::npos) end = startText.size();
    const std::string piece(startText.substr(start, end - start));
    start = startText.find_first_not_of(" \n\t", end);
    any = true;
    std::string text = piece;
    const std::string lowered = Lowered(piece);
    bool has_scheme = false;
    for (const char* scheme :
         {"http://", "file://", "https://", "ftp://", "about:", "javascript:", "res:"}) {
      if (lowered.find(scheme) != std::string::npos) has_scheme = true;
    }
    if (!has_scheme) text = "http://" + text;
    UrlParts parts;
    try {
      ResolveLink(text, text, &parts, nullptr);
    } catch (const std::exception&) {
      continue;  // an address resolution cannot handle is left out
    }
    std::string address = parts.full;
    if (!address.empty() && address.back() == '/') address.pop_back();
    run_->QueueLocked(address, 0);
  }
  if (!any) return -1;
  settings_.ApplyCrawlParameters(parameterString);
  return RunCrawl();
}

int Crawler::RunCrawl() {
  if (run_->abandoned()) RenewRun();
  run_->Prepare(settings_);
  const int count = std::clamp(settings_.threadCount, 0, kMaxCrawlWorkers);
  abandoned_workers_ = run_->Run(count);
  prepared_ = false;
  TakeCounters();
  // The web table ends empty, as after every crawl; indexing reloads it.
  store_->web().table.Clear();
  return 0;
}

void Crawler::threadCrawlSingleURL(const std::string& address, int depth) {
  if (!prepared_ || run_->abandoned()) {
    if (run_->abandoned()) RenewRun();
    run_->Prepare(settings_);
    prepared_ = true;
  }
  WorkerDesk desk = run_->MakeDesk();
  run_->HandleAddress(address, depth, &desk);
  TakeCounters();
}

}  // namespace qora
