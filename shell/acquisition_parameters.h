// The parameter strings of the requests that fill libraries from the
// internet, built from the option pages as each kind of request sends them.
#ifndef QORA_SHELL_ACQUISITION_PARAMETERS_H_
#define QORA_SHELL_ACQUISITION_PARAMETERS_H_

#include <string>

#include "shell/settings_keys.h"

namespace qora {

// The kinds of request that fill a library from the internet: the internet
// dialog's modes and the new-library wizard's internet modes.
enum class AcquisitionMode {
  kBasicSearch,
  kAdvancedSearch,
  kCrawl,
  kCrawlThisPage,
  kSaveThisPage,
  kWizardSearch,           // the wizard's choice 1167
  kWizardCrawl,            // 1168
  kWizardSearchThenCrawl,  // 1170
};

// The option pages a request is built from.
struct AcquisitionOptions {
  CrawlerOptions crawler;
  AdvancedOptions advanced;
  EngineOptions engines;
};

// The option pages as the user's settings hold them.
AcquisitionOptions ReadAcquisitionOptions(const SettingsStore& store);

// Sets `*parameters` to the crawl parameter string of `mode`, appended in
// this order:
//  - the budget: for the searches (not followed by a crawl) depth 0,
//    2000000 bytes, 500 sites and 200 documents; for the crawls the crawler
//    page's depth, kilobytes times 1000, sites (1 when the depth is 0) and
//    documents; for saving a page depth 0, 500000 bytes, 1 site, 1 document;
//  - the advanced page ("docmaxpages", "docminpages", "minlinks", "hub",
//    "auth", "negurl", "negwords", blanks of the two lists as "+" and their
//    "%" and "&" as "%25" and "%26", so that the crawl reads each list back
//    as it was typed) for the modes that show it, else zeros and empty
//    texts;
//  - the engine part ("se_ctrl", "se_num");
//  - "crwl_rule=1" for a crawl or a crawl of this page (wizard: its crawl)
//    that keeps to the start site, else "crwl_rule=0".
// Returns "" when done, else the message (a kilobyte limit whose bytes do
// not fit the engine's number) with `*parameters` unchanged.
std::string AcquisitionParameters(AcquisitionMode mode, const AcquisitionOptions& options,
                                  std::string* parameters);

// The engine part alone, "&se_ctrl=a+b+c+d+e&se_num=n+n+n+n+n", which is
// what the quick internet search sends.
std::string EngineParameters(const EngineOptions& engines);

// Switches on exactly the engines `numbers` names (1 to 5 separated by
// commas, as "1,3"). Returns "" when done, else the message (no engine, a
// number outside 1 to 5) with `*engines` unchanged.
std::string SelectEngines(const std::string& numbers, EngineOptions* engines);

}  // namespace qora

#endif  // QORA_SHELL_ACQUISITION_PARAMETERS_H_
