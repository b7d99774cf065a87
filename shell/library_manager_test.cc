#include "shell/library_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <future>

#include "qora/engine.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

using nlohmann::json;

TEST(KilobyteTextTest, DropsTheLastThreeDigits) {
  EXPECT_EQ(KilobyteText(0), "0");
  EXPECT_EQ(KilobyteText(999), "0");
  EXPECT_EQ(KilobyteText(1000), "1");
  EXPECT_EQ(KilobyteText(123456), "123");
}

// A data folder with the libraries "Corpus" (30 documents) and "Second"
// (5), an engine on it, and the application's objects.
class LibraryManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "qoralibs/";
    ASSERT_EQ(InitDataFolder(test::SourceDataFolder(), data_), "");
    ASSERT_EQ(engine_.Start(data_), 0);
    const std::vector<std::string> files = test::CorpusFiles();
    ASSERT_EQ(NewLibrary("Corpus", &corpus_), "");
    test::AddTextDocuments(data_ + "libraries/" + corpus_ + "/loc_c/", files);
    ASSERT_EQ(ProcessLibrary("Corpus", false), "");
    ASSERT_EQ(NewLibrary("Second", &second_), "");
    test::AddTextDocuments(data_ + "libraries/" + second_ + "/loc_c/",
                           std::vector<std::string>(files.begin(), files.begin() + 5));
    ASSERT_EQ(ProcessLibrary("Second", false), "");
    int workspace = -1;
    EngineOpenWorkspace("wkspc.ini", &workspace);
    research_.SetWorkspace(workspace);
  }

  // The manager's rows as (name, documents, open) texts.
  std::vector<std::string> Rows() {
    std::vector<ManagedLibrary> rows;
    EXPECT_TRUE(manager_.List(&rows));
    std::vector<std::string> texts;
    for (const ManagedLibrary& row : rows) {
      texts.push_back(row.library.name + " " + std::to_string(row.library.documents) +
                      (row.open ? " X" : ""));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
  }

  // The events since the last call, without their sequence numbers.
  std::vector<json> TakeEvents() {
    std::vector<json> events = events_.After(seen_);
    seen_ = events_.LastSeq();
    for (json& event : events) event.erase("seq");
    return events;
  }

  static std::vector<json> Ran(const std::string& title, int code) {
    return {BusyEvent(true, title), CompletionEvent(code), BusyEvent(false, "")};
  }

  test::TempDir dir_;
  std::string data_;
  EngineSession engine_;
  std::string corpus_;
  std::string second_;
  SettingsStore store_;
  SharedSettings settings_{&store_};
  EventQueue events_;
  int64_t seen_ = 0;
  OperationWorker worker_{&events_, &settings_};
  EngineCalls calls_;
  ResearchSession research_{&events_, &settings_, &worker_, &calls_};
  LibraryManager manager_{&events_, &worker_, &research_};
};

TEST_F(LibraryManagerTest, TheListMarksTheLibrariesTheResearchHoldsOpen) {
  EXPECT_EQ(Rows(), std::vector<std::string>({"Corpus 30", "Second 5"}));  // no temporary store
  ASSERT_TRUE(research_.StartResearch(ResearchKind::kKeywords, "honey bees", {corpus_}));
  worker_.Wait();
  EXPECT_EQ(Rows(), std::vector<std::string>({"Corpus 30 X", "Second 5"}));
  // A command on the libraries makes the next research prepare them anew.
  EXPECT_FALSE(research_.SelectionChanged());
  ASSERT_TRUE(manager_.StartRepair());
  worker_.Wait();
  EXPECT_TRUE(research_.SelectionChanged());
}

TEST_F(LibraryManagerTest, CommandsRunOnTheWorkerAndRefuseWhatTheirLimitsForbid) {
  TakeEvents();
  const json none = MessageEvent(kWarning, "Please check mark the libraries first");
  EXPECT_FALSE(manager_.StartMerge("Both", {corpus_}));
  EXPECT_FALSE(manager_.StartMerge("Both", {corpus_, corpus_}));
  EXPECT_FALSE(manager_.StartEmpty({}));
  EXPECT_FALSE(manager_.StartErase({}));
  EXPECT_FALSE(manager_.StartNew("  "));
  EXPECT_EQ(TakeEvents(), std::vector<json>({none, none, none, none,
                                             MessageEvent(kWarning, "Please enter a library name")}));

  ASSERT_TRUE(manager_.StartMerge("Both", {corpus_, second_}));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Merging Libraries", kMergeDone));
  // Second's five documents are Corpus's first five: they are one each.
  EXPECT_EQ(Rows(), std::vector<std::string>({"Both 30"}));

  ASSERT_TRUE(manager_.StartNew("Fresh"));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Making a Library", kLibraryCommandDone));
  std::vector<ManagedLibrary> rows;
  ASSERT_TRUE(manager_.List(&rows));
  std::vector<std::string> idents;
  for (const ManagedLibrary& row : rows) idents.push_back(row.library.ident);
  ASSERT_EQ(idents.size(), 2u);

  // Emptying keeps the libraries; erasing removes them.
  ASSERT_TRUE(manager_.StartEmpty(idents));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Emptying Libraries", kLibraryCommandDone));
  EXPECT_EQ(Rows(), std::vector<std::string>({"Both 0", "Fresh 0"}));
  ASSERT_TRUE(manager_.StartErase({idents[0]}));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Erasing Libraries", kLibraryCommandDone));
  EXPECT_EQ(Rows().size(), 1u);

  // An identifier that names no library: the others are still done, and the
  // failure is shown.
  ASSERT_TRUE(manager_.StartErase({"ds-none", idents[1]}));
  worker_.Wait();
  std::vector<json> events = TakeEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1]["level"], kError);
  EXPECT_TRUE(Rows().empty());

  ASSERT_TRUE(manager_.StartRepair());
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), std::vector<json>({BusyEvent(true, "Repairing Libraries"),
                                             MessageEvent(kInfo, "Repair done."),
                                             CompletionEvent(kRepairDone), BusyEvent(false, "")}));

  // While an operation runs every command is refused.
  std::promise<void> release;
  ASSERT_TRUE(worker_.Start("other", [released = release.get_future().share()] {
    released.wait();
    return 0;
  }));
  TakeEvents();
  EXPECT_FALSE(manager_.StartNew("Late"));
  EXPECT_FALSE(manager_.StartRepair());
  std::vector<ManagedLibrary> listed;
  EXPECT_FALSE(manager_.List(&listed));
  release.set_value();
  worker_.Wait();
  // The list is read again after the operation: its refusal tells nothing.
  EXPECT_EQ(TakeEvents(), std::vector<json>({MessageEvent(kInfo, kBusyText), MessageEvent(kInfo, kBusyText),
                                             CompletionEvent(0), BusyEvent(false, "")}));
}

TEST_F(LibraryManagerTest, TheLimitsOfFiftyLibrariesAndTwoHundredMergedDocuments) {
  // 180 documents: with Corpus 210 in all, too many; with Second 185.
  std::string big;
  ASSERT_EQ(NewLibrary("Big", &big), "");
  std::vector<std::string> copies;
  for (int i = 0; i < 6; ++i) {
    const std::string folder = dir_.path() + "copy" + std::to_string(i) + "/";
    std::filesystem::create_directories(folder);
    for (const std::string& file : test::CorpusFiles()) {
      copies.push_back(folder + std::filesystem::path(file).filename().string());
      std::filesystem::copy_file(file, copies.back());
    }
  }
  test::AddTextDocuments(data_ + "libraries/" + big + "/loc_c/", copies);
  TakeEvents();
  EXPECT_FALSE(manager_.StartMerge("All", {corpus_, big}));
  EXPECT_EQ(TakeEvents(), std::vector<json>({MessageEvent(
                              kError,
                              "ERROR: Cannot have more than 200 documents in the merged library. "
                              "Please retry merging smaller libraries.")}));
  ASSERT_TRUE(manager_.StartMerge("Most", {second_, big}));
  worker_.Wait();
  EXPECT_EQ(TakeEvents(), Ran("Merging Libraries", kMergeDone));
  EXPECT_EQ(Rows(), std::vector<std::string>({"Corpus 30", "Most 185"}));

  for (int i = 2; i < kMaxLibraries; ++i) {
    std::string ident;
    ASSERT_EQ(NewLibrary("L" + std::to_string(i), &ident), "");
  }
  TakeEvents();
  EXPECT_FALSE(manager_.StartNew("One too many"));
  EXPECT_EQ(TakeEvents(),
            std::vector<json>({MessageEvent(kWarning,
                                            "Maximum number of allowed libraries reached. You cannot "
                                            "create any more new libraries unless you erase an "
                                            "existing one.")}));
}

}  // namespace
}  // namespace qora
