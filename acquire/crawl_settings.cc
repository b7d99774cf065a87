#include "acquire/crawl_settings.h"

#include <algorithm>
#include <string>
#include <utility>

#include "analysis/analysis_environment.h"
#include "analysis/cfg_file.h"
#include "util/ascii.h"
#include "util/decimal.h"
#include "util/parameters.h"

namespace qora {

namespace {

constexpr size_t kNone = std::string::npos;

// Characters that separate the tokens of the negative address and word
// lists; runs of them count as one separator.
constexpr std::string_view kFilterSeparators = " \n\t+,";

// Parameter keys that set a decimal field, and the field each sets.
const std::map<std::string_view, int CrawlSettings::*>& DecimalParameters() {
  static const std::map<std::string_view, int CrawlSettings::*> kKeys = {
      {"dpth", &CrawlSettings::maxDepth},
      {"maxbytes", &CrawlSettings::maxBytes},
      {"maxsites", &CrawlSettings::maxSites},
      {"maxdocs", &CrawlSettings::maxDocs},
      {"docmaxpages", &CrawlSettings::authorityMaxPages},
      {"docminpages", &CrawlSettings::authorityMinPages},
      {"minlinks", &CrawlSettings::hubMinLinks},
      {"crwl_rule", &CrawlSettings::crawlRule},
  };
  return kKeys;
}

// Parameter keys that switch a flag (any non-zero decimal is on).
const std::map<std::string_view, bool CrawlSettings::*>& FlagParameters() {
  static const std::map<std::string_view, bool CrawlSettings::*> kKeys = {
      {"hub", &CrawlSettings::selectHubs},
      {"auth", &CrawlSettings::selectAuthorities},
  };
  return kKeys;
}

// `text` split at runs of any of `separators`, empty tokens dropped.
std::vector<std::string> SplitTokens(std::string_view text, std::string_view separators) {
  std::vector<std::string> tokens;
  size_t begin = text.find_first_not_of(separators);
  while (begin != kNone) {
    const size_t end = text.find_first_of(separators, begin);
    tokens.emplace_back(text.substr(begin, end == kNone ? kNone : end - begin));
    begin = end == kNone ? kNone : text.find_first_not_of(separators, end);
  }
  return tokens;
}

// Assigns the non-empty "+"-separated pieces of `value` to the first search
// engines in order; engines without a piece keep what they had.
void AssignToEngines(std::string_view value, std::string SearchEngineDefinition::*field,
                     std::array<SearchEngineDefinition, kSearchEngineCount>* engines) {
  const std::vector<std::string> pieces = SplitTokens(value, "+");
  const size_t count = std::min(pieces.size(), engines->size());
  for (size_t i = 0; i < count; ++i) (*engines)[i].*field = pieces[i];
}

std::array<SearchEngineDefinition, kSearchEngineCount> NumberedSearchEngines() {
  std::array<SearchEngineDefinition, kSearchEngineCount> engines;
  for (size_t i = 0; i < engines.size(); ++i) {
    engines[i].sectionName = "engine" + std::to_string(i + 1);
  }
  return engines;
}

int ReadDecimal(const CfgFile& ini, std::string_view section, std::string_view key) {
  return ParseDecimal(ini.CfgGet(section, key));
}

void ReadGeneralSection(const CfgFile& ini, CrawlSettings* settings) {
  settings->maxHtmlSize = ReadDecimal(ini, "general", "max_html_size");
  settings->maxContentSize = ReadDecimal(ini, "general", "max_content_size");
  settings->maxDmlSize = ReadDecimal(ini, "general", "max_dml_size");
}

void ReadFolderCrawlerSection(const CfgFile& ini, CrawlSettings* settings) {
  settings->folderFileTypes = ini.CfgGet("foldercrawler", "file_types");
}

void ReadWebCrawlerSection(const CfgFile& ini, CrawlSettings* settings) {
  constexpr std::string_view kSection = "webcrawler";
  settings->dontFetchTypes = ini.CfgGet(kSection, "dont_fetch_url_types");
  settings->negativeUrls = ini.CfgGet(kSection, "search_neg_urls");
  settings->negativeWords = ini.CfgGet(kSection, "search_neg_words");
  settings->maxBytes = ReadDecimal(ini, kSection, "crawl_size_limit");
  settings->maxSites = ReadDecimal(ini, kSection, "crawl_url_count_limit");
  settings->maxDepth = ReadDecimal(ini, kSection, "max_web_crawl_depth");
  settings->maxDocs = ReadDecimal(ini, kSection, "fetch_doc_count_limit");
  settings->sendTimeout = ReadDecimal(ini, kSection, "socket_send_timeout");
  settings->receiveTimeout = ReadDecimal(ini, kSection, "socket_rec_timeout");
  settings->selectHubs = ReadDecimal(ini, kSection, "search_sel_hubpages") != 0;
  settings->selectAuthorities = ReadDecimal(ini, kSection, "search_sel_authoritypages") != 0;
  settings->authorityMaxPages = ReadDecimal(ini, kSection, "search_max_numpages");
  settings->authorityMinPages = ReadDecimal(ini, kSection, "search_min_numpages");
  settings->hubMinLinks = ReadDecimal(ini, kSection, "search_min_numlinks");
  settings->threadCount = ReadDecimal(ini, kSection, "crawl_thread_count");
  settings->crawlRule = ReadDecimal(ini, kSection, "crawl_rule");
  settings->threadTimeout = ReadDecimal(ini, kSection, "crawl_thread_timeout");
}

// Assigns the field that parameter `key` names; unknown keys are ignored.
void ApplyParameter(const std::string& key, const std::string& value, CrawlSettings* settings) {
  if (auto decimal = DecimalParameters().find(key); decimal != DecimalParameters().end()) {
    settings->*(decimal->second) = ParseDecimal(value);
  } else if (auto flag = FlagParameters().find(key); flag != FlagParameters().end()) {
    settings->*(flag->second) = ParseDecimal(value) != 0;
  } else if (key == "negtypes") {
    settings->dontFetchTypes = value;
    std::replace(settings->dontFetchTypes.begin(), settings->dontFetchTypes.end(), '+', ' ');
  } else if (key == "negurl") {
    settings->negativeUrls = value;
  } else if (key == "negwords") {
    settings->negativeWords = value;
  } else if (key == "se_ctrl") {
    AssignToEngines(value, &SearchEngineDefinition::control, &settings->searchEngines);
  } else if (key == "se_num") {
    AssignToEngines(value, &SearchEngineDefinition::resultCount, &settings->searchEngines);
  }
}

}  // namespace

CrawlSettings::CrawlSettings() : searchEngines(NumberedSearchEngines()) {}

void CrawlSettings::ReadCrawlIni(const std::string& storeIdent,
                                 const AnalysisEnvironment& environment) {
  crawlIniPath = environment.data_folder() + kCrawlIniFile;
  const std::string store_folder = environment.StoreFolderRoot() + storeIdent;
  localCacheFolder = store_folder + "/loc_c/";
  webCacheFolder = store_folder + "/web_c/";
  localTableName = "cache.chx";
  webTableName = "cache.chx";

  const CfgFile ini = CfgFile::CfgLoad(crawlIniPath);
  ReadGeneralSection(ini, this);
  ReadFolderCrawlerSection(ini, this);
  ReadWebCrawlerSection(ini, this);
  if (threadTimeout < 1) threadTimeout = 60;
  BuildFilterLists();
}

void CrawlSettings::ApplyCrawlParameters(std::string_view text) {
  for (const auto& [key, value] : ParseCrawlParameters(text)) ApplyParameter(key, value, this);
}

void CrawlSettings::BuildFilterLists() {
  negativeUrlList = SplitTokens(negativeUrls, kFilterSeparators);
  negativeWordList = SplitTokens(negativeWords, kFilterSeparators);
  selectionOn = selectHubs || selectAuthorities;
}

std::string DecodeCrawlParameter(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded.push_back(text[i]);
      continue;
    }
    const size_t taken = std::min<size_t>(2, text.size() - i - 1);
    int value = 0;
    for (size_t k = 1; k <= taken && HexDigitValue(text[i + k]) >= 0; ++k) {
      value = value * 16 + HexDigitValue(text[i + k]);
    }
    decoded.push_back(static_cast<char>(value));
    i += taken;
  }
  return decoded;
}

std::map<std::string, std::string> ParseCrawlParameters(std::string_view text) {
  std::map<std::string, std::string> pairs;
  for (const auto& [key, value] : SplitParameters(text)) {
    pairs[DecodeCrawlParameter(key)] = DecodeCrawlParameter(value);
  }
  return pairs;
}

}  // namespace qora
