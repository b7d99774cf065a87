// Every user setting of the shell with its section, key, type and default,
// and the readers of the option pages that acquisition requests are built
// from. A read of a setting that is absent or unreadable gives its default.
#ifndef QORA_SHELL_SETTINGS_KEYS_H_
#define QORA_SHELL_SETTINGS_KEYS_H_

#include <array>
#include <string>

#include "shell/settings_store.h"

namespace qora {

struct IntSetting {
  const char* section;
  const char* key;
  int fallback;
};

struct TextSetting {
  const char* section;
  const char* key;
  const char* fallback;
};

inline int Read(const SettingsStore& store, const IntSetting& setting) {
  return store.ReadInt(setting.section, setting.key, setting.fallback);
}
inline std::string Read(const SettingsStore& store, const TextSetting& setting) {
  return store.ReadString(setting.section, setting.key, setting.fallback);
}
inline void Write(SettingsStore* store, const IntSetting& setting, int value) {
  store->WriteInt(setting.section, setting.key, value);
}
inline void Write(SettingsStore* store, const TextSetting& setting, const std::string& value) {
  store->WriteString(setting.section, setting.key, value);
}

namespace settings {

// The address prefix of command URLs; the application serves it on its own
// address, so only its path is fixed.
inline constexpr char kCommandPath[] = "/localservlets/";

inline constexpr TextSetting kRootFolder{"Main", "rootFolder", "does_not_exist"};
inline constexpr IntSetting kUserLibVersion{"Main", "userLibVersion", 0};

inline constexpr IntSetting kGracefullyTerminated{"Settings", "gracefullyTerminated", 1};
inline constexpr IntSetting kWhichEngine{"Settings", "whichEngine", 1};
inline constexpr IntSetting kNewLibMode{"Settings", "newLibMode", 1167};
inline constexpr IntSetting kPreviewPaneSingleDocType{"Settings", "previewPaneSingleDocType", 1};
inline constexpr IntSetting kPreviewPaneMultipleDocType{"Settings", "previewPaneMultipleDocType",
                                                        5};
inline constexpr TextSetting kCommandUrl{"Settings", "commandURL",
                                         "http://127.0.0.1:8311/localservlets/"};
inline constexpr IntSetting kDocFetchCount{"Settings", "docFetchCount", 100};
inline constexpr IntSetting kUserLevel{"Settings", "userLevel", 0};

inline constexpr IntSetting kBiasPercent{"Settings1", "biasPercent", 85};
inline constexpr IntSetting kExpandQuery{"Settings1", "expandQuery", 0};
inline constexpr IntSetting kMaxConcepts{"Settings1", "nMaxConcepts", 4};
inline constexpr IntSetting kMaxPhrases{"Settings1", "nMaxPhrases", 5};

inline constexpr IntSetting kDocAutoAnalyze{"Settings2", "docAutoAnalyze", 0};
inline constexpr IntSetting kQueryWizardMode{"Settings2", "queryWizardMode", 1};
inline constexpr IntSetting kSearchButtonInBrowser{"Settings2", "searchButtonInBrowser", 0};
inline constexpr IntSetting kStartAtHome{"Settings2", "startAtHome", 1};
inline constexpr IntSetting kAutoFixUrl{"Settings2", "autoFixURL", 1};
inline constexpr IntSetting kAutoOpenScratchPad{"Settings2", "autoOpenScratchPad", 1};
inline constexpr IntSetting kEnableQuickSearch{"Settings2", "enableQuickSearch", 0};

inline constexpr char kAdvancedOptions[] = "AdvancedOptions";
inline constexpr IntSetting kSelAuthorityPages{kAdvancedOptions, "selAuthorityPages", 0};
inline constexpr IntSetting kSelHubPages{kAdvancedOptions, "selHubPages", 0};
inline constexpr IntSetting kMinNumPages{kAdvancedOptions, "minNumPages", 1};
inline constexpr IntSetting kMaxNumPages{kAdvancedOptions, "maxNumPages", 10};
inline constexpr IntSetting kMinNumLinks{kAdvancedOptions, "minNumLinks", 1};
inline constexpr TextSetting kNegWords{kAdvancedOptions, "negWords", ""};
inline constexpr TextSetting kNegUrls{
    kAdvancedOptions, "negURLs",
    ";prev+;random+;skip+popup+doubleclick+hitbox+/ads+/adfield+http://ads"};

inline constexpr char kCrawlerOptions[] = "CrawlerOptions";
inline constexpr IntSetting kInternalOnly{kCrawlerOptions, "internalOnly", 1};
inline constexpr IntSetting kDepth{kCrawlerOptions, "Dpth", 2};
inline constexpr IntSetting kMaxDocs{kCrawlerOptions, "MaxDocs", 50};
inline constexpr IntSetting kMaxKilobytes{kCrawlerOptions, "MaxKB", 1000};
inline constexpr IntSetting kMaxSites{kCrawlerOptions, "MaxSites", 100};
inline constexpr TextSetting kStartUrls{
    kCrawlerOptions, "startURLs",
    "https://en.wikipedia.org/wiki/List_of_largest_companies_by_revenue"};
inline constexpr TextSetting kFolderName{kCrawlerOptions, "prevName_folder", ""};
inline constexpr IntSetting kFolderDepth{kCrawlerOptions, "Dpth_folder", 2};
inline constexpr IntSetting kFolderKilobytes{kCrawlerOptions, "MaxKB_folder", 1000};
inline constexpr IntSetting kFolderDocuments{kCrawlerOptions, "MaxDocs_folder", 50};

inline constexpr int kSearchEngines = 5;
inline constexpr char kEngineOptions[] = "EngineOptions";
inline constexpr std::array<IntSetting, kSearchEngines> kSelectedEngine{{
    {kEngineOptions, "selEng1", 0},
    {kEngineOptions, "selEng2", 0},
    {kEngineOptions, "selEng3", 0},
    {kEngineOptions, "selEng4", 0},
    {kEngineOptions, "selEng5", 0},
}};
inline constexpr std::array<IntSetting, kSearchEngines> kEngineResults{{
    {kEngineOptions, "numResEng1", 50},
    {kEngineOptions, "numResEng2", 50},
    {kEngineOptions, "numResEng3", 50},
    {kEngineOptions, "numResEng4", 50},
    {kEngineOptions, "numResEng5", 50},
}};

// The prompts stand in the dialogs while nothing was typed; they are the
// defaults of the last queries.
inline constexpr TextSetting kLastKeywords{"QueryOptions", "lastKeyWords",
                                           "type in your keywords here"};
inline constexpr TextSetting kLastPassage{"QueryOptions", "lastPassage",
                                          "type in or cut/paste your passage or paragraph here"};

inline constexpr TextSetting kSearchWords{"WordBar", "searchWords", ""};
inline constexpr TextSetting kBiasWords{"WordBar", "biasWords", ""};

// Written after each choice of target library; read with its default 0.
inline constexpr IntSetting kNewLib{"LibraryOptions", "newLib", 0};

inline constexpr IntSetting kInitialWizardDontShow{"Appearance", "InitialWizardDontShow", 0};
// The window's placement record, a binary value; absent means maximised.
inline constexpr char kWindowPosSection[] = "Appearance";
inline constexpr char kWindowPosKey[] = "WindowPos";

// The address history: "AddressItem0" (newest) to "AddressItem9".
inline constexpr char kHistorySection[] = "History";
inline constexpr char kAddressHistoryPrefix[] = "AddressItem";

inline constexpr char kLinksSection[] = "qora_uls";

}  // namespace settings

// The pane boundaries of the "Appearance" section for a screen of `width`
// by `height` pixels, each the stored value or its default (integer
// divisions of the screen size).
struct PaneLayout {
  int splitter_edge1;
  int splitter_edge2;
  int frame_bottom;
  int frame_right;
  int frame_top;
  int frame_left;
};
PaneLayout ReadPaneLayout(const SettingsStore& store, int width, int height);

// The advanced page: its two lists with blanks between the entries (they
// are stored with "+" between them).
struct AdvancedOptions {
  int authority_pages = 0;
  int hub_pages = 0;
  int min_pages = 0;
  int max_pages = 0;
  int min_links = 0;
  std::string negative_words;
  std::string negative_addresses;
};
AdvancedOptions ReadAdvancedOptions(const SettingsStore& store);

// The crawler page of a web crawl.
struct CrawlerOptions {
  bool internal_only = true;
  int depth = 0;
  int kilobytes = 0;
  int sites = 0;
  int documents = 0;
  std::string start_addresses;
};
CrawlerOptions ReadCrawlerOptions(const SettingsStore& store);

// The folder page of a folder import.
struct FolderOptions {
  std::string folder;
  int depth = 0;
  int kilobytes = 0;
  int documents = 0;
};
FolderOptions ReadFolderOptions(const SettingsStore& store);

// The engine page: each engine on or off and the hits asked of it. Engine 1
// is on whenever engines 2 to 5 are all off, so a search always has one.
struct EngineOptions {
  std::array<bool, settings::kSearchEngines> selected{};
  std::array<int, settings::kSearchEngines> results{};
};
EngineOptions ReadEngineOptions(const SettingsStore& store);

// The reset mode of the advanced and crawler pages: removes the whole
// section `section` (settings::kAdvancedOptions or kCrawlerOptions), so the
// reads that follow give the defaults.
void ResetOptionSection(SettingsStore* store, const char* section);

}  // namespace qora

#endif  // QORA_SHELL_SETTINGS_KEYS_H_
