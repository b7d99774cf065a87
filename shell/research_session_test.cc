#include "shell/research_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <set>
#include <thread>
#include <tuple>

#include "qora/engine.h"
#include "shell/command_dispatcher.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "shell/library_commands.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

using nlohmann::json;
using Calls = std::vector<std::string>;

std::string N(int value) { return std::to_string(value); }

// True when the file `path` names exists; the path may be a "file://"
// address, as the engine hands out map paths.
bool FileExists(std::string path) {
  if (path.rfind("file://", 0) == 0) path.erase(0, 7);
  return std::ifstream(path).good();
}

TEST(MapFileNameTest, WritesTheClockInBaseThirty) {
  EXPECT_EQ(MapFileName(0), "map0.dml");
  EXPECT_EQ(MapFileName(29), "mapt.dml");
  EXPECT_EQ(MapFileName(30), "map10.dml");
  EXPECT_EQ(MapFileName(900), "map100.dml");
  EXPECT_EQ(MapFileName(12345), "mapdlf.dml");  // 13*900 + 21*30 + 15
  EXPECT_EQ(MapFileName(-7), "map0.dml");
}

TEST(DocumentListOfTest, ClosesEveryEntry) {
  EXPECT_EQ(DocumentListOf({}), "");
  EXPECT_EQ(DocumentListOf({{3, "ab"}, {12, "cd"}}), "3,ab;12,cd;");
}

// A data folder with the library "Corpus" (the 30 topic documents) and the
// library "Second" (the first five of them again), an engine started on it,
// its workspace, and the application's objects around them. Every engine
// call of the flows is recorded.
class ResearchSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "qoralibs/";
    ASSERT_EQ(InitDataFolder(test::SourceDataFolder(), data_), "");
    ASSERT_EQ(engine_session_.Start(data_), 0);
    files_ = test::CorpusFiles();
    ASSERT_EQ(files_.size(), 30u);
    ASSERT_EQ(NewLibrary("Corpus", &corpus_), "");
    ids_ = test::AddTextDocuments(data_ + "libraries/" + corpus_ + "/loc_c/", files_);
    ASSERT_EQ(ProcessLibrary("Corpus", false), "");
    ASSERT_EQ(NewLibrary("Second", &second_), "");
    test::AddTextDocuments(data_ + "libraries/" + second_ + "/loc_c/",
                           std::vector<std::string>(files_.begin(), files_.begin() + 5));
    ASSERT_EQ(ProcessLibrary("Second", false), "");
    EngineOpenWorkspace("wkspc.ini", &workspace_);
    ASSERT_GT(workspace_, 0);
    session_.SetWorkspace(workspace_);
  }

  // The handle of the open library `ident`.
  static int StoreOf(const std::string& ident) {
    int handle = -1;
    EngineFindStore(ident.c_str(), &handle);
    return handle;
  }

  // The document id of the corpus file whose name contains `part`.
  std::string IdOf(const std::string& part) const {
    for (size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].find(part) != std::string::npos) return ids_[i];
    }
    return "";
  }

  // Waits for the flow that `started` reports, which must have started.
  void Finish(bool started) {
    ASSERT_TRUE(started);
    worker_.Wait();
  }

  // The calls recorded since the last TakeCalls().
  Calls TakeCalls() {
    std::lock_guard<std::mutex> lock(calls_mutex_);
    Calls taken;
    taken.swap(calls_);
    return taken;
  }

  // The events pushed after `seq`, without their sequence numbers.
  std::vector<json> EventsAfter(int64_t seq) {
    std::vector<json> events = events_.After(seq);
    for (json& event : events) event.erase("seq");
    return events;
  }
  std::vector<json> Events() { return EventsAfter(0); }

  // The events of kind `type` among `events`.
  static std::vector<json> OfType(const std::vector<json>& events, const std::string& type) {
    std::vector<json> found;
    for (const json& event : events) {
      if (event["type"] == type) found.push_back(event);
    }
    return found;
  }

  // The research with `keywords` of the Corpus library, run to its end.
  void ResearchCorpus(const std::string& keywords) {
    Finish(session_.StartResearch(ResearchKind::kKeywords, keywords, {corpus_}));
  }

  test::TempDir dir_;
  std::string data_;
  EngineSession engine_session_;
  std::vector<std::string> files_;
  std::vector<std::string> ids_;
  std::string corpus_;
  std::string second_;
  int workspace_ = -1;

  SettingsStore store_;
  SharedSettings settings_{&store_};
  EventQueue events_;
  OperationWorker worker_{&events_, &settings_};
  std::mutex calls_mutex_;
  Calls calls_;
  EngineCalls engine_{[this](const std::string& call) {
    std::lock_guard<std::mutex> lock(calls_mutex_);
    calls_.push_back(call);
  }};
  ResearchSession session_{&events_, &settings_, &worker_, &engine_};
};

TEST_F(ResearchSessionTest, AKeywordResearchSelectsTheLibrariesThenRanksInTheFixedOrder) {
  ResearchCorpus("honey bees hive");
  const int store = StoreOf(corpus_);
  const int query = session_.CurrentQuery();
  ASSERT_GT(query, 0);
  const std::string ws = N(workspace_);
  const Calls calls = TakeCalls();
  ASSERT_EQ(calls.size(), 12u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 10),
            Calls({"EngineOpenStore " + corpus_, "EngineListStores",
                   "EngineLoadStoreStatistics " + N(store),
                   "EngineAddStoreToWorkspace " + N(store) + " " + ws, "EnginePrepareRanking " + ws,
                   "EngineReleaseStoreStatistics " + N(store), "EngineNewQuery " + ws,
                   "EngineSetQueryKeywords " + N(query) + " honey bees hive " + ws,
                   "EnginePrepareQuery " + N(query) + " " + ws,
                   "EngineRankDocuments " + N(query) + " 100 " + ws}));
  // The result list's handle is the engine's next one.
  EXPECT_EQ(calls[10], "EngineWriteResultList " + N(query + 1) + " " + ws);
  // The library's name is asked once for the list's title and rows.
  EXPECT_EQ(Calls(calls.begin() + 11, calls.end()), Calls({"EngineGetObjectName " + N(store)}));
  EXPECT_FALSE(session_.SelectionChanged());
  EXPECT_EQ(session_.ResearchText(ResearchKind::kKeywords), "honey bees hive");

  const std::vector<json> events = Events();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0], BusyEvent(true, "Research Libraries"));
  EXPECT_EQ(events[1], WordBarEvent("honey bees hive"));
  EXPECT_EQ(events[2], TitleEvent("Library Search 'honey bees hive'"));
  const json& list = events[3];
  EXPECT_EQ(list["type"], "list");
  EXPECT_EQ(list["title"], "Corpus");
  EXPECT_EQ(list["quick"], false);
  ASSERT_FALSE(list["records"].empty());
  EXPECT_EQ(list["records"][0]["docid"], IdOf("04-honey-bees"));
  EXPECT_EQ(list["records"][0]["handle"], store);
  EXPECT_EQ(list["records"][0]["library"], "Corpus");
  EXPECT_GT(list["records"][0]["rank"].get<double>(), 0);
  EXPECT_EQ(events[4], CompletionEvent(kKeywordResearchDone));
  EXPECT_EQ(events[5], BusyEvent(false, ""));
  EXPECT_EQ(store_.ReadString("QueryOptions", "lastKeyWords", ""), "honey bees hive");
  EXPECT_EQ(store_.ReadString("WordBar", "searchWords", ""), "honey bees hive");
  EXPECT_EQ(store_.ReadInt("Settings", "gracefullyTerminated", 1), 0);
}

TEST_F(ResearchSessionTest, TheFetchCountSettingLimitsTheList) {
  store_.WriteInt("Settings", "docFetchCount", 2);
  ResearchCorpus("water");
  const Calls calls = TakeCalls();
  const std::string rank =
      "EngineRankDocuments " + N(session_.CurrentQuery()) + " 2 " + N(workspace_);
  EXPECT_NE(std::find(calls.begin(), calls.end(), rank), calls.end());
  const std::vector<json> lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0]["records"].size(), 2u);
}

TEST_F(ResearchSessionTest, TheLibrariesAreSelectedAgainOnlyWhenTheirChoiceChanged) {
  ResearchCorpus("glacier ice");
  TakeCalls();
  ResearchCorpus("violin");
  Calls calls = TakeCalls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0], "EngineNewQuery " + N(workspace_));

  Finish(session_.StartResearch(ResearchKind::kKeywords, "violin", {second_}));
  calls = TakeCalls();
  const int corpus = StoreOf(corpus_);
  const int second = StoreOf(second_);
  ASSERT_GE(calls.size(), 7u);
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 7),
            Calls({"EngineRemoveStoreFromWorkspace " + N(corpus) + " " + N(workspace_),
                   "EngineOpenStore " + second_, "EngineListStores",
                   "EngineLoadStoreStatistics " + N(second),
                   "EngineAddStoreToWorkspace " + N(second) + " " + N(workspace_),
                   "EnginePrepareRanking " + N(workspace_),
                   "EngineReleaseStoreStatistics " + N(second)}));
  EXPECT_EQ(session_.CheckedLibraries(), std::vector<std::string>({second_}));
  EXPECT_EQ(session_.SelectedStores(),
            (std::vector<std::pair<std::string, int>>{{second_, second}}));
  // "Second" holds no violin document: the list is empty.
  const std::vector<json> lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_TRUE(lists[2]["records"].empty());
  EXPECT_EQ(lists[2]["title"], "");
}

TEST_F(ResearchSessionTest, RecordsFromTwoLibrariesTitleTheListMultiLibrary) {
  Finish(session_.StartResearch(ResearchKind::kKeywords, "honey bees", {corpus_, second_}));
  const std::vector<json> lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0]["title"], "[Multi-Library]");
  std::set<std::string> libraries;
  for (const json& record : lists[0]["records"]) libraries.insert(record["library"]);
  EXPECT_EQ(libraries, std::set<std::string>({"Corpus", "Second"}));
}

TEST_F(ResearchSessionTest, ResearchWithoutLibrariesIsRefusedWithAWarning) {
  EXPECT_FALSE(session_.StartResearch(ResearchKind::kKeywords, "bees", {}));
  EXPECT_FALSE(worker_.Busy());
  EXPECT_EQ(Events(),
            std::vector<json>({MessageEvent(kWarning, "Please check mark the libraries first")}));
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_FALSE(store_.Contains("QueryOptions", "lastKeyWords"));
}

TEST_F(ResearchSessionTest, TenLibrariesAreResearchedButElevenAreRefused) {
  std::vector<std::string> libraries(11, corpus_);
  EXPECT_FALSE(session_.StartResearch(ResearchKind::kKeywords, "bees", libraries));
  EXPECT_EQ(Events(), std::vector<json>(
                          {MessageEvent(kWarning,
                                        "Cannot select more than 10 libraries at a time. Please "
                                        "uncheck some libraries.")}));
  EXPECT_TRUE(TakeCalls().empty());
  libraries.pop_back();
  Finish(session_.StartResearch(ResearchKind::kKeywords, "bees", libraries));
  EXPECT_EQ(OfType(Events(), "completion"), std::vector<json>({CompletionEvent(6)}));
}

TEST_F(ResearchSessionTest, AnEmptyTextEndsWithMinusTwoAndNoWorkspaceWithMinusOne) {
  Finish(session_.StartResearch(ResearchKind::kPassage, "", {corpus_}));
  EXPECT_EQ(OfType(Events(), "completion"), std::vector<json>({CompletionEvent(-2)}));
  const Calls calls = TakeCalls();
  ASSERT_FALSE(calls.empty());
  // The libraries were selected before the text was found empty.
  EXPECT_EQ(calls.back(), "EngineReleaseStoreStatistics " + N(StoreOf(corpus_)));
  EXPECT_TRUE(OfType(Events(), "list").empty());

  session_.SetWorkspace(-1);
  const int64_t seen = events_.LastSeq();
  Finish(session_.StartResearch(ResearchKind::kKeywords, "bees", {corpus_}));
  EXPECT_EQ(OfType(EventsAfter(seen), "completion"), std::vector<json>({CompletionEvent(-1)}));
  for (const std::string& call : TakeCalls()) {
    EXPECT_NE(call.rfind("EngineNewQuery", 0), 0u) << call;
  }
}

TEST_F(ResearchSessionTest, PassageConceptAndDocumentResearchesUseTheirSetterAndCode) {
  Finish(
      session_.StartResearch(ResearchKind::kPassage, "Bees store honey in the hive.", {corpus_}));
  Calls calls = TakeCalls();
  int query = session_.CurrentQuery();
  EXPECT_NE(std::find(calls.begin(), calls.end(),
                      "EngineSetQueryPassage " + N(query) + " Bees store honey in the hive. " +
                          N(workspace_)),
            calls.end());
  EXPECT_EQ(store_.ReadString("QueryOptions", "lastPassage", ""), "Bees store honey in the hive.");

  Finish(session_.StartResearch(ResearchKind::kConcepts, "7;9;", {corpus_}));
  calls = TakeCalls();
  query = session_.CurrentQuery();
  EXPECT_EQ(calls[1], "EngineSetQueryConcepts " + N(query) + " 7;9; " + N(workspace_));

  const int store = StoreOf(corpus_);
  session_.SetSelectedDocuments({{store, IdOf("07-coral-reefs")}});
  Finish(session_.StartResearch(ResearchKind::kDocuments, "ignored", {corpus_}));
  calls = TakeCalls();
  query = session_.CurrentQuery();
  const std::string list = N(store) + "," + IdOf("07-coral-reefs") + ";";
  EXPECT_EQ(calls[1], "EngineSetQueryDocuments " + N(query) + " " + list + " " + N(workspace_));
  EXPECT_EQ(session_.ResearchText(ResearchKind::kDocuments), list);

  const std::vector<json> events = Events();
  EXPECT_EQ(OfType(events, "completion"),
            std::vector<json>({CompletionEvent(12), CompletionEvent(14), CompletionEvent(9)}));
  EXPECT_EQ(OfType(events, "title"),
            std::vector<json>({TitleEvent("Library Search using Passage"),
                               TitleEvent("Library Search using Concepts"),
                               TitleEvent("Library Search using Documents")}));
  std::vector<json> busy;
  for (const json& event : OfType(events, "busy")) {
    if (event["busy"] == true) busy.push_back(event["title"]);
  }
  EXPECT_EQ(busy, std::vector<json>({"Research Libraries using Passage",
                                     "Research Libraries using Selected Concepts",
                                     "Find Similar Documents in Libraries"}));
  const std::vector<json> lists = OfType(events, "list");
  ASSERT_EQ(lists.size(), 3u);
  ASSERT_FALSE(lists[2]["records"].empty());
  EXPECT_EQ(lists[2]["records"][0]["docid"], IdOf("07-coral-reefs"));
}

TEST_F(ResearchSessionTest, ThePreviewSummarizesWithTheBiasSettingThenMapsTheDocument) {
  ResearchCorpus("honey bees hive");
  TakeCalls();
  const int research_query = session_.CurrentQuery();
  store_.WriteInt("Settings1", "biasPercent", 60);
  store_.WriteInt("Settings1", "nMaxConcepts", 3);
  const int store = StoreOf(corpus_);
  const std::string list = N(store) + "," + IdOf("04-honey-bees") + ";";
  const int64_t seen = events_.LastSeq();
  Finish(session_.StartPreview({store, IdOf("04-honey-bees")}));

  const std::string ws = N(workspace_);
  const Calls calls = TakeCalls();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[0], "EngineSummarize " + N(research_query) + " " + list + " " + ws + " 60");
  EXPECT_EQ(calls[1].rfind("EngineWriteResultList ", 0), 0u);
  EXPECT_EQ(calls[2], "EngineNewQuery " + ws);
  const std::string map_query =
      calls[3].substr(std::string("EngineSetQueryDocuments ").size(), calls[3].find(' ', 24) - 24);
  EXPECT_EQ(calls[3], "EngineSetQueryDocuments " + map_query + " " + list + " " + ws);
  EXPECT_EQ(calls[4], "EnginePrepareQuery " + map_query + " " + ws);
  EXPECT_EQ(calls[5],
            "EngineConceptMap &wkspc_h=" + ws + "&qry_h=" + map_query + "&number1=3&number2=5");
  EXPECT_EQ(calls[6].rfind("EngineWriteMap map", 0), 0u) << calls[6];
  EXPECT_NE(calls[6].find(".dml "), std::string::npos) << calls[6];

  const std::vector<json> events = EventsAfter(seen);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0], BusyEvent(true, "Preview"));
  EXPECT_EQ(events[1]["kind"], "sumry");
  EXPECT_TRUE(FileExists(events[1]["dml"])) << events[1];
  EXPECT_EQ(events[2]["kind"], "map");
  EXPECT_TRUE(FileExists(events[2]["dml"])) << events[2];
  EXPECT_EQ(events[3], CompletionEvent(kPreviewDone));
  EXPECT_EQ(session_.CurrentDocument(), (DocumentRef{store, IdOf("04-honey-bees")}));
  EXPECT_EQ(session_.display_mode(), DisplayMode::kSingle);
  EXPECT_EQ(session_.ConceptMaps()[0], events[2]["dml"]);
}

TEST_F(ResearchSessionTest, AnalyzeRefusesNoneAndMoreThanFiveDocuments) {
  const int store = StoreOf(corpus_);
  EXPECT_FALSE(session_.Analyze({}));
  std::vector<DocumentRef> six;
  for (int i = 0; i < 6; ++i) six.push_back({store, ids_[static_cast<size_t>(i)]});
  EXPECT_FALSE(session_.Analyze(six));
  worker_.Wait();
  EXPECT_EQ(Events(),
            std::vector<json>({MessageEvent(kWarning, "Please checkmark documents first"),
                               MessageEvent(kWarning,
                                            "Cannot analyze more than 5 documents at a time. "
                                            "Please uncheck some documents.")}));
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_TRUE(session_.SelectedDocuments().empty());
}

TEST_F(ResearchSessionTest, AnalyzingOneDocumentPreviewsItInViewKindThree) {
  const int store = StoreOf(corpus_);
  Finish(session_.Analyze({{store, IdOf("12-glaciers")}}));
  EXPECT_EQ(store_.ReadInt("Settings", "previewPaneSingleDocType", 1), 3);
  EXPECT_EQ(session_.CurrentDocument(), (DocumentRef{store, IdOf("12-glaciers")}));
  const Calls calls = TakeCalls();
  ASSERT_FALSE(calls.empty());
  // No research ran: the summary is unbiased (query -1) with the default bias.
  EXPECT_EQ(calls[0], "EngineSummarize -1 " + N(store) + "," + IdOf("12-glaciers") + "; " +
                          N(workspace_) + " 85");
  const std::vector<json> events = Events();
  EXPECT_EQ(OfType(events, "completion"), std::vector<json>({CompletionEvent(kPreviewDone)}));
  ASSERT_EQ(OfType(events, "page").size(), 2u);
}

TEST_F(ResearchSessionTest, AnalyzingSeveralDocumentsSummarizesThemTogetherThenMapsThem) {
  const int store = StoreOf(corpus_);
  const std::vector<DocumentRef> checked = {{store, IdOf("02-volcanoes")},
                                            {store, IdOf("18-earthquakes")}};
  const std::string list = DocumentListOf(checked);
  Finish(session_.Analyze(checked));
  EXPECT_EQ(store_.ReadInt("Settings", "previewPaneMultipleDocType", 5), 3);
  EXPECT_EQ(session_.SelectedDocuments(), checked);
  EXPECT_EQ(session_.display_mode(), DisplayMode::kSeveral);

  const std::string ws = N(workspace_);
  const Calls calls = TakeCalls();
  ASSERT_EQ(calls.size(), 10u);
  const std::string query = calls[1].substr(24, calls[1].find(' ', 24) - 24);
  EXPECT_EQ(calls[0], "EngineNewQuery " + ws);
  EXPECT_EQ(calls[1], "EngineSetQueryDocuments " + query + " " + list + " " + ws);
  EXPECT_EQ(calls[2], "EnginePrepareQuery " + query + " " + ws);
  EXPECT_EQ(calls[3], "EngineSummarize " + query + " " + list + " " + ws + " 100");
  EXPECT_EQ(calls[4].rfind("EngineWriteMap csummary.dml ", 0), 0u) << calls[4];
  EXPECT_EQ(calls[5], "EngineNewQuery " + ws);
  const std::string map_query = calls[6].substr(24, calls[6].find(' ', 24) - 24);
  EXPECT_NE(map_query, query);
  EXPECT_EQ(calls[6], "EngineSetQueryDocuments " + map_query + " " + list + " " + ws);
  EXPECT_EQ(calls[7], "EnginePrepareQuery " + map_query + " " + ws);
  EXPECT_EQ(calls[8],
            "EngineConceptMap &wkspc_h=" + ws + "&qry_h=" + map_query + "&number1=4&number2=5");
  EXPECT_EQ(calls[9].rfind("EngineWriteMap map", 0), 0u) << calls[9];

  const std::vector<json> pages = OfType(Events(), "page");
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]["kind"], "csum");
  EXPECT_NE(pages[0]["dml"].get<std::string>().find("csummary.dml"), std::string::npos);
  EXPECT_TRUE(FileExists(pages[0]["dml"]));
  EXPECT_EQ(pages[1]["kind"], "map");
  EXPECT_TRUE(FileExists(pages[1]["dml"]));
  EXPECT_EQ(OfType(Events(), "completion"), std::vector<json>({CompletionEvent(kAnalysisDone)}));
}

TEST_F(ResearchSessionTest, TheAnalysisCommandRunsOnTheSelectedDocumentsOnly) {
  EXPECT_FALSE(session_.StartAnalysis());
  EXPECT_TRUE(Events().empty());
  const int store = StoreOf(corpus_);
  session_.SetSelectedDocuments({{store, IdOf("02-volcanoes")}, {store, IdOf("12-glaciers")}});
  Finish(session_.StartAnalysis());
  EXPECT_EQ(session_.display_mode(), DisplayMode::kSeveral);
  EXPECT_EQ(OfType(Events(), "completion"), std::vector<json>({CompletionEvent(kAnalysisDone)}));
  EXPECT_EQ(TakeCalls().size(), 10u);
  // The view kind changes only through Analyze.
  EXPECT_FALSE(store_.Contains("Settings", "previewPaneMultipleDocType"));
}

TEST_F(ResearchSessionTest, ABiasedSummaryOfSeveralDocumentsIsCombinedAndExpandedWhenAsked) {
  const int store = StoreOf(corpus_);
  const std::vector<DocumentRef> selected = {{store, IdOf("02-volcanoes")},
                                             {store, IdOf("18-earthquakes")}};
  session_.SetSelectedDocuments(selected);
  session_.SetDisplayMode(DisplayMode::kSeveral);
  store_.WriteInt("Settings1", "expandQuery", 1);
  Finish(session_.StartBiasedSummary(ResearchKind::kKeywords, "lava"));
  const std::string ws = N(workspace_);
  Calls calls = TakeCalls();
  ASSERT_EQ(calls.size(), 6u);
  const std::string query = calls[1].substr(23, calls[1].find(' ', 23) - 23);
  EXPECT_EQ(calls[0], "EngineNewQuery " + ws);
  EXPECT_EQ(calls[1], "EngineSetQueryKeywords " + query + " lava " + ws);
  EXPECT_EQ(calls[2], "EnginePrepareQuery " + query + " " + ws);
  EXPECT_EQ(calls[3], "EngineExpandQuery " + query + " " + ws);
  EXPECT_EQ(calls[4],
            "EngineSummarize " + query + " " + DocumentListOf(selected) + " " + ws + " 100");
  EXPECT_EQ(calls[5].rfind("EngineWriteMap csummary.dml ", 0), 0u);
  EXPECT_EQ(store_.ReadInt("Settings", "previewPaneMultipleDocType", 5), 3);
  std::vector<json> events = Events();
  ASSERT_EQ(OfType(events, "page").size(), 1u);
  EXPECT_EQ(OfType(events, "page")[0]["kind"], "csum");
  EXPECT_EQ(OfType(events, "completion"), std::vector<json>({CompletionEvent(11)}));

  // Concepts are never expanded.
  Finish(session_.StartBiasedSummary(ResearchKind::kConcepts, "3;"));
  calls = TakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[3].rfind("EngineSummarize ", 0), 0u);
  // Nor is anything without the setting.
  store_.WriteInt("Settings1", "expandQuery", 0);
  Finish(session_.StartBiasedSummary(ResearchKind::kPassage, "Lava flows."));
  calls = TakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[3].rfind("EngineSummarize ", 0), 0u);
}

TEST_F(ResearchSessionTest, ABiasedSummaryOfTheCurrentDocumentShowsItsSummaryPage) {
  const int store = StoreOf(corpus_);
  session_.SetCurrentDocument({store, IdOf("04-honey-bees")});
  Finish(session_.StartBiasedSummary(ResearchKind::kKeywords, "hive"));
  const Calls calls = TakeCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[3].substr(calls[3].size() - 4), " 100");
  EXPECT_EQ(calls[4].rfind("EngineWriteResultList ", 0), 0u);
  EXPECT_EQ(store_.ReadInt("Settings", "previewPaneSingleDocType", 1), 3);
  const std::vector<json> pages = OfType(Events(), "page");
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0]["kind"], "sumry");
  EXPECT_TRUE(FileExists(pages[0]["dml"]));
  EXPECT_EQ(pages[0]["dml"].get<std::string>().find("file://"), std::string::npos);
}

TEST_F(ResearchSessionTest, TheLastThreeMapsAreRememberedAndShownAgainOnRequest) {
  const int store = StoreOf(corpus_);
  CommandDispatcher dispatcher(&session_);
  std::vector<std::string> shown;
  for (const char* part : {"04-honey-bees", "12-glaciers", "29-violin-making"}) {
    Finish(session_.StartPreview({store, IdOf(part)}));
    // Two maps made within one clock tick would share a name.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<json> pages = OfType(Events(), "page");
    shown.push_back(pages.back()["dml"]);
  }
  const std::array<std::string, 3> maps = session_.ConceptMaps();
  EXPECT_EQ(maps, (std::array<std::string, 3>{shown[2], shown[1], shown[0]}));

  int64_t seen = events_.LastSeq();
  EXPECT_EQ(dispatcher.Dispatch("lastConceptMap?level=1"), DispatchResult::kDone);
  EXPECT_EQ(EventsAfter(seen), std::vector<json>({PageEvent("map", shown[1])}));
  seen = events_.LastSeq();
  dispatcher.Dispatch("lastConceptMap?level=2");
  EXPECT_EQ(EventsAfter(seen), std::vector<json>({PageEvent("map", shown[0])}));
  seen = events_.LastSeq();
  dispatcher.Dispatch("lastConceptMap?level=3");
  EXPECT_TRUE(EventsAfter(seen).empty());
  EXPECT_EQ(session_.ConceptMaps(), maps);

  // A document that cannot be mapped clears only the current map.
  seen = events_.LastSeq();
  Finish(session_.StartPreview({store, "no-such-document"}));
  EXPECT_TRUE(OfType(EventsAfter(seen), "page").empty());
  EXPECT_EQ(session_.ConceptMaps(), (std::array<std::string, 3>{"", shown[1], shown[0]}));
}

TEST_F(ResearchSessionTest, ListingALibraryPushesItsDocumentsUnderItsName) {
  ASSERT_TRUE(session_.ListLibrary(corpus_, 0, -1));
  std::vector<json> lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0]["title"], "Corpus");
  ASSERT_EQ(lists[0]["records"].size(), 30u);
  EXPECT_EQ(lists[0]["records"][0]["library"], "Corpus");
  EXPECT_EQ(lists[0]["records"][0]["handle"], StoreOf(corpus_));

  ASSERT_TRUE(session_.ListLibrary(corpus_, -1, 1));
  lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 2u);
  EXPECT_EQ(lists[1]["records"].size(), 1u);

  // An empty library's list still names it.
  std::string empty;
  ASSERT_EQ(NewLibrary("Empty", &empty), "");
  ASSERT_TRUE(session_.ListLibrary(empty, 0, -1));
  lists = OfType(Events(), "list");
  ASSERT_EQ(lists.size(), 3u);
  EXPECT_EQ(lists[2], ListEvent("Empty", false, json::array()));

  const int64_t seen = events_.LastSeq();
  EXPECT_FALSE(session_.ListLibrary("no-such-library", 0, -1));
  EXPECT_EQ(EventsAfter(seen),
            std::vector<json>({MessageEvent(kError, "There is no library no-such-library.")}));
}

// The document ids of the list events among `events`, one vector per list.
std::vector<std::vector<std::string>> ListedIds(const std::vector<json>& events) {
  std::vector<std::vector<std::string>> lists;
  for (const json& event : events) {
    if (event["type"] != "list") continue;
    lists.emplace_back();
    for (const json& record : event["records"]) lists.back().push_back(record["docid"]);
  }
  return lists;
}

TEST_F(ResearchSessionTest, NextAndPrevPageThroughARankingAndALibrary) {
  const json no_further = MessageEvent(kInfo, "There is no further set of this list.");
  EXPECT_FALSE(session_.ShowNextSet(true));
  EXPECT_EQ(Events(), std::vector<json>({no_further}));

  // The whole ranking, then the same research in sets of four.
  ResearchCorpus("water river flood");
  const std::vector<std::string> whole = ListedIds(Events()).back();
  ASSERT_GT(whole.size(), 8u);
  store_.WriteInt("Settings", "docFetchCount", 4);
  ResearchCorpus("water river flood");
  int64_t seen = events_.LastSeq();
  auto set = [&](size_t from) {
    const size_t end = std::min(whole.size(), from + 4);
    return std::vector<std::string>(whole.begin() + from, whole.begin() + end);
  };
  auto step = [&](bool forward) {
    const bool shown = session_.ShowNextSet(forward);
    std::vector<json> events = EventsAfter(seen);
    seen = events_.LastSeq();
    return std::make_pair(shown, events);
  };
  auto [shown, events] = step(true);
  EXPECT_TRUE(shown);
  EXPECT_EQ(ListedIds(events), std::vector<std::vector<std::string>>({set(4)}));
  EXPECT_EQ(OfType(events, "list")[0]["title"], "Corpus");
  std::tie(shown, events) = step(true);
  EXPECT_EQ(ListedIds(events), std::vector<std::vector<std::string>>({set(8)}));
  std::tie(shown, events) = step(false);
  EXPECT_EQ(ListedIds(events), std::vector<std::vector<std::string>>({set(4)}));
  std::tie(shown, events) = step(false);
  EXPECT_EQ(ListedIds(events), std::vector<std::vector<std::string>>({set(0)}));
  std::tie(shown, events) = step(false);
  EXPECT_FALSE(shown);
  EXPECT_EQ(events, std::vector<json>({no_further}));
  // Past the last set: told so, and Prev still goes back from the last one.
  size_t from = 0;
  while (session_.ShowNextSet(true)) from += 4;
  EXPECT_EQ(ListedIds(EventsAfter(seen)).back(), set(from));
  EXPECT_GE(from + 4, whole.size());
  seen = events_.LastSeq();
  std::tie(shown, events) = step(false);
  EXPECT_EQ(ListedIds(events), std::vector<std::vector<std::string>>({set(from - 4)}));

  // A library's listing pages the same way: 30 documents in sets of four.
  ASSERT_TRUE(session_.ListLibrary(corpus_, 0, 4));
  seen = events_.LastSeq();
  int sets = 1;
  while (session_.ShowNextSet(true)) ++sets;
  EXPECT_EQ(sets, 8);
  const std::vector<std::vector<std::string>> pages = ListedIds(EventsAfter(seen));
  ASSERT_EQ(pages.size(), 7u);
  EXPECT_EQ(pages.back().size(), 2u);
  seen = events_.LastSeq();
  std::tie(shown, events) = step(false);
  ASSERT_EQ(ListedIds(events).size(), 1u);
  EXPECT_EQ(ListedIds(events)[0], pages[pages.size() - 2]);
}

TEST_F(ResearchSessionTest, FlowsAreRefusedWhileOneRuns) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(worker_.Start("other", [&] {
    released.wait();
    return 0;
  }));
  const int store = StoreOf(corpus_);
  EXPECT_FALSE(session_.StartResearch(ResearchKind::kKeywords, "bees", {corpus_}));
  EXPECT_FALSE(session_.StartPreview({store, ids_[0]}));
  EXPECT_FALSE(session_.Analyze({{store, ids_[0]}, {store, ids_[1]}}));
  EXPECT_FALSE(session_.ListLibrary(corpus_, 0, -1));
  EXPECT_FALSE(session_.ShowNextSet(true));
  release.set_value();
  worker_.Wait();
  EXPECT_EQ(OfType(Events(), "message").size(), 5u);
  EXPECT_TRUE(TakeCalls().empty());
  EXPECT_TRUE(session_.SelectedDocuments().empty());
  EXPECT_TRUE(session_.CheckedLibraries().empty());
}

}  // namespace
}  // namespace qora
