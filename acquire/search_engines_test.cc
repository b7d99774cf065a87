#include "acquire/search_engines.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/workspace.h"
#include "qora/engine.h"
#include "shell/web_requests.h"
#include "store/document_id.h"
#include "store/document_store.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using Pieces = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Splitting, address decoding and query addresses.

TEST(SplitByPatternTest, CutsBetweenMatchesAndKeepsTheTextBeforeTheFirst) {
  EXPECT_EQ(SplitByPattern("top<li>b<li>c", "<li>"), (Pieces{"top", "b", "c"}));
  EXPECT_EQ(SplitByPattern("<li>b<li>c", "<li>"), (Pieces{"", "b", "c"}));
}

TEST(SplitByPatternTest, DropsTrailingEmptyPieces) {
  EXPECT_EQ(SplitByPattern("a<li>b<li><li>", "<li>"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitByPattern("a<li><li>b", "<li>"), (Pieces{"a", "", "b"}));
  EXPECT_TRUE(SplitByPattern("", "<li>").empty());
}

TEST(SplitByPatternTest, UsesExtendedRegularExpressions) {
  EXPECT_EQ(SplitByPattern("a1b22c333d", "[0-9]+"), (Pieces{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitByPattern("a<h3>b<H3>c<h2>d", "<(h3|H3)>"), (Pieces{"a", "b", "c<h2>d"}));
  EXPECT_EQ(SplitByPattern("a.b.c", "\\."), (Pieces{"a", "b", "c"}));
  // Matching is case-sensitive.
  EXPECT_EQ(SplitByPattern("a<LI>b", "<li>"), (Pieces{"a<LI>b"}));
}

TEST(SplitByPatternTest, QuotedBlankSplitsAtWhiteSpaceRuns) {
  EXPECT_EQ(SplitByPattern("  one\ttwo \n three  ", "' '"), (Pieces{"one", "two", "three"}));
}

TEST(SplitByPatternTest, EmptyPatternGivesEveryCharacter) {
  EXPECT_EQ(SplitByPattern("abc", ""), (Pieces{"a", "b", "c"}));
}

TEST(SplitByPatternTest, EmptyMatchesAdvanceOneCharacter) {
  EXPECT_EQ(SplitByPattern("abc", "x*"), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(SplitByPattern("axxbc", "x*"), (Pieces{"a", "b", "c"}));
}

TEST(SplitByPatternTest, BrokenPatternReportsAndGivesNoPieces) {
  testing::internal::CaptureStderr();
  const Pieces pieces = SplitByPattern("a(b", "(");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(pieces.empty());
  EXPECT_NE(errors.find("regcomp() error\n"), std::string::npos) << errors;
}

TEST(DecodeHitAddressTest, DecodesTwoDigitEscapesOnly) {
  EXPECT_EQ(DecodeHitAddress("http://x.org/a%2Fb%3d"), "http://x.org/a/b=");
  EXPECT_EQ(DecodeHitAddress("100%"), "100%");
  EXPECT_EQ(DecodeHitAddress("a%4"), "a%4");
  EXPECT_EQ(DecodeHitAddress("a%zz%41"), "a%zzA");
}

TEST(HitTypeTest, PdfByExtensionInAnyCase) {
  EXPECT_EQ(HitType("http://x.org/report.PDF"), ".pdf");
  EXPECT_EQ(HitType("http://x.org/report.pdf"), ".pdf");
  EXPECT_EQ(HitType("http://x.org/page.html"), ".htm");
  EXPECT_EQ(HitType("http://x.org/report.pdfx"), ".pdf");  // at most 4 characters count
  EXPECT_EQ(HitType("no-dot"), ".htm");
}

TEST(QueryAddressTest, JoinsPartsAndReplacesBlanks) {
  SearchEngineDefinition engine;
  engine.url = "http://s.example/find";
  engine.preQuery = "?q=";
  engine.postQuery = "&n=";
  engine.resultCount = "20";
  EXPECT_EQ(QueryAddress(engine, "tidal power now"),
            "http://s.example/find?q=tidal+power+now&n=20");
}

// ---------------------------------------------------------------------------
// Searches against fake search engines served on 127.0.0.1.

// Lets a handler wait until the test opens it.
class Gate {
 public:
  void WaitUpTo(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, wait, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Engine "one": a list of links after a comment mark. Before the mark stands
// an advertisement in the same form, which must never become a hit.
constexpr char kPageOne[] =
    "<html><body><ol><li class=\"r\"><a href=\"http://ads.example/buy\">Buy</a></li></ol>\n"
    "<!-- results -->\n<ol>\n"
    "<li class=\"r\"><a href=\"http://example.org/tides/\">Tidal <b>power</b> basics</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/report.PDF\">Annual report</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/a%2Fb\">Escaped address</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/broken</li>\n"
    "<li class=\"r\"><a href=\"http://example.org/shared/\">Shared hit</a></li>\n"
    "</ol></body></html>\n";

// Engine "two": a different layout with two start marks; a hit between them
// is no hit.
constexpr char kPageTwo[] =
    "<html><div id=\"results\">\n"
    "<h3><a href=\"http://example.org/early\" class=\"t\">Too early</a></h3>\n"
    "<div class=\"list\">\n"
    "<h3><a href=\"http://example.org/shared\" class=\"t\">Shared again</a></h3>\n"
    "<h3><a href=\"http://example.org/wind\" class=\"t\">Wind <i>farms</i></a></h3>\n"
    "</div></html>\n";

// A result page in the layout the installed first engine is written for:
// redirection links that carry the escaped target.
constexpr char kRedirectionPage[] =
    "<html><form>...</form><div id=\"links\" class=\"results\">\n"
    "<div class=\"result\"><h2 class=\"result__title\"><a rel=\"nofollow\" "
    "class=\"result__a\" href=\"//duckduckgo.com/l/?uddg=https%3A%2F%2Fexample.org%2Ftides%2F"
    "&amp;rut=abc123\">Tidal <b>power</b></a></h2></div>\n"
    "<div class=\"result\"><h2 class=\"result__title\"><a rel=\"nofollow\" "
    "class=\"result__a\" href=\"//duckduckgo.com/l/?uddg=https%3A%2F%2Fexample.org%2Fwave.pdf"
    "\">Wave report</a></h2></div>\n</div></html>";

struct EngineSection {
  std::string name, path, cue1, cue2, hit, sep1, sep2;
};

EngineSection EngineOne() {
  return {"One", "/one", "<!-- results -->", "", "<li class=\"r\"><a href=\"", "\">", "</a>"};
}
EngineSection EngineTwo() {
  return {"Two",      "/two", "<div id=\"results\">", "<div class=\"list\">", "<h3><a href=\"",
          "\"[^>]*>", "</a>"};
}
// Serves a page with hits, but its hit pattern does not compile.
EngineSection BrokenEngine() { return {"Broken", "/one", "results", "", "([", "\">", "</a>"}; }
// Its page lacks the start mark.
EngineSection NoMarkEngine() {
  return {"NoMark", "/one", "<div id=\"nothing\">", "", "<li", ">", "<"};
}

// An engine on a copy of the installed data folder with its own "se.ini" and
// "se_ctrl.ini", a workspace, and an HTTP server with the fake engines.
class MetaSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get("/one", [this](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      response.set_content(kPageOne, "text/html");
    });
    server_.Get("/two", [this](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      response.set_content(kPageTwo, "text/html");
    });
    server_.Get("/html/", [this](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      response.set_content(kRedirectionPage, "text/html");
    });
    server_.Get("/local", [this](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      const std::string site = "http://127.0.0.1:" + std::to_string(port_);
      response.set_content(
          "<!-- results -->\n"
          "<li class=\"r\"><a href=\"" +
              site +
              "/page/a/\">Page a</a></li>\n"
              "<li class=\"r\"><a href=\"" +
              site +
              "/page/b\">Page b</a></li>\n"
              "<li class=\"r\"><a href=\"" +
              site + "/page/a\">Page a again</a>\n",
          "text/html");
    });
    server_.Get(R"(/page/(\w+))",
                [this](const httplib::Request& request, httplib::Response& response) {
                  Seen(request);
                  const std::string name = request.matches[1];
                  response.set_content("<html><head><title>Tides " + name +
                                           "</title></head><body><p>Page " + name +
                                           " tells of tidal power and the moon that drives it.</p>"
                                           "<a href=\"/page/deeper\">deeper</a></body></html>",
                                       "text/html");
                });
    server_.Get("/held", [this](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      held_.WaitUpTo(std::chrono::seconds(20));
      response.set_content(kPageOne, "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    server_thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    data_ = dir_.path() + "data/";
    fs::copy(test::SourceDataFolder(), data_, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, data_ + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, data_ + "hlp22.exe");
    engines_ = {EngineOne(), EngineTwo(), NoMarkEngine(), EngineOne(), EngineOne()};
    WriteDefinitions();
    WriteControl("1", "1", "0", "0", "0");
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    EngineOpenWorkspace("wkspc.ini", &workspace_);
    ASSERT_GT(workspace_, 0);
  }

  void TearDown() override {
    held_.Open();
    EngineDestroy();
    server_.stop();
    server_thread_.join();
  }

  void Seen(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(seen_mutex_);
    seen_.push_back(request.path + "?" + QueryText(request));
  }

  // The raw query text of a request as it was sent.
  static std::string QueryText(const httplib::Request& request) {
    const size_t question = request.target.find('?');
    return question == std::string::npos ? "" : request.target.substr(question + 1);
  }

  std::vector<std::string> SeenRequests() {
    std::lock_guard<std::mutex> lock(seen_mutex_);
    return seen_;
  }

  void WriteDefinitions() {
    std::string text = "% fake search engines of the test\n";
    for (size_t i = 0; i < engines_.size(); ++i) {
      const EngineSection& e = engines_[i];
      text += "[engine" + std::to_string(i + 1) + "]\nname = " + e.name +
              "\nurl = http://127.0.0.1:" + std::to_string(port_) + e.path +
              "\npre_query_string = ?q=\npost_query_string = &n=\n" + "cuestring1 = " + e.cue1 +
              "\ncuestring2 = " + e.cue2 + "\nhitstring = " + e.hit + "\nsepstring1 = " + e.sep1 +
              "\nsepstring2 = " + e.sep2 + "\n\n";
    }
    test::WriteFile(data_ + "se.ini", text);
  }

  void WriteControl(const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d, const std::string& e) {
    test::WriteFile(data_ + "se_ctrl.ini",
                    "[engines]\nengine1 = " + a + "\nengine2 = " + b + "\nengine3 = " + c +
                        "\nengine4 = " + d + "\nengine5 = " + e +
                        "\n[result_count]\nengine1 = 10\nengine2 = 20\nengine3 = 30\n"
                        "engine4 = 40\nengine5 = 50\n");
  }

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

  std::string Status() {
    char* text = nullptr;
    int result = -2;
    EngineGetStatus(&text, &result);
    std::string status = text == nullptr ? "" : text;
    EngineFreeString(text);
    return status;
  }

  test::TempDir dir_;
  std::string data_;
  std::vector<EngineSection> engines_;
  int workspace_ = -1;
  httplib::Server server_;
  std::thread server_thread_;
  int port_ = 0;
  Gate held_;
  std::mutex seen_mutex_;
  std::vector<std::string> seen_;
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
  held_.Open();
  searching.join();
  // The engine being fetched was finished, not cut off.
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 4u);
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

// An engine whose hits lie on the test's own server, for the searches that
// fetch their hits.
EngineSection LocalEngine() {
  return {"Local", "/local", "<!-- results -->", "", "<li class=\"r\"><a href=\"", "\">", "</a>"};
}

TEST_F(MetaSearchTest, SearchIntoLibraryStoresTheFetchedHits) {
  engines_[2] = LocalEngine();
  WriteDefinitions();
  WriteControl("1", "1", "1", "1", "1");  // the request's engine part decides
  char* ident = nullptr;
  int store = -1;
  EngineCreateStore("Searches", &ident, &store);
  ASSERT_GT(store, 0);
  EngineFreeString(ident);

  EXPECT_EQ(SearchIntoLibrary("Searches", "tidal power", "3", 7), "");
  std::vector<std::string> seen = SeenRequests();
  std::sort(seen.begin(), seen.end());
  // Depth 0: the hits are fetched (each once), their links are not.
  EXPECT_EQ(seen, (std::vector<std::string>{"/local?q=tidal+power&n=7", "/page/a?", "/page/b?"}));
  const std::string table = test::ReadFile(CurrentEngine()->FindStore(store)->web().TablePath());
  const std::string site = "http://127.0.0.1:" + std::to_string(port_);
  EXPECT_NE(table.find("|" + site + "/page/a|"), std::string::npos) << table;
  EXPECT_NE(table.find("|" + site + "/page/b|"), std::string::npos) << table;
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

TEST(SearchParametersTest, BasicSearchSendsTheFixedBudgetAndTheEngines) {
  std::string part;
  ASSERT_EQ(SearchEngineParameters("1,3", 25, &part), "");
  EXPECT_EQ(part, "&se_ctrl=1+0+1+0+0&se_num=25+25+25+25+25");
  EXPECT_EQ(BasicSearchParameters(part),
            "dpth=0&maxbytes=2000000&maxsites=500&maxdocs=200&docmaxpages=0&docminpages=0"
            "&minlinks=0&hub=0&auth=0&negurl=&negwords=&se_ctrl=1+0+1+0+0"
            "&se_num=25+25+25+25+25&crwl_rule=0");
  ASSERT_EQ(SearchEngineParameters(" 5 ", 0, &part), "");
  EXPECT_EQ(part, "&se_ctrl=0+0+0+0+1&se_num=0+0+0+0+0");
}

TEST(SearchParametersTest, BadEngineListsAreRefused) {
  std::string part = "unchanged";
  EXPECT_NE(SearchEngineParameters("", 10, &part), "");
  EXPECT_NE(SearchEngineParameters("0", 10, &part), "");
  EXPECT_NE(SearchEngineParameters("1,6", 10, &part), "");
  EXPECT_NE(SearchEngineParameters("1,x", 10, &part), "");
  EXPECT_NE(SearchEngineParameters("12", 10, &part), "");
  EXPECT_NE(SearchEngineParameters("1", -1, &part), "");
  EXPECT_EQ(part, "unchanged");
}

TEST_F(MetaSearchTest, QuickSearchHitsReadsTheListBack) {
  WriteControl("0", "0", "0", "0", "0");  // the request's engine part decides
  std::vector<DocumentRecord> hits;
  EXPECT_EQ(QuickSearchHits("tidal power", "2", &hits, 15), "");
  EXPECT_EQ(SeenRequests(), (std::vector<std::string>{"/two?q=tidal+power&n=15"}));
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].uri, "http://example.org/shared");
  EXPECT_EQ(hits[0].name, "Shared again");
  EXPECT_EQ(hits[0].fetcher, "Two");
  EXPECT_EQ(hits[1].uri, "http://example.org/wind");
  EXPECT_EQ(hits[1].type, ".htm");
  EXPECT_EQ(hits[1].ord, 2);

  EXPECT_NE(QuickSearchHits("  ", "2", &hits), "");
  EXPECT_NE(QuickSearchHits("tides", "9", &hits), "");
  fs::remove(data_ + "se.ini");
  testing::internal::CaptureStderr();
  const std::string failure = QuickSearchHits("tides", "1", &hits);
  testing::internal::GetCapturedStderr();
  EXPECT_NE(failure.find("se.ini"), std::string::npos) << failure;
  EXPECT_TRUE(hits.empty());
}

}  // namespace
}  // namespace qora
