// The shell's search requests against fake search engines served on
// 127.0.0.1, through the engine's entry points.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "qora/engine.h"
#include "shell/acquisition_parameters.h"
#include "shell/acquisition_session.h"
#include "shell/library_commands.h"
#include "shell/web_requests.h"
#include "tests/fake_search_engines.h"
#include "tests/meta_search_fixture.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::EngineOne;
using test::EngineSection;
using test::EngineTwo;
using test::LocalEngine;
using test::NoMarkEngine;

using SearchRequestsTest = test::MetaSearchFixture;

TEST_F(SearchRequestsTest, SearchIntoLibraryStoresTheFetchedHits) {
  engines_[2] = LocalEngine();
  WriteDefinitions();
  WriteControl("1", "1", "1", "1", "1");  // the request's engine part decides
  char* made = nullptr;
  int store = -1;
  EngineCreateStore("Searches", &made, &store);
  ASSERT_GT(store, 0);
  const std::string ident = made;
  EngineFreeString(made);

  AcquisitionOptions options = ReadAcquisitionOptions(SettingsStore());
  ASSERT_EQ(SelectEngines("3", &options.engines), "");
  options.engines.results.fill(7);
  std::string parameters;
  ASSERT_EQ(AcquisitionParameters(AcquisitionMode::kBasicSearch, options, &parameters), "");
  EXPECT_EQ(SearchIntoLibrary("Searches", "tidal power", parameters), "");
  std::vector<std::string> seen = SeenRequests();
  std::sort(seen.begin(), seen.end());
  // Depth 0: the hits are fetched (each once), their links are not.
  EXPECT_EQ(seen, (std::vector<std::string>{"/local?q=tidal+power&n=7", "/page/a?", "/page/b?"}));
  const std::string table = test::ReadFile(data_ + "libraries/" + ident + "/web_c/cache.chx");
  const std::string site = "http://127.0.0.1:" + std::to_string(port_);
  EXPECT_NE(table.find("|" + site + "/page/a|"), std::string::npos) << table;
  EXPECT_NE(table.find("|" + site + "/page/b|"), std::string::npos) << table;
}

TEST_F(SearchRequestsTest, QuickSearchHitsReadsTheListBack) {
  WriteControl("0", "0", "0", "0", "0");  // the request's engine part decides
  std::vector<DocumentRecord> hits;
  EXPECT_EQ(QuickSearchHits("tidal power", "&se_ctrl=0+1+0+0+0&se_num=0+15+0+0+0", &hits), "");
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/two?q=tidal+power&n=15"}));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].uri, "http://example.org/shared");
  EXPECT_EQ(hits[0].name, "Shared again");
  EXPECT_EQ(hits[0].fetcher, "Two");
  EXPECT_EQ(hits[1].uri, "http://example.org/wind");
  EXPECT_EQ(hits[1].type, ".htm");
  EXPECT_EQ(hits[1].ord, 2);

  EXPECT_NE(QuickSearchHits("  ", "&se_ctrl=0+1+0+0+0", &hits), "");
  fs::remove(data_ + "se.ini");
  testing::internal::CaptureStderr();
  const std::string failure = QuickSearchHits("tides", "&se_ctrl=1+0+0+0+0", &hits);
  testing::internal::GetCapturedStderr();
  EXPECT_NE(failure.find("se.ini"), std::string::npos) << failure;
  EXPECT_TRUE(hits.empty());
}

// The application's searches: the quick search lists the hits, the basic
// search stores them in a new library; both on the application's worker.
TEST_F(SearchRequestsTest, TheApplicationsSearchesRunOnItsWorker) {
  engines_[2] = LocalEngine();
  WriteDefinitions();
  WriteControl("1", "1", "1", "1", "1");  // the engine page decides
  SettingsStore store;
  for (int i = 0; i < settings::kSearchEngines; ++i) {
    Write(&store, settings::kSelectedEngine[i], i == 2 ? 1 : 0);
    Write(&store, settings::kEngineResults[i], 4);
  }
  SharedSettings settings(&store);
  EventQueue events;
  OperationWorker worker(&events, &settings);
  AcquisitionSession session(&events, &settings, &worker);

  ASSERT_TRUE(session.StartQuickSearch("tidal power"));
  worker.Wait();
  std::vector<nlohmann::json> seen = events.After(0);
  for (nlohmann::json& event : seen) event.erase("seq");
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], BusyEvent(true, "Internet Search 'tidal power'"));
  EXPECT_EQ(seen[1]["type"], "list");
  EXPECT_EQ(seen[1]["title"], "[Quick Search Results]");
  EXPECT_EQ(seen[1]["quick"], true);
  ASSERT_EQ(seen[1]["records"].size(), 2u);
  EXPECT_EQ(seen[1]["records"][0]["uri"], site_.Site() + "/page/a");
  EXPECT_EQ(seen[1]["records"][0]["source"], "Local");
  EXPECT_EQ(seen[2], CompletionEvent(kQuickSearchDone));
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/local?q=tidal+power&n=4"}));

  const int64_t before = events.LastSeq();
  InternetRequest search{AcquisitionMode::kBasicSearch, "tidal power", {}, {true, "Tides", ""}};
  ASSERT_TRUE(session.StartInternet(search));
  worker.Wait();
  seen = events.After(before);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0]["title"], "Internet Search 'Tides'");
  EXPECT_EQ(seen[1]["code"], kSearchDone);
  std::vector<LibraryInfo> libraries;
  ASSERT_EQ(ListLibraries(&libraries), "");
  const auto tides = std::find_if(libraries.begin(), libraries.end(),
                                  [](const LibraryInfo& l) { return l.name == "Tides"; });
  ASSERT_NE(tides, libraries.end());
  EXPECT_EQ(tides->documents, 2);
}

}  // namespace
}  // namespace qora
