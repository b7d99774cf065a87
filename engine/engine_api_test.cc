#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "qora/engine.h"
#include "tests/test_util.h"

namespace qora {
namespace {

using test::FolderSnapshot;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr char kMainIni[] =
    "[environment]\n"
    "c_d = 4\n"
    "rel_per_sec = 20\n"
    "rel_per_subsec = 5\n"
    "stopword_file = stop.txt\n"
    "db_archive = words.arc\n"
    "doc_store_subfolder = libs/\n"
    "stemmed_model = 1\n";

// Writes a data folder with the given environment file, an empty temporary
// store name and the installed library template. `folder` is used as given:
// paths are plain concatenations.
void WriteDataFolder(const std::string& folder, const std::string& main_ini) {
  WriteFile(folder + "main.ini", main_ini);
  WriteFile(folder + "tmpdoc.ini", "[environment] \n temp_docstore = ");
  WriteFile(folder + "stop.txt", "the of\nAND\n");
  std::filesystem::copy(
      test::SourceDataFolder() + "template", folder + "template",
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
}

// Marks an entry point whose result, for any name, is a new handle.
constexpr int kNewHandle = 1 << 30;

struct EntryPoint {
  const char* name;
  std::function<int()> call;
};

// Calls every entry point once with handles that name nothing; each returns
// its result code. Out strings are freed here.
std::vector<EntryPoint> EveryEntryPoint() {
  auto with_text = [](std::function<void(char**, int*)> call) {
    return [call]() {
      char* text = nullptr;
      int result = -2;
      call(&text, &result);
      EngineFreeString(text);
      return result;
    };
  };
  auto plain = [](std::function<void(int*)> call) {
    return [call]() {
      int result = -2;
      call(&result);
      return result;
    };
  };
  return {
      {"EngineStart", plain([](int* r) { EngineStart("/nonexistent/", "main.ini", r); })},
      {"EngineFinish", plain([](int* r) { EngineFinish(r); })},
      {"EngineGetStatus", with_text([](char** t, int* r) { EngineGetStatus(t, r); })},
      {"EngineSetStop", plain([](int* r) { EngineSetStop(1, r); })},
      {"EngineReloadWordLists", plain([](int* r) { EngineReloadWordLists(r); })},
      {"EngineDeleteHandle", plain([](int* r) { EngineDeleteHandle(99999, r); })},
      {"EngineGetObjectName",
       with_text([](char** t, int* r) { EngineGetObjectName(99999, t, r); })},
      {"EngineGetEnvironment", with_text([](char** t, int* r) { EngineGetEnvironment(t, r); })},
      {"EngineFindStore", plain([](int* r) { EngineFindStore("x", r); })},
      {"EngineOpenStore", plain([](int* r) { EngineOpenStore("x", r); })},
      {"EngineCreateStore", with_text([](char** t, int* r) { EngineCreateStore("x", t, r); })},
      {"EngineCloseStore", plain([](int* r) { EngineCloseStore(99999, r); })},
      {"EngineEmptyStore", plain([](int* r) { EngineEmptyStore(99999, r); })},
      {"EngineEraseStore", plain([](int* r) { EngineEraseStore(99999, r); })},
      {"EngineMergeStores", plain([](int* r) { EngineMergeStores(99999, 99998, r); })},
      {"EngineListStores", with_text([](char** t, int* r) { EngineListStores(t, r); })},
      {"EngineGetTempStore", with_text([](char** t, int* r) {
         int handle = 0;
         EngineGetTempStore(t, &handle, r);
       })},
      {"EngineEraseDocuments", plain([](int* r) { EngineEraseDocuments("99999,a;", r); })},
      {"EngineProcessStore", plain([](int* r) { EngineProcessStore(99999, 0, r); })},
      {"EngineLoadStoreStatistics", plain([](int* r) { EngineLoadStoreStatistics(99999, r); })},
      {"EngineReleaseStoreStatistics",
       plain([](int* r) { EngineReleaseStoreStatistics(99999, r); })},
      {"EngineListStoreDocuments",
       with_text([](char** t, int* r) { EngineListStoreDocuments(99999, 0, -1, t, r); })},
      {"EngineSearchIntoStore", plain([](int* r) { EngineSearchIntoStore(99999, "q", "", r); })},
      {"EngineQuickSearch", plain([](int* r) { EngineQuickSearch("q", "", 99999, r); })},
      {"EngineAddFromWeb", plain([](int* r) { EngineAddFromWeb(99999, "http://a/", "", r); })},
      {"EngineCrawlIntoStore",
       plain([](int* r) { EngineCrawlIntoStore(99999, "/tmp/", 1, 1000, 10, r); })},
      {"EngineAddFiles", plain([](int* r) { EngineAddFiles(99999, "/tmp/a.htm", "", r); })},
      {"EngineOpenWorkspace", plain([](int* r) { EngineOpenWorkspace("wkspc.ini", r); })},
      {"EngineAddStoreToWorkspace",
       plain([](int* r) { EngineAddStoreToWorkspace(99999, 99998, r); })},
      {"EngineRemoveStoreFromWorkspace",
       plain([](int* r) { EngineRemoveStoreFromWorkspace(99999, 99998, r); })},
      {"EngineNewQuery", plain([](int* r) { EngineNewQuery(99998, r); })},
      {"EngineSetQueryKeywords",
       plain([](int* r) { EngineSetQueryKeywords(99997, "a", 99998, r); })},
      {"EngineSetQueryDocuments",
       plain([](int* r) { EngineSetQueryDocuments(99997, "1,a;", 99998, r); })},
      {"EngineSetQueryPassage", plain([](int* r) { EngineSetQueryPassage(99997, "a", 99998, r); })},
      {"EngineSetQueryConcepts",
       plain([](int* r) { EngineSetQueryConcepts(99997, "1;", 99998, r); })},
      {"EnginePrepareQuery", plain([](int* r) { EnginePrepareQuery(99997, 99998, r); })},
      {"EngineExpandQuery", plain([](int* r) { EngineExpandQuery(99997, 99998, r); })},
      {"EnginePrepareRanking", plain([](int* r) { EnginePrepareRanking(99998, r); })},
      {"EngineRankDocuments", plain([](int* r) { EngineRankDocuments(99997, 10, 99998, r); })},
      {"EngineListDocuments", plain([](int* r) { EngineListDocuments(99999, 0, 10, 99998, r); })},
      {"EngineWriteResultList",
       with_text([](char** t, int* r) { EngineWriteResultList(t, 99996, 99998, r); })},
      {"EngineSummarize",
       plain([](int* r) { EngineSummarize(99997, "99999,a;", 99998, 100.0f, r); })},
      {"EngineWriteMap",
       with_text([](char** t, int* r) { EngineWriteMap("m.dml", t, 99996, 99998, r); })},
      {"EngineConceptMap",
       plain([](int* r) { EngineConceptMap("&wkspc_h=99998&qry_h=99997", r); })},
  };
}

// The result each entry point gives, with a started engine, for handles
// that name no object.
int ExpectedForUnknownHandles(const std::string& name) {
  static const std::vector<std::pair<std::string, int>> expected = {
      {"EngineFinish", 0},
      {"EngineGetStatus", 0},
      {"EngineSetStop", 0},
      {"EngineReloadWordLists", 0},
      {"EngineGetEnvironment", 0},
      {"EngineMergeStores", 0},
      {"EngineGetTempStore", 0},
      {"EngineListStores", 0},
      {"EngineEraseDocuments", 0},
      {"EngineFindStore", -1},
      {"EngineOpenStore", kNewHandle},
      {"EngineCreateStore", kNewHandle},
      {"EngineQuickSearch", -1},
      {"EngineOpenWorkspace", -1},
      {"EngineNewQuery", -1},
      {"EngineRankDocuments", -1},
      {"EngineListDocuments", -1},
  };
  for (const auto& [entry, result] : expected) {
    if (entry == name) return result;
  }
  return 1;
}

class EngineApiTest : public ::testing::Test {
 protected:
  void TearDown() override { EngineDestroy(); }
  TempDir dir_;
};

TEST_F(EngineApiTest, EveryEntryPointAnswersMinusOneWithoutAnEngine) {
  for (int round = 0; round < 2; ++round) {
    for (const EntryPoint& entry : EveryEntryPoint()) {
      EXPECT_EQ(entry.call(), -1) << entry.name << " round " << round;
    }
    // Round two: after a create and destroy.
    EngineCreate();
    EngineDestroy();
  }
  char* text = reinterpret_cast<char*>(1);
  int result = 0;
  EngineGetStatus(&text, &result);
  EXPECT_EQ(text, nullptr);
  EngineGetStatus(nullptr, nullptr);  // null out-parameters are tolerated
}

TEST_F(EngineApiTest, EveryEntryPointAnswersUnknownHandlesWithItsFailureResult) {
  WriteDataFolder(dir_.path(), kMainIni);
  EngineCreate();
  int result = -2;
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  for (const EntryPoint& entry : EveryEntryPoint()) {
    if (std::string(entry.name) == "EngineStart") continue;
    const int expected = ExpectedForUnknownHandles(entry.name);
    if (expected == kNewHandle) {
      EXPECT_GT(entry.call(), 0) << entry.name;
    } else {
      EXPECT_EQ(entry.call(), expected) << entry.name;
    }
  }
}

TEST_F(EngineApiTest, CreateIsIdempotentAndARestartedEngineIsFresh) {
  EngineCreate();
  Engine* first = CurrentEngine();
  ASSERT_NE(first, nullptr);
  first->environment().EnvironmentSetStatus("busy");
  EngineCreate();
  EXPECT_EQ(CurrentEngine(), first);  // a second create keeps the engine
  EngineDestroy();
  EXPECT_EQ(CurrentEngine(), nullptr);
  EngineCreate();
  char* status = nullptr;
  int result = -2;
  EngineGetStatus(&status, &result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(status, "");
  EngineFreeString(status);
}

struct NamedObject {
  const std::string& name() const { return text; }
  void set_name(std::string name) { text = std::move(name); }
  std::string text;
};

TEST_F(EngineApiTest, DeleteHandleAndObjectNameReachTheRegistry) {
  EngineCreate();
  Engine* engine = CurrentEngine();
  auto object = std::make_unique<NamedObject>();
  object->set_name("Solar energy");
  const int handle = static_cast<int>(engine->registry().Register(std::move(object)));
  engine->EnterStoreName("Solar energy", handle);

  char* name = nullptr;
  int result = -2;
  EngineGetObjectName(handle, &name, &result);
  EXPECT_EQ(result, 0);
  EXPECT_STREQ(name, "Solar energy");
  EngineFreeString(name);

  EngineDeleteHandle(handle, &result);
  EXPECT_EQ(result, 0);
  EngineDeleteHandle(handle, &result);
  EXPECT_EQ(result, 1);
  // The name no longer leads to the destroyed object.
  EngineFindStore("Solar energy", &result);
  EXPECT_EQ(result, -1);
  EngineGetObjectName(handle, &name, &result);
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(name, "");
  EngineFreeString(name);
}

TEST_F(EngineApiTest, StatusAndStopFlagAreSharedWithAnotherThread) {
  EngineCreate();
  Engine* engine = CurrentEngine();
  std::thread worker([engine] {
    for (int i = 0; i < 2000; ++i)
      engine->environment().EnvironmentSetStatus("Ranking " + std::to_string(i));
    while (!engine->environment().EnvironmentStopRequested()) std::this_thread::yield();
    engine->environment().EnvironmentSetStatus("Stop requested. Please wait...");
  });
  int result = -2;
  for (int i = 0; i < 2000; ++i) {
    char* status = nullptr;
    EngineGetStatus(&status, &result);
    const std::string text(status);
    EngineFreeString(status);
    ASSERT_TRUE(text.empty() || text.rfind("Ranking ", 0) == 0 || text[0] == 'S') << text;
  }
  EngineSetStop(1, &result);
  EXPECT_EQ(result, 0);
  worker.join();
  char* status = nullptr;
  EngineGetStatus(&status, &result);
  EXPECT_STREQ(status, "Stop requested. Please wait...");
  EngineFreeString(status);
}

TEST_F(EngineApiTest, StartReadsTheEnvironmentAndFinishSavesTheWordLists) {
  WriteDataFolder(dir_.path(), kMainIni);
  EngineCreate();
  int result = -2;
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  EngineEnvironment& env = CurrentEngine()->environment();
  EXPECT_EQ(env.pair_window(), 4);
  EXPECT_EQ(env.pairs_per_concept(), 20);
  EXPECT_EQ(env.pairs_per_subconcept(), 5);
  EXPECT_TRUE(env.stemmed_model());
  EXPECT_EQ(env.StoreFolderRoot(), dir_.path() + "libs/");
  EXPECT_EQ(env.stop_words().size(), 3u);
  EXPECT_EQ(env.delimiters().bytes().size(), 37u);
  const int32_t running = env.dictionary()->AddWord("Running");
  env.stems()->StemWord(env.dictionary(), "Running");

  EngineFinish(&result);
  EXPECT_EQ(result, 0);
  EngineDestroy();

  // The next run finds the words and stems of this one.
  EngineCreate();
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  EngineEnvironment& next = CurrentEngine()->environment();
  EXPECT_EQ(next.dictionary()->FindWord("running"), running);
  ASSERT_TRUE(next.stems()->Covers(running));
  EXPECT_EQ(next.dictionary()->WordText(next.stems()->StemOf(running)), "run");

  // Reloading drops every word but the stop words.
  EngineReloadWordLists(&result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(next.dictionary()->size(), 3);
  EXPECT_EQ(next.stems()->size(), 0u);
  EXPECT_EQ(next.stop_words().size(), 3u);
}

TEST_F(EngineApiTest, ABrokenConfigurationFileStopsTheStartAndWritesNothing) {
  struct Case {
    std::string main_ini;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"[e]", "cfg file size < 5bytes"},
      {std::string(262145, 'x'), "cfg file size > 262144bytes"},
      {"[environment]\nrel_per_sec = 0\nrel_per_subsec = 3\n", "must be a positive number"},
  };
  for (const Case& c : cases) {
    WriteDataFolder(dir_.path(), c.main_ini);
    const std::string before = FolderSnapshot(dir_.path());
    EngineCreate();
    int result = -2;
    testing::internal::CaptureStderr();
    EngineStart(dir_.path().c_str(), "main.ini", &result);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, -1) << c.message;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EngineDestroy();
    EXPECT_EQ(FolderSnapshot(dir_.path()), before) << c.message;
  }
  // A missing "tmpdoc.ini" is as fatal as a missing "main.ini".
  WriteDataFolder(dir_.path(), kMainIni);
  std::remove((dir_.path() + "tmpdoc.ini").c_str());
  EngineCreate();
  int result = -2;
  testing::internal::CaptureStderr();
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not get cfg file size"),
            std::string::npos);
  EXPECT_EQ(result, -1);
}

TEST_F(EngineApiTest, OnlyStemmedModelOneSwitchesStemmingOn) {
  std::string main_ini = kMainIni;
  main_ini.replace(main_ini.find("stemmed_model = 1"), 17, "stemmed_model = 2");
  WriteDataFolder(dir_.path(), main_ini);
  EngineCreate();
  int result = -2;
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(CurrentEngine()->environment().stemming(), 2);
  EXPECT_FALSE(CurrentEngine()->environment().stemmed_model());
}

TEST_F(EngineApiTest, AFolderWithoutSeparatorRunsIntoTheFileNames) {
  // Paths are joined by plain concatenation: "<dir>/data" + "main.ini" is
  // "<dir>/datamain.ini", and no "<dir>/data/" folder is consulted.
  WriteDataFolder(dir_.path() + "data", kMainIni);
  EngineCreate();
  int result = -2;
  EngineStart((dir_.path() + "data").c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(CurrentEngine()->environment().stop_words().size(), 3u);  // "<dir>/datastop.txt"
  EXPECT_EQ(CurrentEngine()->environment().StoreFolderRoot(), dir_.path() + "datalibs/");
}

TEST_F(EngineApiTest, ConceptMapRequestsFillTheRequestRecord) {
  EngineCreate();
  int result = -2;
  EngineConceptMap("&wkspc_h=12&qry_h=13&number1=8&number2=4", &result);
  EXPECT_EQ(result, 1);  // no workspace 12
  RequestRecord& record = CurrentEngine()->request();
  EXPECT_EQ(record.workspace_handle, 12);
  EXPECT_EQ(record.query_handle, 13);
  EngineConceptMap("number1=3", &result);
  EXPECT_EQ(record.query_handle, 13);
  EXPECT_EQ(record.number1, 3);
}

TEST_F(EngineApiTest, UnwritableArchiveIsReportedAndKeepsTheOldOne) {
  WriteDataFolder(dir_.path(), kMainIni);
  WriteFile(dir_.path() + "words.arc", std::string("\0\0\0\0\0\0\0\0", 8));
  EngineCreate();
  int result = -2;
  EngineStart(dir_.path().c_str(), "main.ini", &result);
  ASSERT_EQ(result, 0);
  EngineEnvironment& env = CurrentEngine()->environment();
  EXPECT_EQ(env.EnvironmentSaveArchive(), 0);
  const std::string saved = ReadFile(dir_.path() + "words.arc");
  EXPECT_EQ(saved.size(), 4u + 3 * 4 + 3 + 2 + 3 + 4);  // "the", "of", "and", no stems

  // With the data folder gone the write fails, and says so.
  env.dictionary()->AddWord("lost");
  std::filesystem::remove_all(dir_.path());
  EXPECT_EQ(env.EnvironmentSaveArchive(), 1);
}

}  // namespace
}  // namespace qora
