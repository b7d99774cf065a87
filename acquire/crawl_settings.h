// The limits, filters, time-outs and thread counts of one acquisition
// operation, filled in three layers that each override the one before: the
// initial values below, the crawler configuration file "crawl.ini", and (for
// the web crawl and the two searches) the crawl parameter string of the
// request.
#ifndef QORA_ACQUIRE_CRAWL_SETTINGS_H_
#define QORA_ACQUIRE_CRAWL_SETTINGS_H_

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/search_engine_definition.h"

namespace qora {

class AnalysisEnvironment;

// Number of search engines held with the settings.
inline constexpr int kSearchEngineCount = 5;

// The name of the crawler configuration file in the data folder.
inline constexpr char kCrawlIniFile[] = "crawl.ini";

struct CrawlSettings {
  CrawlSettings();

  // Sets the paths for the library `storeIdent`, loads the data folder's
  // "crawl.ini" and assigns every field the file names (an absent key gives
  // 0 or ""; a stop wait below 1 second becomes 60), then rebuilds the filter
  // lists. Throws CfgError (message on std::cerr) when the file is missing,
  // too small, too large or unreadable; the fields are then left as they
  // were, only the paths are set.
  void ReadCrawlIni(const std::string& storeIdent, const AnalysisEnvironment& environment);

  // Assigns the fields named by a crawl parameter string such as
  // "dpth=2&maxdocs=20&negurl=/ads+/popup". Unknown keys, and a string
  // without any "=", change nothing. The filter lists are not rebuilt.
  void ApplyCrawlParameters(std::string_view text);

  // Rebuilds negativeUrlList, negativeWordList and selectionOn from
  // negativeUrls, negativeWords, selectHubs and selectAuthorities.
  void BuildFilterLists();

  // Limits. Sizes are bytes (maxHtmlSize, maxBytes) or characters.
  int maxDepth = 3;            // deepest link depth fetched; start addresses are 0
  int folderMaxDepth = 8;      // folder crawl depth, set by the folder crawl request
  int maxHtmlSize = 200000;    // largest fetched content that is stored and processed
  int maxDmlSize = 500000;     // largest DML body plus anchor section
  int maxContentSize = 50000;  // largest extracted text
  int maxBytes = 2000000;      // size budget, compared with bytesDone
  int maxSites = 1000;         // address budget
  int maxDocs = 100;           // stored-document budget

  // Progress counters of the running operation.
  int sitesDone = 0;
  int docsDone = 0;
  int bytesDone = 0;

  // Filters.
  std::string dontFetchTypes =
      ".exe .wav .mpg .mpeg .avi .bat .doc .xls .ppt .txt .gif .jpg .vbs .pdf  .gz .tgz .zip "
      ".js .mp3";
  std::string negativeWords;
  std::string negativeUrls = ";prev ;random ;skip  /popup /ads /adfield http://ads";
  bool selectHubs = false;
  bool selectAuthorities = false;
  int authorityMaxPages = 0;  // in pages of 2000 characters
  int authorityMinPages = 0;  // in pages of 2000 characters
  int hubMinLinks = 0;        // links to other hosts that make a hub
  int crawlRule = 0;          // 1: links to other hosts are not followed
  std::string folderFileTypes;

  // Handed unchanged to the web fetcher, which takes them as milliseconds.
  int sendTimeout = 20;
  int receiveTimeout = 20;  // also the fetcher's connect time-out
  int threadCount = 20;     // crawl workers; at most 30 are used
  int threadTimeout = 60;   // seconds to wait for the workers to stop

  // Derived by BuildFilterLists.
  std::vector<std::string> negativeUrlList;
  std::vector<std::string> negativeWordList;
  bool selectionOn = false;

  // Paths set by ReadCrawlIni.
  std::string crawlIniPath;      // data folder + "crawl.ini"
  std::string localCacheFolder;  // store base folder + ident + "/loc_c/"
  std::string webCacheFolder;    // store base folder + ident + "/web_c/"
  std::string localTableName = "cache.chx";
  std::string webTableName = "cache.chx";

  // Search engines 1 to 5 at indexes 0 to 4.
  std::array<SearchEngineDefinition, kSearchEngineCount> searchEngines;
};

// Decodes the "%" escapes of a crawl parameter key or value: each "%" takes
// the next two characters (fewer at the end of the text) and becomes the
// byte of the hexadecimal number they begin with (0 when they begin with no
// hexadecimal digit). "+" and every other character stay unchanged.
std::string DecodeCrawlParameter(std::string_view text);

// The decoded key-value pairs of a crawl parameter string; a key given again
// replaces the earlier value. A segment without "=" between two "&" is
// skipped.
std::map<std::string, std::string> ParseCrawlParameters(std::string_view text);

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWL_SETTINGS_H_
