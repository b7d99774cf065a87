#include "shell/settings_keys.h"

#include <algorithm>

namespace qora {
namespace {

// A list stored with "+" between its entries, as shown and used: with
// blanks between them.
std::string ListWithBlanks(std::string text) {
  std::replace(text.begin(), text.end(), '+', ' ');
  return text;
}

}  // namespace

PaneLayout ReadPaneLayout(const SettingsStore& store, int width, int height) {
  const char* section = "Appearance";
  PaneLayout layout;
  layout.splitter_edge1 = store.ReadInt(section, "vSplitterEdge1", 9 * height / 40);
  layout.splitter_edge2 = store.ReadInt(section, "vSplitterEdge2", 9 * height / 10);
  layout.frame_bottom = store.ReadInt(section, "frameBottom", 9 * height / 10);
  layout.frame_right = store.ReadInt(section, "frameRight", 4 * width / 5);
  layout.frame_top = store.ReadInt(section, "frameTop", 0);
  layout.frame_left = store.ReadInt(section, "frameLeft", 0);
  return layout;
}

AdvancedOptions ReadAdvancedOptions(const SettingsStore& store) {
  AdvancedOptions options;
  options.authority_pages = Read(store, settings::kSelAuthorityPages);
  options.hub_pages = Read(store, settings::kSelHubPages);
  options.min_pages = Read(store, settings::kMinNumPages);
  options.max_pages = Read(store, settings::kMaxNumPages);
  options.min_links = Read(store, settings::kMinNumLinks);
  options.negative_words = ListWithBlanks(Read(store, settings::kNegWords));
  options.negative_addresses = ListWithBlanks(Read(store, settings::kNegUrls));
  return options;
}

CrawlerOptions ReadCrawlerOptions(const SettingsStore& store) {
  CrawlerOptions options;
  options.internal_only = Read(store, settings::kInternalOnly) != 0;
  options.depth = Read(store, settings::kDepth);
  options.kilobytes = Read(store, settings::kMaxKilobytes);
  options.sites = Read(store, settings::kMaxSites);
  options.documents = Read(store, settings::kMaxDocs);
  options.start_addresses = Read(store, settings::kStartUrls);
  return options;
}

FolderOptions ReadFolderOptions(const SettingsStore& store) {
  FolderOptions options;
  options.folder = Read(store, settings::kFolderName);
  options.depth = Read(store, settings::kFolderDepth);
  options.kilobytes = Read(store, settings::kFolderKilobytes);
  options.documents = Read(store, settings::kFolderDocuments);
  return options;
}

EngineOptions ReadEngineOptions(const SettingsStore& store) {
  EngineOptions options;
  for (int i = 0; i < settings::kSearchEngines; ++i) {
    options.selected[i] = Read(store, settings::kSelectedEngine[i]) != 0;
    options.results[i] = Read(store, settings::kEngineResults[i]);
  }
  if (std::none_of(options.selected.begin() + 1, options.selected.end(),
                   [](bool on) { return on; })) {
    options.selected[0] = true;
  }
  return options;
}

void ResetOptionSection(SettingsStore* store, const char* section) {
  store->DeleteSection(section);
}

}  // namespace qora
