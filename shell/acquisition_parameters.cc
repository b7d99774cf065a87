#include "shell/acquisition_parameters.h"

#include <limits>

#include "util/gcc_warnings.h"

namespace qora {
namespace {

bool IsSearch(AcquisitionMode mode) {
  return mode == AcquisitionMode::kBasicSearch || mode == AcquisitionMode::kAdvancedSearch ||
         mode == AcquisitionMode::kWizardSearch;
}

bool SendsAdvancedValues(AcquisitionMode mode) {
  return mode != AcquisitionMode::kBasicSearch && mode != AcquisitionMode::kSaveThisPage;
}

bool MayKeepToTheStartSite(AcquisitionMode mode) {
  return mode == AcquisitionMode::kCrawl || mode == AcquisitionMode::kCrawlThisPage ||
         mode == AcquisitionMode::kWizardCrawl;
}

// A list of the advanced page as a parameter value: blanks become "+", and
// "%" and "&" are escaped ("%25", "%26"), since the crawl parameters decode
// "%" escapes and end a value at "&"; an entry holding either would else be
// read as another value, or as another parameter.
std::string ListParameterValue(const std::string& text) {
  std::string value;
  value.reserve(text.size());
  for (char c : text) {
    if (c == ' ') {
      value.push_back('+');
    } else if (c == '%') {
      value.append("%25");
    } else if (c == '&') {
      value.append("%26");
    } else {
      value.push_back(c);
    }
  }
  return value;
}

QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
std::string BudgetPart(AcquisitionMode mode, const CrawlerOptions& crawler) {
  if (IsSearch(mode)) return "dpth=0&maxbytes=2000000&maxsites=500&maxdocs=200";
  if (mode == AcquisitionMode::kSaveThisPage) return "dpth=0&maxbytes=500000&maxsites=1&maxdocs=1";
  return "dpth=" + std::to_string(crawler.depth) +
         "&maxbytes=" + std::to_string(crawler.kilobytes * 1000) +
         "&maxsites=" + std::to_string(crawler.depth == 0 ? 1 : crawler.sites) +
         "&maxdocs=" + std::to_string(crawler.documents);
}

std::string AdvancedPart(AcquisitionMode mode, const AdvancedOptions& advanced) {
  if (!SendsAdvancedValues(mode)) {
    return "&docmaxpages=0&docminpages=0&minlinks=0&hub=0&auth=0&negurl=&negwords=";
  }
  return "&docmaxpages=" + std::to_string(advanced.max_pages) +
         "&docminpages=" + std::to_string(advanced.min_pages) +
         "&minlinks=" + std::to_string(advanced.min_links) +
         "&hub=" + std::to_string(advanced.hub_pages) +
         "&auth=" + std::to_string(advanced.authority_pages) +
         "&negurl=" + ListParameterValue(advanced.negative_addresses) +
         "&negwords=" + ListParameterValue(advanced.negative_words);
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

}  // namespace

AcquisitionOptions ReadAcquisitionOptions(const SettingsStore& store) {
  return AcquisitionOptions{ReadCrawlerOptions(store), ReadAdvancedOptions(store),
                            ReadEngineOptions(store)};
}

std::string AcquisitionParameters(AcquisitionMode mode, const AcquisitionOptions& options,
                                  std::string* parameters) {
  const int kilobytes = options.crawler.kilobytes;
  const bool uses_crawler = !IsSearch(mode) && mode != AcquisitionMode::kSaveThisPage;
  if (uses_crawler && (kilobytes < 0 || kilobytes > std::numeric_limits<int>::max() / 1000)) {
    return "The kilobyte limit must lie between 0 and " +
           std::to_string(std::numeric_limits<int>::max() / 1000) + ".";
  }
  const bool same_site = MayKeepToTheStartSite(mode) && options.crawler.internal_only;
  *parameters = BudgetPart(mode, options.crawler) + AdvancedPart(mode, options.advanced) +
                EngineParameters(options.engines) + (same_site ? "&crwl_rule=1" : "&crwl_rule=0");
  return "";
}

QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
std::string EngineParameters(const EngineOptions& engines) {
  std::string control = "&se_ctrl=";
  std::string counts = "&se_num=";
  for (int i = 0; i < settings::kSearchEngines; ++i) {
    const char* joint = i == 0 ? "" : "+";
    control += joint + std::to_string(engines.selected[i] ? 1 : 0);
    counts += joint + std::to_string(engines.results[i]);
  }
  return control + counts;
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

std::string SelectEngines(const std::string& numbers, EngineOptions* engines) {
  std::array<bool, settings::kSearchEngines> on{};
  bool any = false;
  size_t start = 0;
  while (start <= numbers.size()) {
    size_t end = numbers.find(',', start);
    if (end == std::string::npos) end = numbers.size();
    std::string piece = numbers.substr(start, end - start);
    piece.erase(0, piece.find_first_not_of(" \t"));
    piece.erase(piece.find_last_not_of(" \t") + 1);
    if (!piece.empty()) {
      if (piece.size() != 1 || piece[0] < '1' || piece[0] > '5') {
        return "Search engines are numbered 1 to 5; \"" + piece + "\" is none of them.";
      }
      on[piece[0] - '1'] = true;
      any = true;
    }
    start = end + 1;
  }
  if (!any) return "Please choose search engines (numbers 1 to 5).";
  engines->selected = on;
  return "";
}

}  // namespace qora
