// The requests that fill a library from the web, as every front runs them:
// the engine operation, then indexing the new documents and releasing the
// library's statistics. Each needs a started engine (EngineSession) and
// returns "" when done, else the message to show.
#ifndef QORA_SHELL_WEB_REQUESTS_H_
#define QORA_SHELL_WEB_REQUESTS_H_

#include <string>
#include <vector>

#include "util/document_record.h"

namespace qora {

// ---- Web crawl ------------------------------------------------------------

// The crawler page's settings when the user has chosen none.
inline constexpr int kDefaultCrawlDepth = 2;
inline constexpr int kDefaultCrawlKilobytes = 1000;
inline constexpr int kDefaultCrawlSites = 100;
inline constexpr int kDefaultCrawlDocuments = 50;
inline constexpr bool kDefaultCrawlInternalOnly = true;

// The crawl parameter string of a crawl from start addresses: the budget
// part ("dpth", "maxbytes" = kilobytes times 1000, "maxsites" = 1 when the
// depth is 0, "maxdocs"), the advanced part with zeros and empty texts, the
// engine part with every engine off, and "crwl_rule" 1 when the crawl stays
// on the start sites (`internal_only`), else 0.
std::string CrawlParameters(int depth, int kilobytes, int max_sites, int max_docs,
                            bool internal_only);

// Crawls from `addresses` into the web half of the library `library` (name
// or identifier) under the given budgets, then indexes the new documents.
// Refuses an empty address list and a kilobyte limit that does not fit.
std::string CrawlIntoLibrary(const std::string& library, const std::vector<std::string>& addresses,
                             int depth, int kilobytes, int max_sites, int max_docs,
                             bool internal_only);

// ---- Internet search ------------------------------------------------------

// Hits asked of each search engine when the user has chosen no count.
inline constexpr int kDefaultSearchResults = 50;

// The engine part of a search's parameter string,
// "&se_ctrl=a+b+c+d+e&se_num=n+n+n+n+n": engine i is on (1) when `engines`
// names it (numbers 1 to 5 separated by commas, as "1,3"), else off (0);
// each engine is asked for `results` hits. "" when done, else the message
// (no engine named, a number outside 1 to 5, a negative count).
std::string SearchEngineParameters(const std::string& engines, int results, std::string* part);

// The basic search's parameter string: the fixed budget part (depth 0,
// 2000000 bytes, 500 sites, 200 documents), the advanced part with zeros and
// empty texts, `engine_part`, and "&crwl_rule=0".
std::string BasicSearchParameters(const std::string& engine_part);

// Searches the internet for `words` with the engines `engines` (as above),
// `results` hits each, and stores the fetched hits in the library `library`
// (name or identifier), then indexes the new documents. The library's
// statistics are not released: after a search they are left as they are.
std::string SearchIntoLibrary(const std::string& library, const std::string& words,
                              const std::string& engines, int results);

// Lists the hits of the engines `engines` for `words` in `hits` (uri = the
// hit's address, name = its text, fetcher = the engine's name), nothing
// fetched but the result pages. Uses a workspace of its own.
std::string QuickSearchHits(const std::string& words, const std::string& engines,
                            std::vector<DocumentRecord>* hits, int results = kDefaultSearchResults);

}  // namespace qora

#endif  // QORA_SHELL_WEB_REQUESTS_H_
