#include "acquire/search_engines.h"

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "acquire/crawler.h"
#include "acquire/page_text.h"
#include "acquire/search_pattern.h"
#include "acquire/web_fetcher.h"
#include "analysis/cfg_file.h"
#include "store/document_id.h"
#include "store/document_store.h"
#include "util/ascii.h"

namespace qora {
namespace {

// Guards the engine claims, the frontier, the queued count and the result
// list of the running search. One for the whole process: only one search
// runs at a time.
std::mutex search_lock;

constexpr auto kPollStep = std::chrono::milliseconds(20);
// The longest time the searches that cut up one page may take together.
// Each search is bounded on its own (acquire/search_pattern.h), but a page
// and pattern made for it can have one search after another run close to
// that bound, each finding a short match: the cutting then gives up, as if
// no match were left. Installed patterns cut a page of megabytes in
// milliseconds.
constexpr auto kPageCutTime = std::chrono::seconds(1);

using Clock = std::chrono::steady_clock;
constexpr char kStopText[] = "Stop requested. Please wait...";
// The split pattern that stands for "runs of non-white characters".
constexpr std::string_view kWhiteSplit = "' '";

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\n'; }

std::vector<std::string> SplitAtWhite(std::string_view text) {
  std::vector<std::string> pieces;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsWhite(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsWhite(text[i])) ++i;
    if (i > start) pieces.emplace_back(text.substr(start, i - start));
  }
  return pieces;
}

// The texts between the matches of `pattern` (see SplitByPattern). An empty
// match cannot end a piece at the piece's own start: the search moves on by
// one character, so a pattern that matches only empty texts splits the text
// into its characters.
// The splitting gives up at `deadline`, as if no match were left.
std::vector<std::string> SplitCompiled(std::string_view text, const SearchPattern& pattern,
                                       Clock::time_point deadline) {
  std::vector<std::string> pieces;
  size_t piece_start = 0;
  size_t search_from = 0;
  while (search_from <= text.size() && Clock::now() < deadline) {
    size_t begin = 0;
    size_t end = 0;
    if (!pattern.Search(text.substr(search_from), &begin, &end)) break;
    begin += search_from;
    end += search_from;
    if (begin == end && begin == piece_start) {
      search_from = begin + 1;
      continue;
    }
    pieces.emplace_back(text.substr(piece_start, begin - piece_start));
    piece_start = search_from = end;
  }
  if (piece_start < text.size()) pieces.emplace_back(text.substr(piece_start));
  while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
  return pieces;
}

// The text after the end of the first match of `pattern`; false when none.
bool SkipPast(const SearchPattern& pattern, std::string_view* text) {
  size_t begin = 0;
  size_t end = 0;
  if (!pattern.Search(*text, &begin, &end)) return false;
  text->remove_prefix(end);
  return true;
}

// Cuts one piece of a result page into the hit's address (before the first
// match of `sep1`, "%" escapes decoded) and its text (after that match, up
// to the first match of `sep2`; empty when `sep2` has no match). False when
// `sep1` has no match: the piece is no hit.
bool CutHit(std::string_view piece, const SearchPattern& sep1, const SearchPattern& sep2,
            ResultPageHit* hit) {
  size_t begin = 0;
  size_t end = 0;
  if (!sep1.Search(piece, &begin, &end)) return false;
  hit->address = DecodeHitAddress(piece.substr(0, begin));
  const std::string_view rest = piece.substr(end);
  hit->text = sep2.Search(rest, &begin, &end) ? rest.substr(0, begin) : std::string_view();
  return true;
}

// One search thread's flags, read by the supervising thread.
struct SearchWorker {
  std::thread thread;
  std::atomic<bool> stop_requested{false};
  std::atomic<bool> done{false};
};

}  // namespace

std::vector<std::string> SplitByPattern(std::string_view text, std::string_view pattern) {
  if (pattern == kWhiteSplit) return SplitAtWhite(text);
  if (pattern.empty()) {
    std::vector<std::string> pieces;
    for (char c : text) pieces.emplace_back(1, c);
    return pieces;
  }
  const SearchPattern compiled(pattern);
  if (!compiled.ok()) return {};
  return SplitCompiled(text, compiled, Clock::now() + kPageCutTime);
}

bool CutResultPage(const SearchEngineDefinition& engine, std::string_view page,
                   std::vector<ResultPageHit>* hits) {
  const Clock::time_point deadline = Clock::now() + kPageCutTime;
  const SearchPattern cue1(engine.cue1);
  if (!cue1.ok()) return false;
  const SearchPattern cue2(engine.cue2);
  if (!cue2.ok()) return false;
  const SearchPattern hit(engine.hit);
  if (!hit.ok()) return false;
  const SearchPattern sep1(engine.sep1);
  if (!sep1.ok()) return false;
  const SearchPattern sep2(engine.sep2);
  if (!sep2.ok()) return false;

  std::string_view text = page;
  if (!SkipPast(cue1, &text)) return false;
  if (!engine.cue2.empty() && !SkipPast(cue2, &text)) return false;
  const std::vector<std::string> pieces = engine.hit == kWhiteSplit || engine.hit.empty()
                                              ? SplitByPattern(text, engine.hit)
                                              : SplitCompiled(text, hit, deadline);
  for (size_t i = 1; i < pieces.size() && Clock::now() < deadline; ++i) {
    ResultPageHit found;
    if (CutHit(pieces[i], sep1, sep2, &found)) hits->push_back(std::move(found));
  }
  return true;
}

std::string DecodeHitAddress(std::string_view address) {
  std::string decoded;
  decoded.reserve(address.size());
  for (size_t i = 0; i < address.size(); ++i) {
    if (address[i] == '%' && i + 2 < address.size() && HexDigitValue(address[i + 1]) >= 0 &&
        HexDigitValue(address[i + 2]) >= 0) {
      decoded.push_back(
          static_cast<char>(HexDigitValue(address[i + 1]) * 16 + HexDigitValue(address[i + 2])));
      i += 2;
    } else {
      decoded.push_back(address[i]);
    }
  }
  return decoded;
}

std::string HitType(std::string_view address) {
  const size_t dot = address.rfind('.');
  if (dot == std::string_view::npos) return ".htm";
  return AsciiLower(address.substr(dot, 4)) == ".pdf" ? ".pdf" : ".htm";
}

std::string QueryAddress(const SearchEngineDefinition& engine, std::string_view query) {
  std::string words(query);
  for (char& c : words) {
    if (c == ' ') c = '+';
  }
  return engine.url + engine.preQuery + words + engine.postQuery + engine.resultCount;
}

MetaSearch::MetaSearch(AnalysisEnvironment* environment, std::string store_ident)
    : environment_(environment), store_ident_(std::move(store_ident)) {}

int MetaSearch::QuickSearch(std::string_view query, std::string_view parameters) {
  return Search(query, parameters, /*quick=*/true);
}

int MetaSearch::SearchForCrawl(std::string_view query, std::string_view parameters) {
  const int result = Search(query, parameters, /*quick=*/false);
  if (result == 0 && settings_.maxDepth == 0) settings_.maxSites = queued_count_;
  return result;
}

int MetaSearch::Search(std::string_view query, std::string_view parameters, bool quick) {
  if (query.empty()) return -1;
  settings_ = CrawlSettings();
  settings_.ReadCrawlIni(store_ident_, *environment_);
  ReadSearchEngines();
  query_ = std::string(query);
  quick_ = quick;
  settings_.ApplyCrawlParameters(parameters);
  for (SearchEngineDefinition& engine : settings_.searchEngines) engine.claimed = false;
  frontier_.Clear();
  queued_count_ = 0;
  if (quick_) results_.Clear();
  SearchAllEngines();
  return 0;
}

void MetaSearch::ReadSearchEngines() {
  const std::string& folder = environment_->data_folder();
  const CfgFile control = CfgFile::CfgLoad(folder + kSearchControlFile);
  for (int i = 0; i < kSearchEngineCount; ++i) {
    SearchEngineDefinition& engine = settings_.searchEngines[static_cast<size_t>(i)];
    engine.sectionName = "engine" + std::to_string(i + 1);
    engine.control = control.CfgGet("engines", engine.sectionName);
    engine.resultCount = control.CfgGet("result_count", engine.sectionName);
  }
  const CfgFile definitions = CfgFile::CfgLoad(folder + kSearchEngineFile);
  for (SearchEngineDefinition& engine : settings_.searchEngines) {
    const std::string& section = engine.sectionName;
    engine.name = definitions.CfgGet(section, "name");
    engine.url = definitions.CfgGet(section, "url");
    engine.preQuery = definitions.CfgGet(section, "pre_query_string");
    engine.postQuery = definitions.CfgGet(section, "post_query_string");
    engine.cue1 = definitions.CfgGet(section, "cuestring1");
    engine.cue2 = definitions.CfgGet(section, "cuestring2");
    engine.hit = definitions.CfgGet(section, "hitstring");
    engine.sep1 = definitions.CfgGet(section, "sepstring1");
    engine.sep2 = definitions.CfgGet(section, "sepstring2");
  }
}

void MetaSearch::SearchAllEngines() {
  std::array<SearchWorker, kSearchEngineCount> workers;
  for (SearchWorker& worker : workers) {
    try {
      worker.thread = std::thread([this, &worker] {
        if (!worker.stop_requested) {
          try {
            SearchOneEngine();
          } catch (...) {
            // The thread's result would be -1; nothing more to do.
          }
        }
        worker.done = true;
      });
    } catch (const std::system_error&) {
      worker.done = true;  // no thread could be made: this engine is left out
    }
  }
  auto all_done = [&workers] {
    for (const SearchWorker& worker : workers) {
      if (!worker.done) return false;
    }
    return true;
  };
  while (!all_done()) {
    if (environment_->progress().StopRequested()) {
      environment_->progress().SetStatus(kStopText);
      for (SearchWorker& worker : workers) worker.stop_requested = true;
      while (!all_done()) std::this_thread::sleep_for(kPollStep);
      break;
    }
    std::this_thread::sleep_for(kPollStep);
  }
  // Every thread is done by now, so joining does not wait.
  for (SearchWorker& worker : workers) {
    if (worker.thread.joinable()) worker.thread.join();
  }
}

int MetaSearch::ClaimEngine() {
  std::lock_guard<std::mutex> lock(search_lock);
  for (size_t i = 0; i < settings_.searchEngines.size(); ++i) {
    SearchEngineDefinition& engine = settings_.searchEngines[i];
    if (!engine.claimed && engine.control == "1") {
      engine.claimed = true;
      return static_cast<int>(i);
    }
  }
  return -1;
}

std::string MetaSearch::FetchResultPage(const SearchEngineDefinition& engine) const {
  WebFetcher fetcher;
  fetcher.set_send_timeout(settings_.sendTimeout);
  fetcher.set_connect_receive_timeout(settings_.receiveTimeout);
  // A result page is far smaller: a longer body is no page of hits.
  fetcher.set_max_body_bytes(8 * 1024 * 1024);
  try {
    // The fetcher ends its content with a zero byte of its own.
    if (!fetcher.Fetch(QueryAddress(engine, query_)) || fetcher.content_size() <= 1) return "";
    return std::string(fetcher.content(), static_cast<size_t>(fetcher.content_size() - 1));
  } catch (...) {
    // One engine whose page cannot be fetched or copied (memory running out)
    // gives no hits; the other engines' hits still make the result.
    return "";
  }
}

int MetaSearch::SearchOneEngine() {
  const int index = ClaimEngine();
  if (index < 0) return -1;
  // The definition is not changed while threads run; a copy keeps the
  // patterns at hand without the lock.
  const SearchEngineDefinition engine = settings_.searchEngines[static_cast<size_t>(index)];
  const std::string page = FetchResultPage(engine);
  if (page.empty()) return -1;
  std::vector<ResultPageHit> hits;
  if (!CutResultPage(engine, page, &hits)) return -1;

  std::lock_guard<std::mutex> lock(search_lock);
  for (ResultPageHit& hit : hits) QueueHit(engine, std::move(hit.address), hit.text);
  return 0;
}

void MetaSearch::QueueHit(const SearchEngineDefinition& engine, std::string address,
                          std::string_view text) {
  if (!address.empty() && address.back() == '/') address.pop_back();
  // A hit without an address could be neither listed usefully nor fetched.
  if (address.empty()) return;
  std::string id = MakeDocumentId(address);
  if (frontier_.Contains(id)) return;
  CacheEntry entry;
  entry.id = id;
  entry.address = address;
  entry.depth = 0;
  frontier_.Add(std::move(entry));
  ++queued_count_;
  if (!quick_) return;
  DocumentRecord record;
  record.ord = static_cast<int32_t>(results_.count() + 1);
  record.rank = record.ord;
  record.uri = address;
  record.buri = address;
  record.fetcher = engine.name;
  record.type = HitType(address);
  record.name = StripTags(text);
  record.header = record.name;
  results_.Append(std::move(record));
}

int SearchAndCrawl(DocumentStore* store, AnalysisEnvironment* environment, std::string_view query,
                   std::string_view parameters) {
  MetaSearch search(environment, store->ident());
  if (search.SearchForCrawl(query, parameters) != 0) return -1;
  Crawler crawler(store, environment);
  // The search's settings are the crawl's: "crawl.ini", the engine files and
  // the parameter string, with the address budget the hits gave.
  crawler.settings() = search.settings();
  const CacheTable& hits = search.frontier();
  for (size_t i = 0; i < hits.size(); ++i) crawler.QueueAddress(hits.at(i).address, 0);
  return crawler.RunCrawl();
}

}  // namespace qora
