// The request and crawl parameter strings. The first byte chooses:
//  - even: the input is a parameter string, read by the splitter, the
//    engine's request record and the crawl settings; each must give the
//    value its header states for every key (the last one given wins, the
//    others keep their defaults);
//  - odd: the rest describes the option pages of an acquisition request;
//    the parameter string built from them must read back, through the crawl
//    settings, as exactly the values the builder's header lists.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/crawl_settings.h"
#include "engine/request_record.h"
#include "fuzz/fuzz_input.h"
#include "shell/acquisition_parameters.h"
#include "util/decimal.h"
#include "util/parameters.h"

namespace {

using qora::AcquisitionMode;

void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The "key=value" segments of `text` as the splitter's header states them.
std::vector<std::pair<std::string_view, std::string_view>> ExpectedPairs(std::string_view text) {
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('&', start);
    const std::string_view segment = text.substr(start, end == std::string_view::npos ? end : end - start);
    const size_t equals = segment.find('=');
    if (equals != std::string_view::npos) {
      pairs.emplace_back(segment.substr(0, equals), segment.substr(equals + 1));
    }
    if (end == std::string_view::npos) return pairs;
    start = end + 1;
  }
}

void CheckRequestRecord(const std::map<std::string_view, std::string_view>& last,
                        std::string_view text) {
  qora::RequestRecord record;
  qora::ParseRequestParameters(text, &record);
  const std::pair<const char*, const std::string*> texts[] = {
      {"stgsfile", &record.settings_file}, {"name", &record.name},
      {"passage", &record.passage},        {"keywords", &record.keywords},
      {"hex_url_list", &record.hex_url_list}};
  for (const auto& [key, field] : texts) {
    const auto given = last.find(key);
    const std::string_view expected = given == last.end() ? std::string_view() : given->second;
    if (*field != expected) Fail("request record: wrong text", key);
  }
  const std::pair<const char*, int> numbers[] = {
      {"wkspc_h", record.workspace_handle}, {"dpth", record.depth}, {"maxbytes", record.byte_limit}};
  for (const auto& [key, value] : numbers) {
    const auto given = last.find(key);
    const int expected = given == last.end() ? -1 : qora::ParseDecimal(given->second);
    if (value != expected) Fail("request record: wrong number", key);
  }
  const auto flag = last.find("bool1");
  if (record.flag != (flag != last.end() && qora::ParseDecimal(flag->second) != 0)) {
    Fail("request record: wrong flag", text);
  }
}

void CheckCrawlSettings(std::string_view text) {
  const std::map<std::string, std::string> decoded = qora::ParseCrawlParameters(text);
  qora::CrawlSettings settings;
  const qora::CrawlSettings defaults;
  settings.ApplyCrawlParameters(text);
  const std::pair<const char*, int qora::CrawlSettings::*> numbers[] = {
      {"dpth", &qora::CrawlSettings::maxDepth}, {"maxbytes", &qora::CrawlSettings::maxBytes},
      {"maxsites", &qora::CrawlSettings::maxSites}, {"maxdocs", &qora::CrawlSettings::maxDocs},
      {"crwl_rule", &qora::CrawlSettings::crawlRule}};
  for (const auto& [key, field] : numbers) {
    const auto given = decoded.find(key);
    const int expected = given == decoded.end() ? defaults.*field : qora::ParseDecimal(given->second);
    if (settings.*field != expected) Fail("crawl settings: wrong number", key);
  }
  const auto negurl = decoded.find("negurl");
  if (settings.negativeUrls != (negurl == decoded.end() ? defaults.negativeUrls : negurl->second)) {
    Fail("crawl settings: wrong negative addresses", text);
  }
  for (const auto& [key, value] : decoded) {
    // "%" with two characters after it becomes one byte: never longer.
    if (value.size() > text.size() || key.size() > text.size()) Fail("decoding grew", text);
  }
}

void CheckParameterString(std::string_view text) {
  const auto pairs = qora::SplitParameters(text);
  if (pairs != ExpectedPairs(text)) Fail("split differs from the stated one", text);
  std::map<std::string_view, std::string_view> last;
  for (const auto& [key, value] : pairs) last[key] = value;
  CheckRequestRecord(last, text);
  CheckCrawlSettings(text);
}

// A signed number from one byte, so that negative values occur too.
int SmallNumber(qora::FuzzInput* input) { return static_cast<int8_t>(input->Byte()); }

int LargeNumber(qora::FuzzInput* input) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | input->Byte();
  return static_cast<int>(value);
}

std::string WithPlusForBlanks(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == ' ') c = '+';
  }
  return out;
}

void Expect(bool holds, const char* what, const std::string& parameters) {
  if (!holds) Fail(what, parameters);
}

void CheckBuiltParameters(qora::FuzzInput* input) {
  const auto mode = static_cast<AcquisitionMode>(input->Byte() % 8);
  qora::AcquisitionOptions options;
  const uint8_t switches = input->Byte();
  options.crawler.internal_only = (switches & 1) != 0;
  for (int i = 0; i < 5; ++i) options.engines.selected[i] = (switches >> (i + 1) & 1) != 0;
  options.crawler.depth = SmallNumber(input);
  options.crawler.kilobytes = LargeNumber(input);
  options.crawler.sites = SmallNumber(input);
  options.crawler.documents = SmallNumber(input);
  options.advanced.max_pages = SmallNumber(input);
  options.advanced.min_pages = SmallNumber(input);
  options.advanced.min_links = SmallNumber(input);
  options.advanced.hub_pages = SmallNumber(input);
  options.advanced.authority_pages = SmallNumber(input);
  for (int& results : options.engines.results) results = SmallNumber(input);
  options.advanced.negative_addresses = std::string(input->Text());
  options.advanced.negative_words = std::string(input->Text());

  std::string parameters = "unchanged";
  const std::string message = qora::AcquisitionParameters(mode, options, &parameters);
  if (!message.empty()) {
    Expect(parameters == "unchanged", "a refused request changed the parameters", message);
    return;
  }
  qora::CrawlSettings read;
  read.ApplyCrawlParameters(parameters);

  const bool search = mode == AcquisitionMode::kBasicSearch ||
                      mode == AcquisitionMode::kAdvancedSearch ||
                      mode == AcquisitionMode::kWizardSearch;
  const qora::CrawlerOptions& crawler = options.crawler;
  if (search) {
    Expect(read.maxDepth == 0 && read.maxBytes == 2000000 && read.maxSites == 500 &&
               read.maxDocs == 200,
           "search budget", parameters);
  } else if (mode == AcquisitionMode::kSaveThisPage) {
    Expect(read.maxDepth == 0 && read.maxBytes == 500000 && read.maxSites == 1 && read.maxDocs == 1,
           "save budget", parameters);
  } else {
    Expect(read.maxDepth == crawler.depth && read.maxBytes == crawler.kilobytes * 1000 &&
               read.maxSites == (crawler.depth == 0 ? 1 : crawler.sites) &&
               read.maxDocs == crawler.documents,
           "crawl budget", parameters);
  }

  const bool advanced =
      mode != AcquisitionMode::kBasicSearch && mode != AcquisitionMode::kSaveThisPage;
  const qora::AdvancedOptions& page = options.advanced;
  Expect(read.authorityMaxPages == (advanced ? page.max_pages : 0) &&
             read.authorityMinPages == (advanced ? page.min_pages : 0) &&
             read.hubMinLinks == (advanced ? page.min_links : 0) &&
             read.selectHubs == (advanced && page.hub_pages != 0) &&
             read.selectAuthorities == (advanced && page.authority_pages != 0),
         "advanced numbers", parameters);
  Expect(read.negativeUrls == (advanced ? WithPlusForBlanks(page.negative_addresses) : ""),
         "negative addresses do not read back", parameters);
  Expect(read.negativeWords == (advanced ? WithPlusForBlanks(page.negative_words) : ""),
         "negative words do not read back", parameters);

  for (size_t i = 0; i < 5; ++i) {
    Expect(read.searchEngines[i].control == (options.engines.selected[i] ? "1" : "0") &&
               read.searchEngines[i].resultCount == std::to_string(options.engines.results[i]),
           "engine part", parameters);
  }
  const bool may_keep = mode == AcquisitionMode::kCrawl ||
                        mode == AcquisitionMode::kCrawlThisPage ||
                        mode == AcquisitionMode::kWizardCrawl;
  Expect(read.crawlRule == (may_keep && crawler.internal_only ? 1 : 0), "crawl rule", parameters);

  // The engine numbers of a quick search: either all named engines are on
  // and only they, or nothing changed.
  const std::string numbers(input->Rest());
  qora::EngineOptions engines = options.engines;
  if (qora::SelectEngines(numbers, &engines).empty()) {
    for (size_t i = 0; i < 5; ++i) {
      const bool named = numbers.find(static_cast<char>('1' + i)) != std::string::npos;
      Expect(engines.selected[i] == named, "engine selection", numbers);
    }
  } else {
    Expect(engines.selected == options.engines.selected, "refused selection changed", numbers);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qora::FuzzInput input(data, size);
  if (input.Byte() % 2 == 0) {
    CheckParameterString(input.Rest());
  } else {
    CheckBuiltParameters(&input);
  }
  return 0;
}
