#include "shell/command_dispatcher.h"

#include <gtest/gtest.h>

#include <future>

namespace qora {
namespace {

using nlohmann::json;

constexpr char kPrefix[] = "http://127.0.0.1:8311/localservlets/";

TEST(CommandTextOfTest, TakesTheTextAfterThePrefix) {
  EXPECT_EQ(CommandTextOf(std::string(kPrefix) + "queryKeywords?kw=a+b", kPrefix),
            "queryKeywords?kw=a+b");
  EXPECT_EQ(CommandTextOf(kPrefix, kPrefix), "");
}

TEST(CommandTextOfTest, AnAddressWithoutThePrefixIsNoCommand) {
  EXPECT_EQ(CommandTextOf("http://example.com/page.htm", kPrefix), std::nullopt);
  EXPECT_EQ(CommandTextOf("http://127.0.0.1:8311/localservlet/x", kPrefix), std::nullopt);
  EXPECT_EQ(CommandTextOf("", kPrefix), std::nullopt);
  // An empty prefix would make every address a command.
  EXPECT_EQ(CommandTextOf("http://example.com/", ""), std::nullopt);
}

TEST(CommandTextOfTest, OnlyPercentTwentyIsDecoded) {
  EXPECT_EQ(
      CommandTextOf(std::string(kPrefix) + "exportPassage?passage=one%20two%2Cthree%2520", kPrefix),
      "exportPassage?passage=one two%2Cthree%2520");
  EXPECT_EQ(CommandTextOf(std::string(kPrefix) + "queryKeywords?kw=%20%20", kPrefix),
            "queryKeywords?kw=  ");
}

TEST(CommandTextOfTest, ThePrefixFoundInsideTheAddressCutsItsLengthFromTheEnd) {
  // The command text is as long as the address without the prefix, taken
  // from the address's end, wherever the prefix stands: 12 characters stand
  // before it here, so the command text starts 12 characters early.
  const std::string address = std::string("res://frame?") + kPrefix + "docxsltloaddone";
  EXPECT_EQ(CommandTextOf(address, kPrefix), "calservlets/docxsltloaddone");
  // Escapes are decoded after the cut, so "%20" counts three characters.
  EXPECT_EQ(CommandTextOf(std::string(kPrefix) + "a%20b", kPrefix), "a b");
}

// A session without an engine: commands that only touch settings, dialogs
// and events are checked here; flows started by a command run against no
// engine (every entry point answers -1) and are followed by their calls.
class CommandDispatcherTest : public ::testing::Test {
 protected:
  std::vector<json> Events() {
    std::vector<json> events = events_.After(0);
    for (json& event : events) event.erase("seq");
    return events;
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(calls_mutex_);
    return calls_;
  }
  std::string LastKeywords() { return store_.ReadString("QueryOptions", "lastKeyWords", "<none>"); }

  SettingsStore store_;
  SharedSettings settings_{&store_};
  EventQueue events_;
  OperationWorker worker_{&events_, &settings_};
  std::mutex calls_mutex_;
  std::vector<std::string> calls_;
  EngineCalls engine_{[this](const std::string& call) {
    std::lock_guard<std::mutex> lock(calls_mutex_);
    calls_.push_back(call);
  }};
  ResearchSession session_{&events_, &settings_, &worker_, &engine_};
  CommandDispatcher dispatcher_{&session_};
};

TEST_F(CommandDispatcherTest, AddKeywordsAppendsAfterABlank) {
  EXPECT_EQ(dispatcher_.Dispatch("addKeyWords2Query?kw=honey+bee"), DispatchResult::kDone);
  EXPECT_EQ(LastKeywords(), " honey bee");
  EXPECT_EQ(dispatcher_.Dispatch("addKeyWords2Query?kw=hive"), DispatchResult::kDone);
  EXPECT_EQ(LastKeywords(), " honey bee hive");
  store_.WriteString("QueryOptions", "lastKeyWords", "wax");
  dispatcher_.Dispatch("addKeyWords2Query?kw=");
  EXPECT_EQ(LastKeywords(), "wax ");
  EXPECT_TRUE(Events().empty());
}

TEST_F(CommandDispatcherTest, AKeywordLinkRemembersTheWordsAndOpensTheKeywordDialog) {
  EXPECT_EQ(dispatcher_.Dispatch("queryKeywords?kw=honey+bees"), DispatchResult::kDone);
  EXPECT_EQ(LastKeywords(), "honey bees");
  EXPECT_EQ(Events(), std::vector<json>({DialogEvent("keywords", "honey bees")}));
}

TEST_F(CommandDispatcherTest, APassageLinkOpensThePassageDialogWithItsPassage) {
  dispatcher_.Dispatch("queryPassage?passage=Bees+make honey.");
  dispatcher_.Dispatch("queryPassage?passage=");
  store_.WriteString("QueryOptions", "lastPassage", "kept passage");
  dispatcher_.Dispatch("queryPassage?passage=");
  EXPECT_EQ(Events(),
            std::vector<json>(
                {DialogEvent("passage", "Bees+make honey."),
                 DialogEvent("passage", "type in or cut/paste your passage or paragraph here"),
                 DialogEvent("passage", "kept passage")}));
}

TEST_F(CommandDispatcherTest, AConceptLinkOpensTheConceptDialogWithEveryHandleClosed) {
  dispatcher_.Dispatch("queryConcepts?concept=12+15+");
  dispatcher_.Dispatch("queryConcepts?concept=12+15");
  EXPECT_EQ(Events(), std::vector<json>(
                          {DialogEvent("concepts", "12;15;"), DialogEvent("concepts", "12;15")}));
}

TEST_F(CommandDispatcherTest, AnInternetSearchLinkRemembersTheWordsAndOpensItsDialog) {
  dispatcher_.Dispatch("websrchAdv?kw=solar+power");
  EXPECT_EQ(LastKeywords(), "solar power");
  EXPECT_EQ(Events(), std::vector<json>({DialogEvent("websearch", "solar power")}));
}

TEST_F(CommandDispatcherTest, TheDocumentDialogOpensForTheSelectedDocuments) {
  session_.SetSelectedDocuments({{3, "abc"}, {4, "def"}});
  EXPECT_EQ(dispatcher_.Dispatch("queryDocuments"), DispatchResult::kDone);
  EXPECT_EQ(Events(), std::vector<json>({DialogEvent("documents", "3,abc;4,def;")}));
}

TEST_F(CommandDispatcherTest, APassageIsExportedToTheScratchPadAsItIs) {
  dispatcher_.Dispatch("exportPassage?passage=Bees+make %2Bhoney");
  EXPECT_EQ(Events(), std::vector<json>({ScratchEvent("Bees+make %2Bhoney")}));
}

TEST_F(CommandDispatcherTest, APageThatFinishedLoadingChangesNothing) {
  EXPECT_EQ(dispatcher_.Dispatch("docxsltloaddone"), DispatchResult::kDone);
  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(store_.Text().empty());
}

TEST_F(CommandDispatcherTest, AnythingElseIsAnUnknownRequest) {
  for (const char* command : {"", "fooBar", "QueryKeywords?kw=x", "queryKeywords", "biasedSummary",
                              "lastConceptMap", " queryDocuments"}) {
    EXPECT_EQ(dispatcher_.Dispatch(command), DispatchResult::kUnknown) << command;
  }
  const std::vector<json> events = Events();
  ASSERT_EQ(events.size(), 7u);
  for (const json& event : events) EXPECT_EQ(event, MessageEvent(kWarning, "Unknown request"));
  EXPECT_TRUE(store_.Text().empty());
}

TEST_F(CommandDispatcherTest, OnlyLevelsOneAndTwoOfTheMapHistoryAreCommands) {
  for (const char* level : {"0", "3", "", "1x", "-1"}) {
    EXPECT_EQ(dispatcher_.Dispatch(std::string("lastConceptMap?level=") + level),
              DispatchResult::kDone);
  }
  // No map is remembered yet either: nothing is shown for 1 and 2.
  dispatcher_.Dispatch("lastConceptMap?level=1");
  dispatcher_.Dispatch("lastConceptMap?level=2");
  EXPECT_TRUE(Events().empty());
}

TEST_F(CommandDispatcherTest, BlankBiasWordsAreRememberedEmptyAndStartNoSummary) {
  store_.WriteString("WordBar", "searchWords", "bee");
  session_.SetWorkspace(5);
  EXPECT_EQ(dispatcher_.Dispatch("biasedSummary?kw=+ + +"), DispatchResult::kDone);
  EXPECT_EQ(store_.ReadString("WordBar", "biasWords", "<none>"), "");
  EXPECT_EQ(Events(), std::vector<json>({WordBarEvent("bee ")}));
  EXPECT_FALSE(worker_.Busy());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(CommandDispatcherTest, BiasWordsAreTrimmedShownOnTheWordBarAndSummarized) {
  store_.WriteString("WordBar", "searchWords", "honey bee");
  session_.SetWorkspace(5);
  session_.SetCurrentDocument({8, "doc1"});
  EXPECT_EQ(dispatcher_.Dispatch("biasedSummary?kw=+wax+comb++"), DispatchResult::kDone);
  worker_.Wait();
  EXPECT_EQ(store_.ReadString("WordBar", "biasWords", "<none>"), "wax comb");
  const std::vector<json> events = Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0], WordBarEvent("honey bee wax comb"));
  EXPECT_EQ(events[1], BusyEvent(true, "Biased Summary"));
  EXPECT_EQ(events[2], CompletionEvent(11));
  EXPECT_EQ(events[3], BusyEvent(false, ""));
  // Without an engine the query handle is -1; the calls keep their order.
  EXPECT_EQ(Calls(),
            std::vector<std::string>({"EngineNewQuery 5", "EngineSetQueryKeywords -1 wax comb 5",
                                      "EnginePrepareQuery -1 5", "EngineSummarize -1 8,doc1; 5 100",
                                      "EngineWriteResultList -1 5"}));
}

TEST_F(CommandDispatcherTest, ConceptAndPassageSummariesConvertTheirArguments) {
  session_.SetWorkspace(5);
  session_.SetCurrentDocument({8, "doc1"});
  dispatcher_.Dispatch("biasedSummary?concept=21+22+");
  worker_.Wait();
  dispatcher_.Dispatch("biasedSummary?passage=Wax+is made.");
  worker_.Wait();
  const std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 10u);
  EXPECT_EQ(calls[1], "EngineSetQueryConcepts -1 21;22; 5");
  EXPECT_EQ(calls[6], "EngineSetQueryPassage -1 Wax+is made. 5");
}

TEST_F(CommandDispatcherTest, ASummaryWithoutWorkspaceOrArgumentIsRefusedSilently) {
  session_.SetCurrentDocument({8, "doc1"});
  dispatcher_.Dispatch("biasedSummary?passage=Some text");  // no workspace yet
  session_.SetWorkspace(5);
  dispatcher_.Dispatch("biasedSummary?passage=");
  dispatcher_.Dispatch("biasedSummary?concept=");
  worker_.Wait();
  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(Calls().empty());
}

TEST_F(CommandDispatcherTest, EveryCommandIsRefusedWhileAnOperationRuns) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(worker_.Start("Research Libraries", [&] {
    released.wait();
    return 6;
  }));
  store_.WriteString("QueryOptions", "lastKeyWords", "before");
  const std::string before = store_.Text();
  for (const char* command :
       {"addKeyWords2Query?kw=x", "queryKeywords?kw=x", "queryPassage?passage=x",
        "biasedSummary?passage=x", "biasedSummary?concept=1+", "queryConcepts?concept=1+",
        "biasedSummary?kw=x", "websrchAdv?kw=x", "lastConceptMap?level=1", "queryDocuments",
        "exportPassage?passage=x", "docxsltloaddone", "unknown"}) {
    EXPECT_EQ(dispatcher_.Dispatch(command), DispatchResult::kBusy) << command;
  }
  release.set_value();
  worker_.Wait();
  EXPECT_EQ(store_.Text(), before);
  std::vector<json> events = Events();
  ASSERT_EQ(events.size(), 16u);
  for (size_t i = 1; i < 14; ++i) {
    EXPECT_EQ(events[i], MessageEvent(kInfo, "Program is busy. Please wait."));
  }
  EXPECT_TRUE(Calls().empty());
}

TEST_F(CommandDispatcherTest, InterceptDispatchesAddressesWithTheCommandPrefixOnly) {
  EXPECT_FALSE(dispatcher_.Intercept("http://example.com/queryKeywords?kw=x"));
  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(dispatcher_.Intercept(std::string(kPrefix) + "queryKeywords?kw=bee%20hive+wax"));
  EXPECT_EQ(LastKeywords(), "bee hive wax");
  EXPECT_TRUE(dispatcher_.Intercept(std::string(kPrefix) + "nothing"));
  EXPECT_EQ(Events(), std::vector<json>({DialogEvent("keywords", "bee hive wax"),
                                         MessageEvent(kWarning, "Unknown request")}));
  // The prefix is the setting's.
  store_.WriteString("Settings", "commandURL", "http://localhost:9/cmd/");
  EXPECT_FALSE(dispatcher_.Intercept(std::string(kPrefix) + "docxsltloaddone"));
  EXPECT_TRUE(dispatcher_.Intercept("http://localhost:9/cmd/websrchAdv?kw=a"));
  EXPECT_EQ(LastKeywords(), "a");
}

}  // namespace
}  // namespace qora
