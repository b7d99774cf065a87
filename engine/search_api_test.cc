// The meta-search through the engine's entry points, against fake search
// engines served on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "acquire/search_engines.h"
#include "engine/engine.h"
#include "engine/workspace.h"
#include "qora/engine.h"
#include "store/document_id.h"
#include "store/document_store.h"
#include "tests/engine_status.h"
#include "tests/fake_search_engines.h"
#include "tests/hostile_server.h"
#include "tests/meta_search_fixture.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::BrokenEngine;
using test::EngineOne;
using test::EngineSection;
using test::EngineTwo;
using test::NoMarkEngine;

// The fixture with the engine's result lists at hand.
class MetaSearchTest : public test::MetaSearchFixture {
 protected:
  // Runs the quick search through the entry point; its result in *result.
  const ResultList* Quick(const std::string& words, const std::string& parameters, int* result) {
    EngineQuickSearch(words.c_str(), parameters.c_str(), workspace_, result);
    Workspace* space = CurrentEngine()->registry().FindAs<Workspace>(workspace_);
    return space == nullptr ? nullptr : space->registry().FindAs<ResultList>(*result);
  }

  static std::set<std::string> Addresses(const ResultList& list) {
    std::set<std::string> addresses;
    for (size_t i = 0; i < list.count(); ++i) addresses.insert(list.item(i).uri);
    return addresses;
  }

  static const DocumentRecord* Find(const ResultList& list, const std::string& uri) {
    for (size_t i = 0; i < list.count(); ++i) {
      if (list.item(i).uri == uri) return &list.item(i);
    }
    return nullptr;
  }

  std::string Status() { return test::EngineStatusText(); }
};

TEST_F(MetaSearchTest, QuickSearchListsTheHitsCutByThePatterns) {
  int handle = -2;
  const ResultList* list = Quick("tidal power", "", &handle);
  ASSERT_NE(list, nullptr) << handle;
  EXPECT_EQ(Status(), "Begin searching");
  // Five hits: the advertisement before the start mark, the piece without an
  // address end and the early hit of engine two are none, and the address
  // both engines report is listed once.
  EXPECT_EQ(list->count(), 5u);

  EXPECT_EQ(Addresses(*list),
            (std::set<std::string>{"http://example.org/tides", "http://example.org/report.PDF",
                                   "http://example.org/a/b", "http://example.org/shared",
                                   "http://example.org/wind"}));
  // Ranks and positions count the list in order.
  for (size_t i = 0; i < list->count(); ++i) {
    EXPECT_EQ(list->item(i).ord, static_cast<int>(i + 1));
    EXPECT_DOUBLE_EQ(list->item(i).rank, static_cast<double>(i + 1));
  }
  const DocumentRecord* tides = Find(*list, "http://example.org/tides");
  ASSERT_NE(tides, nullptr);
  EXPECT_EQ(tides->buri, tides->uri);
  EXPECT_EQ(tides->fetcher, "One");
  EXPECT_EQ(tides->type, ".htm");
  EXPECT_EQ(tides->name, "Tidal power basics");
  EXPECT_EQ(tides->header, "Tidal power basics");
  EXPECT_TRUE(tides->docid.empty());
  EXPECT_EQ(tides->parent_handle, 0);
  const DocumentRecord* report = Find(*list, "http://example.org/report.PDF");
  ASSERT_NE(report, nullptr);
  EXPECT_EQ(report->type, ".pdf");
  const DocumentRecord* wind = Find(*list, "http://example.org/wind");
  ASSERT_NE(wind, nullptr);
  EXPECT_EQ(wind->fetcher, "Two");
  EXPECT_EQ(wind->name, "Wind farms");

  // The query went out with "+" between the words and the result count last.
  std::vector<std::string> seen = SeenRequests();
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"/one?q=tidal+power&n=10", "/two?q=tidal+power&n=20"}));
}

TEST_F(MetaSearchTest, TheSameHitFromTwoEnginesIsListedOnce) {
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  int shared = 0;
  for (size_t i = 0; i < list->count(); ++i) {
    if (list->item(i).uri == "http://example.org/shared") {
      ++shared;
      // Only the engine that reported it first lists it.
      EXPECT_TRUE(list->item(i).fetcher == "One" || list->item(i).fetcher == "Two");
    }
  }
  EXPECT_EQ(shared, 1);
  EXPECT_EQ(list->count(), 5u);
}

TEST_F(MetaSearchTest, ParameterStringSwitchesEnginesAndCounts) {
  WriteControl("1", "1", "1", "1", "1");
  int handle = -2;
  const ResultList* list = Quick("tides", "&se_ctrl=1+0+0+0+0&se_num=7", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/one?q=tides&n=7"}));
  EXPECT_EQ(list->count(), 4u);
  for (size_t i = 0; i < list->count(); ++i) EXPECT_EQ(list->item(i).fetcher, "One");
}

TEST_F(MetaSearchTest, ControlFileSwitchesEngines) {
  WriteControl("0", "1", "0", "0", "0");
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/two?q=tides&n=20"}));
  EXPECT_EQ(Addresses(*list),
            (std::set<std::string>{"http://example.org/shared", "http://example.org/wind"}));
}

TEST_F(MetaSearchTest, BrokenPatternCostsOnlyItsOwnEngine) {
  engines_[1] = BrokenEngine();
  WriteDefinitions();
  int handle = -2;
  testing::internal::CaptureStderr();
  const ResultList* list = Quick("tides", "", &handle);
  const std::string errors = testing::internal::GetCapturedStderr();
  ASSERT_NE(list, nullptr);
  EXPECT_NE(errors.find("regcomp() error\n"), std::string::npos) << errors;
  // The broken engine's page was fetched, but only engine one gave hits.
  EXPECT_EQ(SeenRequests().size(), 2u);
  EXPECT_EQ(list->count(), 4u);
  for (size_t i = 0; i < list->count(); ++i) EXPECT_EQ(list->item(i).fetcher, "One");

  // The engine goes on working afterwards.
  engines_[1] = EngineTwo();
  WriteDefinitions();
  list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 5u);
}

TEST_F(MetaSearchTest, PageWithoutStartMarkOrUnreachableEngineGivesNoHits) {
  WriteControl("0", "0", "1", "0", "0");
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SeenRequests().size(), 1u);
  EXPECT_EQ(list->count(), 0u);

  // A missing second start mark, and an engine nobody answers for.
  engines_[1].cue2 = "<div class=\"absent\">";
  engines_[3].path = "/one";
  WriteDefinitions();
  std::string text = test::ReadFile(data_ + "se.ini");
  const std::string mine = "http://127.0.0.1:" + std::to_string(port_) + "/one";
  const size_t fourth = text.find("[engine4]");
  const size_t at = text.find(mine, fourth);
  text.replace(at, mine.size(), "http://127.0.0.1:1/one");
  test::WriteFile(data_ + "se.ini", text);
  WriteControl("0", "1", "0", "1", "0");
  list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 0u);
}

TEST_F(MetaSearchTest, NoEngineSwitchedOnGivesAnEmptyList) {
  WriteControl("0", "0", "0", "0", "0");
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_TRUE(SeenRequests().empty());
}

TEST_F(MetaSearchTest, EmptyQueryFetchesNothing) {
  MetaSearch search(&CurrentEngine()->environment(), "temp");
  EXPECT_EQ(search.QuickSearch("", ""), -1);
  int handle = -2;
  const ResultList* list = Quick("", "", &handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_TRUE(SeenRequests().empty());
}

TEST_F(MetaSearchTest, MissingDefinitionFileIsReportedWithoutAList) {
  fs::remove(data_ + "se.ini");
  testing::internal::CaptureStderr();
  int handle = -2;
  EngineQuickSearch("tides", "", workspace_, &handle);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(handle, -1);
  EXPECT_NE(errors.find("se.ini"), std::string::npos) << errors;
  EXPECT_TRUE(SeenRequests().empty());
}

TEST_F(MetaSearchTest, UnknownWorkspaceIsRefused) {
  int handle = -2;
  EngineQuickSearch("tides", "", workspace_ + 1000, &handle);
  EXPECT_EQ(handle, -1);
  EXPECT_TRUE(SeenRequests().empty());
}

TEST_F(MetaSearchTest, StopRequestWaitsForTheEngineBeingFetched) {
  engines_[0].path = "/held";
  WriteDefinitions();
  WriteControl("1", "0", "0", "0", "0");
  int handle = -2;
  const ResultList* list = nullptr;
  std::thread searching([&] { list = Quick("tides", "", &handle); });
  while (SeenRequests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  int result = -2;
  EngineSetStop(1, &result);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Status() != "Stop requested. Please wait..." &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(Status(), "Stop requested. Please wait...");
  site_.OpenGate();
  searching.join();
  // The engine being fetched was finished, not cut off.
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 4u);
}

TEST_F(MetaSearchTest, HostileEnginesCostOnlyTheirOwnHits) {
  // Four of the five engines answer from hostile servers: a result page
  // without end (plain and chunked), one byte every 200 ms, a reset. With
  // time-outs of one second each fetch ends by its deadline (three seconds)
  // at the latest; the endless pages stop being read at the 8 MB a result
  // page may have; the fifth engine's hits are listed as ever.
  std::string ini = test::ReadFile(data_ + "crawl.ini");
  for (const char* key : {"socket_send_timeout", "socket_rec_timeout"}) {
    ini = std::regex_replace(ini, std::regex(std::string("(^|\n)") + key + " *=[^\n]*"),
                             std::string("$1") + key + " = 1000");
  }
  test::WriteFile(data_ + "crawl.ini", ini);
  constexpr int64_t kMiB = 1024 * 1024;
  using Kind = test::HostileServer::Kind;
  test::HostileServer flood(Kind::kFlood, 300 * kMiB);
  test::HostileServer chunked(Kind::kChunkedFlood, 300 * kMiB);
  test::HostileServer drip(Kind::kDrip, 1000, std::chrono::milliseconds(200));
  test::HostileServer reset(Kind::kReset, 0);
  engines_ = {EngineOne(), EngineOne(), EngineOne(), EngineOne(), EngineOne()};
  WriteDefinitions();
  std::string text = test::ReadFile(data_ + "se.ini");
  const std::string mine = "http://127.0.0.1:" + std::to_string(port_) + "/one";
  const std::vector<const test::HostileServer*> hostile = {&flood, &chunked, &drip, &reset};
  for (size_t i = 0; i < hostile.size(); ++i) {
    ASSERT_GT(hostile[i]->port(), 0);
    const size_t at = text.find(mine, text.find("[engine" + std::to_string(i + 1) + "]"));
    text.replace(at, mine.size(), hostile[i]->Url("/one"));
  }
  test::WriteFile(data_ + "se.ini", text);
  WriteControl("1", "1", "1", "1", "1");

  const bool reset_peak = test::ResetPeakResident();
  const int64_t base = test::ProcessStatusBytes(reset_peak ? "VmRSS:" : "VmHWM:");
  const auto begin = std::chrono::steady_clock::now();
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - begin);
  const int64_t peak_added = test::ProcessStatusBytes("VmHWM:") - base;
  ASSERT_NE(list, nullptr);
  std::printf(
      "[ hostile ] meta-search, four hostile engines of five: %lld ms, peak +%lld MiB, "
      "stored %zu\n",
      static_cast<long long>(elapsed.count()), static_cast<long long>(peak_added / kMiB),
      list->count());
  EXPECT_LT(elapsed, std::chrono::milliseconds(3000 + 6000));
  EXPECT_EQ(list->count(), 4u);  // engine One's four hits, from the fifth engine
  for (const test::HostileServer* server : hostile) {
    EXPECT_EQ(server->Requests(), 1);
    EXPECT_TRUE(server->WaitUntilAllClosed(std::chrono::seconds(5)));
  }
  // The endless pages were cut off: 8 MB and what the socket buffers held.
  EXPECT_LT(flood.BytesSent(), 64 * kMiB);
  EXPECT_LT(chunked.BytesSent(), 64 * kMiB);
  if (test::kResidentFiguresMeaningful) {
    EXPECT_LT(peak_added, 128 * kMiB);
  }
}

// Engine One's hits read 'href="ADDRESS">TEXT</a>'. When the address ends at
// the first fitting alternative of '"|">', that is the quote alone, and the
// text keeps the ">" after it.
TEST_F(MetaSearchTest, HitsAreCutAtTheFirstFittingAlternative) {
  WriteControl("1", "0", "0", "0", "0");
  engines_[0].sep1 = "\"|\">";
  WriteDefinitions();
  int handle = -2;
  const ResultList* list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  const DocumentRecord* tides = Find(*list, "http://example.org/tides");
  ASSERT_NE(tides, nullptr);
  EXPECT_EQ(tides->name, ">Tidal power basics");

  engines_[0].sep1 = "\">|\"";
  WriteDefinitions();
  list = Quick("tides", "", &handle);
  ASSERT_NE(list, nullptr);
  tides = Find(*list, "http://example.org/tides");
  ASSERT_NE(tides, nullptr);
  EXPECT_EQ(tides->name, "Tidal power basics");
}

TEST_F(MetaSearchTest, SearchForCrawlQueuesHitsWithoutListing) {
  MetaSearch search(&CurrentEngine()->environment(), "temp");
  ASSERT_EQ(search.SearchForCrawl("tides", "dpth=0"), 0);
  EXPECT_EQ(search.results().count(), 0u);
  EXPECT_EQ(search.queued_count(), 5);
  ASSERT_EQ(search.frontier().size(), 5u);
  for (size_t i = 0; i < search.frontier().size(); ++i) {
    EXPECT_EQ(search.frontier().at(i).depth, 0);
  }
  EXPECT_TRUE(search.frontier().Contains(MakeDocumentId("http://example.org/wind")));
  // With depth 0 the address budget is the number of hits.
  EXPECT_EQ(search.settings().maxSites, 5);
}

TEST_F(MetaSearchTest, InstalledDefinitionsReadAndCompile) {
  fs::copy_file(test::SourceDataFolder() + "se.ini", data_ + "se.ini",
                fs::copy_options::overwrite_existing);
  fs::copy_file(test::SourceDataFolder() + "se_ctrl.ini", data_ + "se_ctrl.ini",
                fs::copy_options::overwrite_existing);
  MetaSearch search(&CurrentEngine()->environment(), "temp");
  search.ReadSearchEngines();
  const auto& engines = search.settings().searchEngines;
  EXPECT_EQ(engines[0].control, "1");
  for (size_t i = 1; i < engines.size(); ++i) EXPECT_EQ(engines[i].control, "0") << i;
  int defined = 0;
  testing::internal::CaptureStderr();
  for (const SearchEngineDefinition& engine : engines) {
    if (engine.url.empty()) continue;
    ++defined;
    EXPECT_FALSE(engine.name.empty());
    EXPECT_FALSE(engine.resultCount.empty());
    for (const std::string* pattern : {&engine.cue1, &engine.hit, &engine.sep1, &engine.sep2}) {
      EXPECT_FALSE(pattern->empty()) << engine.sectionName;
      SplitByPattern("text to split", *pattern);
    }
    if (!engine.cue2.empty()) SplitByPattern("text to split", engine.cue2);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_GE(defined, 1);
}

TEST_F(MetaSearchTest, InstalledFirstEngineCutsItsPageLayout) {
  std::string text = test::ReadFile(test::SourceDataFolder() + "se.ini");
  const std::string url = "https://html.duckduckgo.com/html/";
  text.replace(text.find(url), url.size(), "http://127.0.0.1:" + std::to_string(port_) + "/html/");
  test::WriteFile(data_ + "se.ini", text);
  WriteControl("1", "0", "0", "0", "0");
  int handle = -2;
  const ResultList* list = Quick("tidal power", "", &handle);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ(list->item(0).uri, "https://example.org/tides");
  EXPECT_EQ(list->item(0).name, "Tidal power");
  EXPECT_EQ(list->item(0).fetcher, "DuckDuckGo");
  EXPECT_EQ(list->item(1).uri, "https://example.org/wave.pdf");
  EXPECT_EQ(list->item(1).type, ".pdf");
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/html/?q=tidal+power&n=10"}));
}

TEST_F(MetaSearchTest, SearchIntoStoreRefusesUnknownStoreAndEmptyQueryFetchesNothing) {
  int result = -2;
  EngineSearchIntoStore(9999, "tides", "", &result);
  EXPECT_EQ(result, 1);
  int temp = CurrentEngine()->temp_store_handle();
  EngineSearchIntoStore(temp, "", "", &result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(SeenRequests().empty());
  fs::remove(data_ + "se_ctrl.ini");
  testing::internal::CaptureStderr();
  EngineSearchIntoStore(temp, "tides", "", &result);
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result, -1);
  EXPECT_NE(errors.find("se_ctrl.ini"), std::string::npos) << errors;
  EXPECT_TRUE(SeenRequests().empty());
}

}  // namespace
}  // namespace qora
