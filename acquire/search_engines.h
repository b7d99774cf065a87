// The meta-search: one query sent to up to five internet search engines at
// once. Each engine is described by a section of "se.ini" (address parts and
// the patterns that cut hits out of its result page) and switched on, with a
// result count, in "se_ctrl.ini". The hits are either listed (quick search)
// or queued as the start addresses of a crawl (search-and-crawl).
//
// Patterns are extended regular expressions matched as SearchPattern
// (acquire/search_pattern.h) says: case-sensitively, the leftmost match,
// alternatives tried from left to right, repetitions greedy. A search that
// reaches the pattern's bounds on backtracking counts as no match for that
// piece of the page. A pattern that does not compile is reported on
// std::cerr as "regcomp() error" and its engine contributes no hits: the
// definition files may be downloaded, so they must not be able to stop the
// program.
#ifndef QORA_ACQUIRE_SEARCH_ENGINES_H_
#define QORA_ACQUIRE_SEARCH_ENGINES_H_

#include <string>
#include <string_view>
#include <vector>

#include "acquire/crawl_settings.h"
#include "analysis/analysis_environment.h"
#include "store/cache_table.h"
#include "store/result_list.h"

namespace qora {

class DocumentStore;

// The definition files in the data folder.
inline constexpr char kSearchEngineFile[] = "se.ini";
inline constexpr char kSearchControlFile[] = "se_ctrl.ini";

// The split used on result pages. Pattern "' '" (quote, blank, quote): the
// runs of characters other than blank, tab and line feed. Empty pattern:
// every character. Otherwise the texts between successive matches (an empty
// match advances by one character), the rest after the last match included
// when not empty; trailing empty pieces are dropped. A search that reaches
// the pattern's bounds ends the splitting as if no match were left, and so
// does the searches' running out of the time one page may take (see
// CutResultPage). A
// pattern that does not compile writes "regcomp() error" to std::cerr and
// gives no pieces.
std::vector<std::string> SplitByPattern(std::string_view text, std::string_view pattern);

// One hit cut out of a result page: its address ("%" escapes decoded) and
// its text (tags not yet stripped).
struct ResultPageHit {
  std::string address;
  std::string text;
};

// Cuts the result page `page` into hits with `engine`'s patterns: the hit
// list starts after the first match of cue1 (and then of cue2, when that is
// not empty); the list is split with the hit pattern as SplitByPattern does,
// and each piece after the first whose sep1 has a match is a hit: the
// address before that match, the text after it up to the first match of
// sep2 (empty when sep2 has no match). Appends the hits to `hits` in page
// order. False when a pattern does not compile or a start mark is missing.
// The searches that cut one page are bounded together, in time: past that
// bound the cutting ends as if no match were left, keeping the hits found.
bool CutResultPage(const SearchEngineDefinition& engine, std::string_view page,
                   std::vector<ResultPageHit>* hits);

// `address` with every "%" followed by two hexadecimal digits turned into
// that byte; a "%" not followed by two such digits stays as it is.
std::string DecodeHitAddress(std::string_view address);

// ".pdf" when the extension of `address` (from its last ".", lower-cased,
// at most 4 characters) is ".pdf"; ".htm" otherwise.
std::string HitType(std::string_view address);

// The query address of `engine`: url + preQuery + the query with every blank
// replaced by "+" + postQuery + resultCount. Nothing else is encoded.
std::string QueryAddress(const SearchEngineDefinition& engine, std::string_view query);

// One search operation for the library `store_ident` (the temporary store
// for a quick search). The environment must outlive the object. Only one
// search runs in the process at a time; its search threads share one lock.
class MetaSearch {
 public:
  MetaSearch(AnalysisEnvironment* environment, std::string store_ident);

  MetaSearch(const MetaSearch&) = delete;
  MetaSearch& operator=(const MetaSearch&) = delete;

  // Lists the hits of the switched-on engines for `query` in results(),
  // nothing fetched but the result pages. -1 when `query` is empty (nothing
  // else done); else 0. The settings come from "crawl.ini", then the two
  // definition files, then `parameters` ("se_ctrl" and "se_num" override the
  // files). Throws CfgError (message on std::cerr) when "crawl.ini",
  // "se.ini" or "se_ctrl.ini" cannot be read; nothing is fetched then.
  int QuickSearch(std::string_view query, std::string_view parameters);

  // Queues the hits as start addresses (depth 0) in frontier() exactly as
  // QuickSearch does, but lists nothing. When the depth is 0 afterwards, the
  // address budget becomes the number of hits. -1 when `query` is empty;
  // else 0. Throws CfgError as QuickSearch. SearchAndCrawl (below) crawls
  // what this queued.
  int SearchForCrawl(std::string_view query, std::string_view parameters);

  // Reads "se_ctrl.ini" (switch and result count of engines 1 to 5) and
  // "se.ini" (their nine definition keys) into settings().searchEngines; an
  // absent key reads as "". Throws CfgError when a file cannot be read.
  void ReadSearchEngines();

  // Runs five search threads, one engine each, and returns when all are
  // done. A stop request sets the status "Stop requested. Please wait..."
  // and keeps engines not yet begun from being searched; engines being
  // fetched are finished first.
  void SearchAllEngines();

  // The work of one search thread: claims the first switched-on engine not
  // yet claimed, fetches its result page and queues (and, in a quick
  // search, lists) the new hits; a hit whose address is empty is neither.
  // -1 when no engine was left, the page could
  // not be fetched, a pattern does not compile, or the page lacks a start
  // mark; else 0.
  int SearchOneEngine();

  CrawlSettings& settings() { return settings_; }
  const CacheTable& frontier() const { return frontier_; }
  int queued_count() const { return queued_count_; }
  const ResultList& results() const { return results_; }

 private:
  // Steps shared by both searches: settings read, state reset, threads run.
  int Search(std::string_view query, std::string_view parameters, bool quick);
  // Queues the hit `address` (one trailing "/" removed) unless its id is
  // queued already or it is empty, and in a quick search lists it with its `text` under
  // `engine`'s name. Called under the search lock.
  void QueueHit(const SearchEngineDefinition& engine, std::string address, std::string_view text);
  // The index of the engine this thread takes, or -1.
  int ClaimEngine();
  // The result page of `engine`, or "" when it cannot be fetched.
  std::string FetchResultPage(const SearchEngineDefinition& engine) const;

  AnalysisEnvironment* environment_;
  std::string store_ident_;
  CrawlSettings settings_;
  std::string query_;
  bool quick_ = false;
  CacheTable frontier_;
  int queued_count_ = 0;
  ResultList results_;
};

// The search-and-crawl into the web half of `store`: the hits of the
// switched-on engines are queued at depth 0 (as MetaSearch::SearchForCrawl)
// and crawled with the search's settings, so they are fetched and stored
// like crawled pages and their links followed while the depth allows. -1
// when `query` is empty (nothing done); else 0 after the crawl, also when
// there was no hit. Throws CfgError (message on std::cerr) when "crawl.ini",
// "se.ini" or "se_ctrl.ini" cannot be read; nothing is fetched then. `store`
// and `environment` must outlive the call.
int SearchAndCrawl(DocumentStore* store, AnalysisEnvironment* environment, std::string_view query,
                   std::string_view parameters);

}  // namespace qora

#endif  // QORA_ACQUIRE_SEARCH_ENGINES_H_
