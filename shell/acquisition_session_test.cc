#include "shell/acquisition_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "qora/engine.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "shell/library_commands.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A data folder made from the installed one with the built page cleaner and
// PDF converter, an engine started on it, and the application's objects.
class AcquisitionSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string installed = dir_.path() + "installed/";
    fs::copy(test::SourceDataFolder(), installed, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, installed + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, installed + "hlp22.exe");
    data_ = dir_.path() + "qoralibs/";
    ASSERT_EQ(InitDataFolder(installed, data_), "");
    ASSERT_EQ(engine_.Start(data_), 0);
    int workspace = -1;
    EngineOpenWorkspace("wkspc.ini", &workspace);
    ASSERT_GT(workspace, 0);
    research_.SetWorkspace(workspace);
  }

  // The events pushed since the last call, without their sequence numbers.
  std::vector<json> TakeEvents() {
    std::vector<json> events = events_.After(seen_);
    seen_ = events_.LastSeq();
    for (json& event : events) event.erase("seq");
    return events;
  }

  // The library called `name`: its identifier and document count ("" and
  // -1 when there is none).
  std::pair<std::string, int> Library(const std::string& name) {
    std::vector<LibraryInfo> libraries;
    EXPECT_EQ(ListLibraries(&libraries), "");
    for (const LibraryInfo& library : libraries) {
      if (library.name == name) return {library.ident, library.documents};
    }
    return {"", -1};
  }

  // The events of a request that ran under `title` and ended with `code`.
  static std::vector<json> Ran(const std::string& title, int code) {
    return {BusyEvent(true, title), CompletionEvent(code), BusyEvent(false, "")};
  }

  test::TempDir dir_;
  std::string data_;
  EngineSession engine_;
  SettingsStore store_;
  SharedSettings settings_{&store_};
  EventQueue events_;
  int64_t seen_ = 0;
  OperationWorker worker_{&events_, &settings_};
  EngineCalls calls_;
  ResearchSession research_{&events_, &settings_, &worker_, &calls_};
  AcquisitionSession session_{&events_, &settings_, &worker_, &research_};
};

TEST_F(AcquisitionSessionTest, RequestsLackingWhatTheyNeedAreRefusedBeforeAnyLibraryIsMade) {
  const AcquisitionTarget fresh{true, "Fresh", ""};
  const auto warning = [](const char* text) { return MessageEvent(kWarning, text); };
  InternetRequest search{AcquisitionMode::kBasicSearch, "  ", {}, fresh};
  EXPECT_FALSE(session_.StartInternet(search));
  InternetRequest crawl{AcquisitionMode::kCrawl, "", {"", " "}, fresh};
  EXPECT_FALSE(session_.StartInternet(crawl));
  crawl.addresses = {"http://127.0.0.1:9/"};
  crawl.target = {true, " ", ""};
  EXPECT_FALSE(session_.StartInternet(crawl));
  crawl.target = {false, "", ""};
  EXPECT_FALSE(session_.StartInternet(crawl));
  EXPECT_FALSE(session_.StartAddFiles(fresh, {}));
  EXPECT_FALSE(session_.StartAddFolder(fresh, {"", 1, 100, 10}));
  EXPECT_EQ(TakeEvents(), std::vector<json>({warning("Please enter keywords"),
                                             warning("Please enter start addresses"),
                                             warning("Please checkmark libraries first"),
                                             warning("Please checkmark libraries first"),
                                             warning("Please choose files"),
                                             warning("Please choose a folder")}));

  // An existing library that is not there any more.
  crawl.target = {false, "", "gone"};
  EXPECT_FALSE(session_.StartInternet(crawl));
  EXPECT_EQ(TakeEvents(), std::vector<json>({MessageEvent(kError, "Cannot do this now.")}));

  // While an operation runs, even a complete request is refused.
  std::promise<void> release;
  ASSERT_TRUE(worker_.Start("other", [released = release.get_future().share()] {
    released.wait();
    return 0;
  }));
  TakeEvents();
  crawl.target = fresh;
  EXPECT_FALSE(session_.StartInternet(crawl));
  EXPECT_FALSE(session_.StartAddFolder(fresh, {dir_.path(), 1, 100, 10}));
  release.set_value();
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), std::vector<json>({MessageEvent(kInfo, kBusyText),
                                             MessageEvent(kInfo, kBusyText),
                                             CompletionEvent(0), BusyEvent(false, "")}));
  EXPECT_EQ(Library("Fresh").second, -1);
}

TEST_F(AcquisitionSessionTest, ALibraryOfTwoHundredDocumentsTakesNoMore) {
  std::string full;
  ASSERT_EQ(NewLibrary("Full", &full), "");
  for (int i = 0; i < 200; ++i) {
    test::WriteFile(data_ + "libraries/" + full + "/loc_c/d" + std::to_string(i) + ".dml", "<dml/>");
  }
  ASSERT_EQ(Library("Full").second, 200);
  TakeEvents();
  EXPECT_FALSE(session_.StartAddFiles({false, "", full}, {dir_.path() + "any.html"}));
  EXPECT_EQ(TakeEvents(),
            std::vector<json>({MessageEvent(kWarning,
                                            "Maximum number of allowed documents reached in the "
                                            "selected library. Please select another one.")}));
}

TEST_F(AcquisitionSessionTest, ACrawlFillsTheChosenOrANewLibraryUnderItsTitle) {
  test::TinySite site(
      {{"/", test::Page("Home", "Volcanoes erupt lava. <a href=\"bees.html\">bees</a>")},
       {"/bees.html", test::Page("Honey bees", "Honey bees live in a hive and make honey.")}});
  std::string web;
  ASSERT_EQ(NewLibrary("Web", &web), "");
  store_.WriteInt("CrawlerOptions", "Dpth", 1);
  TakeEvents();

  InternetRequest crawl{AcquisitionMode::kCrawl, "", {site.Url("/")}, {false, "", web}};
  ASSERT_TRUE(session_.StartInternet(crawl));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Internet Crawl 'Web'", kCrawlDone));
  EXPECT_EQ(Library("Web").second, 2);
  EXPECT_EQ(store_.ReadInt("LibraryOptions", "newLib", -1), 0);
  EXPECT_EQ(store_.ReadInt("Settings", "gracefullyTerminated", -1), 0);

  // Saving one page makes a new library, stores that page alone, and
  // previews it: its summary and its concept map are shown.
  crawl = {AcquisitionMode::kSaveThisPage, "", {site.Url("/bees.html")}, {true, "Saved", ""}};
  ASSERT_TRUE(session_.StartInternet(crawl));
  worker_.Wait();
  const std::vector<json> events = TakeEvents();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), BusyEvent(true, "Internet Crawl 'Saved'"));
  EXPECT_EQ(events[events.size() - 2], CompletionEvent(kPreviewDone));
  std::vector<std::string> pages;
  for (const json& event : events) {
    if (event["type"] == "page") pages.push_back(event["kind"]);
  }
  EXPECT_EQ(pages, std::vector<std::string>({"sumry", "map"}));
  const auto [saved, documents] = Library("Saved");
  EXPECT_EQ(documents, 1);
  int store = -1;
  EngineFindStore(saved.c_str(), &store);
  EXPECT_EQ(research_.CurrentDocument().store, store);
  EXPECT_FALSE(research_.CurrentDocument().docid.empty());
  EXPECT_EQ(store_.ReadInt("LibraryOptions", "newLib", -1), 1);
}

TEST_F(AcquisitionSessionTest, FilesAndFoldersAreAddedAndAFailureIsShown) {
  const std::string folder = dir_.path() + "pages/";
  fs::create_directories(folder + "deeper");
  test::WriteFile(folder + "a.html", test::Page("Rivers", "Rivers carry water to the sea."));
  test::WriteFile(folder + "b.html", test::Page("Deserts", "Deserts get little rain."));
  test::WriteFile(folder + "deeper/c.html", test::Page("Caves", "Caves form in limestone."));
  test::WriteFile(dir_.path() + "d.html", test::Page("Glaciers", "Glaciers carve valleys."));

  ASSERT_TRUE(session_.StartAddFolder({true, "Notes", ""}, {folder, 1, 1000, 10}));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Adding Folder Contents to Library", kFolderAdded));
  const auto [notes, documents] = Library("Notes");
  EXPECT_EQ(documents, 2);  // depth 1: the folder's own files

  ASSERT_TRUE(session_.StartAddFiles({false, "", notes}, {dir_.path() + "d.html"}));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Adding Documents to Library", kFilesAdded));
  EXPECT_EQ(Library("Notes").second, 3);

  // A file that is not there: the import is refused on the worker, shown as
  // an error, and the library keeps what it had.
  ASSERT_TRUE(session_.StartAddFiles({false, "", notes}, {folder + "missing.html"}));
  worker_.Wait();
  const std::vector<json> events = TakeEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1]["type"], "message");
  EXPECT_EQ(events[1]["level"], kError);
  EXPECT_NE(events[1]["text"].get<std::string>().find("missing.html"), std::string::npos)
      << events[1];
  EXPECT_EQ(events[2], CompletionEvent(kFilesAdded));
  EXPECT_EQ(Library("Notes").second, 3);
}

}  // namespace
}  // namespace qora
