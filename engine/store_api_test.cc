#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "qora/engine.h"
#include "tests/test_util.h"
#include "util/result_text_reader.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

std::string Take(char* text) {
  std::string copy = text == nullptr ? "" : text;
  EngineFreeString(text);
  return copy;
}

// A directory where a file must go makes its write fail, whoever runs the
// test (the superuser ignores permissions).
void BlockWith(const std::string& path) {
  fs::remove(path);
  fs::create_directories(path + "/blocked");
}

class StoreApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(SourceDataFolder(), dir_.path(), fs::copy_options::recursive);
    data_ = dir_.path();
  }
  void TearDown() override { EngineDestroy(); }

  int Start() {
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    return result;
  }

  std::string TempName() {
    char* name = nullptr;
    int handle = -2, result = -2;
    EngineGetTempStore(&name, &handle, &result);
    EXPECT_EQ(result, 0);
    temp_handle_ = handle;
    return Take(name);
  }

  // Puts one document (DML file and table line) into the local half.
  void AddDocument(const std::string& ident, const std::string& id) {
    const std::string cache = data_ + "libraries/" + ident + "/loc_c/";
    WriteFile(cache + id + ".dml", "<document><stat><docid>" + id +
                                       "</docid></stat><p><s>solar power grid</s></p></document>");
    WriteFile(cache + id + ".htm", "<html>raw</html>");
    WriteFile(cache + "cache.chx",
              ReadFile(cache + "cache.chx") + id + "|http://x/" + id + "|9|0|0|\n");
  }

  TempDir dir_;
  std::string data_;
  int temp_handle_ = -1;
};

TEST_F(StoreApiTest, TheFirstStartMakesTheTemporaryStoreAndTheNextOpensIt) {
  ASSERT_EQ(Start(), 0);
  const std::string temp = TempName();
  ASSERT_EQ(temp.rfind("ds", 0), 0u) << temp;
  EXPECT_GT(temp_handle_, 0);
  EXPECT_EQ(ReadFile(data_ + "tmpdoc.ini"), "[environment] \n temp_docstore = " + temp);
  EXPECT_TRUE(fs::exists(data_ + "libraries/" + temp + "/loc_c"));
  char* name = nullptr;
  int result = -2;
  EngineGetObjectName(temp_handle_, &name, &result);
  EXPECT_EQ(Take(name), "temp");
  EngineFinish(&result);
  EngineDestroy();

  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(TempName(), temp);
  int found = -2;
  EngineFindStore(temp.c_str(), &found);
  EXPECT_EQ(found, temp_handle_);
  EngineDestroy();

  // A name whose description file is gone makes a new temporary store.
  fs::remove(data_ + "libraries/" + temp + ".ini");
  ASSERT_EQ(Start(), 0);
  const std::string renewed = TempName();
  EXPECT_NE(renewed, temp);
  EXPECT_EQ(ReadFile(data_ + "tmpdoc.ini"), "[environment] \n temp_docstore = " + renewed);
}

TEST_F(StoreApiTest, WithoutTheTemplateNoTemporaryStoreCanBeMade) {
  fs::remove_all(data_ + "template");
  EXPECT_EQ(Start(), 1);
  EXPECT_EQ(TempName(), "");
  EXPECT_EQ(temp_handle_, -1);
  EXPECT_FALSE(fs::exists(data_ + "libraries/ds"));
  EXPECT_EQ(ReadFile(data_ + "tmpdoc.ini"), "[environment] \n temp_docstore = ");
}

TEST_F(StoreApiTest, StoresOpenOnceByNameAndCloseWithTheirNames) {
  ASSERT_EQ(Start(), 0);
  char* ident = nullptr;
  int created = -2;
  EngineCreateStore("Solar energy", &ident, &created);
  const std::string name = Take(ident);
  ASSERT_GT(created, 0);
  int opened = -2;
  EngineOpenStore(name.c_str(), &opened);
  EXPECT_EQ(opened, created);
  int result = -2;
  EngineCloseStore(created, &result);
  EXPECT_EQ(result, 0);
  EngineFindStore(name.c_str(), &result);
  EXPECT_EQ(result, -1);
  EngineOpenStore(name.c_str(), &opened);
  EXPECT_GT(opened, created);  // a new object, a new handle
  char* library = nullptr;
  EngineGetObjectName(opened, &library, &result);
  EXPECT_EQ(Take(library), "Solar energy");
}

TEST_F(StoreApiTest, ListsEveryStoreWithItsDocuments) {
  ASSERT_EQ(Start(), 0);
  char* ident = nullptr;
  int handle = -2;
  EngineCreateStore("Solar energy", &ident, &handle);
  const std::string name = Take(ident);
  AddDocument(name, "a1");
  AddDocument(name, "b2");
  char* text = nullptr;
  int result = -2;
  EngineListStores(&text, &result);
  EXPECT_EQ(result, 0);
  std::vector<DocumentRecord> stores;
  ReadResultText(Take(text), &stores);
  ASSERT_EQ(stores.size(), 2u);  // the temporary store and the new one
  const DocumentRecord& solar = stores[0].docid == name ? stores[0] : stores[1];
  EXPECT_EQ(solar.docid, name);
  EXPECT_EQ(solar.uri, name + ".ini");
  EXPECT_EQ(solar.header, "Solar energy");
  EXPECT_EQ(solar.ord, 2);
  EXPECT_GT(std::stoll(solar.size), 0);
  EXPECT_NE(solar.date_cr.find('/'), std::string::npos);

  // Without the store folder root nothing can be listed.
  fs::remove_all(data_ + "libraries");
  EngineListStores(&text, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Take(text), "");
}

TEST_F(StoreApiTest, ErasedDocumentsMoveToTheTemporaryStoreUntilTheRunEnds) {
  ASSERT_EQ(Start(), 0);
  const std::string temp = TempName();
  char* ident = nullptr;
  int lib = -2;
  EngineCreateStore("Papers", &ident, &lib);
  const std::string name = Take(ident);
  AddDocument(name, "abc");
  AddDocument(name, "abcd");
  AddDocument(name, "xyz");
  int result = -2;
  EngineCloseStore(lib, &result);
  EngineOpenStore(name.c_str(), &lib);  // reload the tables

  // The second entry lacks its closing ";" and is not handled.
  const std::string list = std::to_string(lib) + ",abc;" + std::to_string(lib) + ",xyz";
  EngineEraseDocuments(list.c_str(), &result);
  EXPECT_EQ(result, 0);
  const std::string from = data_ + "libraries/" + name + "/loc_c/";
  const std::string to = data_ + "libraries/" + temp + "/loc_c/";
  EXPECT_FALSE(fs::exists(from + "abc.dml"));
  EXPECT_TRUE(fs::exists(to + "abc.dml"));
  EXPECT_TRUE(fs::exists(to + "abc.htm"));
  EXPECT_TRUE(fs::exists(from + "abcd.dml"));  // its id merely starts with "abc"
  EXPECT_TRUE(fs::exists(from + "xyz.dml"));
  EXPECT_EQ(ReadFile(from + "cache.chx"), "abcd|http://x/abcd|9|0|0|\nxyz|http://x/xyz|9|0|0|\n");
  EXPECT_NE(ReadFile(to + "cache.chx").find("abc|http://x/abc|"), std::string::npos);

  // The temporary store refuses to be erased, and is emptied at the end.
  EngineEraseStore(temp_handle_, &result);
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(fs::exists(to + "abc.dml"));
  EngineFinish(&result);
  EXPECT_FALSE(fs::exists(to + "abc.dml"));
  EXPECT_TRUE(fs::exists(data_ + "libraries/" + temp + ".ini"));
}

// Document tables written by hand or by other programs may end a line
// without the closing "|", or with "\r\n". Such a line is a document like
// any other, and the documents after it stay in the library.
TEST_F(StoreApiTest, TableLinesWithoutTheClosingBarStillListTheirDocuments) {
  ASSERT_EQ(Start(), 0);
  char* ident = nullptr;
  int lib = -2;
  EngineCreateStore("Papers", &ident, &lib);
  const std::string name = Take(ident);
  for (const char* id : {"a1", "b2", "c3", "d4", "e5"}) AddDocument(name, id);
  const std::string table = data_ + "libraries/" + name + "/loc_c/cache.chx";
  WriteFile(table,
            "a1|http://x/a1|9|0|0|\n"
            "b2|http://x/b2|9|0|1\n"
            "c3|http://x/c3|9|0|1\r\n"
            "d4|http://x/d4|9|2|1|\r\n"
            "e5|http://x/e5|9|0|0|\n");
  int result = -2;
  EngineCloseStore(lib, &result);
  EngineOpenStore(name.c_str(), &lib);  // reads the table anew

  char* text = nullptr;
  EngineListStoreDocuments(lib, 0, -1, &text, &result);
  EXPECT_EQ(result, 0);
  std::vector<DocumentRecord> documents;
  ReadResultText(Take(text), &documents);
  std::vector<std::string> ids;
  for (const DocumentRecord& document : documents) ids.push_back(document.docid);
  EXPECT_EQ(ids, (std::vector<std::string>{"a1", "b2", "c3", "d4", "e5"}));

  // The lines are written back in the usual form. Documents already
  // processed are skipped by an incremental run and keep their flag.
  EngineProcessStore(lib, 0, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(table),
            "a1|http://x/a1|9|0|1|\n"
            "b2|http://x/b2|9|0|1|\n"
            "c3|http://x/c3|9|0|1|\n"
            "d4|http://x/d4|9|2|1|\n"
            "e5|http://x/e5|9|0|1|\n");
  EXPECT_TRUE(fs::exists(data_ + "libraries/" + name + "/loc_i/a1.idx"));
  EXPECT_FALSE(fs::exists(data_ + "libraries/" + name + "/loc_i/b2.idx"));
  EXPECT_FALSE(fs::exists(data_ + "libraries/" + name + "/loc_i/c3.idx"));
}

// Summary copies and quick-search documents live in the temporary store;
// erasing one of them takes it out of that store's table as for any other.
TEST_F(StoreApiTest, DocumentsOfTheTemporaryStoreCanBeErased) {
  ASSERT_EQ(Start(), 0);
  const std::string temp = TempName();
  AddDocument(temp, "t1");
  AddDocument(temp, "t2");
  int result = -2;
  EngineLoadStoreStatistics(temp_handle_, &result);  // adds the new table lines
  const std::string table = data_ + "libraries/" + temp + "/loc_c/cache.chx";

  EngineEraseDocuments((std::to_string(temp_handle_) + ",t1;").c_str(), &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(table), "t2|http://x/t2|9|0|0|\n");
  char* text = nullptr;
  EngineListStoreDocuments(temp_handle_, 0, -1, &text, &result);
  std::vector<DocumentRecord> documents;
  ReadResultText(Take(text), &documents);
  ASSERT_EQ(documents.size(), 1u);
  EXPECT_EQ(documents[0].docid, "t2");

  // A table that cannot be rewritten keeps the line, and the call says so.
  BlockWith(table + ".partial");
  EngineEraseDocuments((std::to_string(temp_handle_) + ",t2;").c_str(), &result);
  EXPECT_EQ(result, 1);
  fs::remove_all(table + ".partial");
  EXPECT_EQ(ReadFile(table), "t2|http://x/t2|9|0|0|\n");

  // The rest of the run's temporary documents go when the run ends.
  EngineFinish(&result);
  EXPECT_FALSE(fs::exists(data_ + "libraries/" + temp + "/loc_c/t1.dml"));
  EXPECT_FALSE(fs::exists(data_ + "libraries/" + temp + "/loc_c/t2.dml"));
}

TEST_F(StoreApiTest, ProcessingIndexesAndStatisticsLoad) {
  ASSERT_EQ(Start(), 0);
  char* ident = nullptr;
  int lib = -2;
  EngineCreateStore("Papers", &ident, &lib);
  const std::string name = Take(ident);
  AddDocument(name, "d1");
  int result = -2;
  EngineProcessStore(lib, 0, &result);
  EXPECT_EQ(result, 0);
  char* status = nullptr;
  EngineGetStatus(&status, &result);
  EXPECT_EQ(Take(status), "Document processing completed");
  EXPECT_TRUE(fs::exists(data_ + "libraries/" + name + "/loc_i/d1.idx"));
  EXPECT_TRUE(fs::exists(data_ + "libraries/" + name + "/loc_i/master.idx"));
  DocumentStore* store = CurrentEngine()->FindStore(lib);
  EngineReleaseStoreStatistics(lib, &result);
  EXPECT_EQ(store->local().plain().pair_count(), 0);
  EngineLoadStoreStatistics(lib, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(store->local().plain().pair_count(), 3);  // solar-power, solar-grid, power-grid
  EngineMergeStores(lib, lib, &result);               // a store merged into itself loses nothing
  EXPECT_EQ(result, 0);
  EXPECT_NE(ReadFile(data_ + "libraries/" + name + "/loc_c/cache.chx").find("d1|"),
            std::string::npos);
}

TEST_F(StoreApiTest, FailedWritesReachTheResult) {
  ASSERT_EQ(Start(), 0);
  const std::string temp = TempName();
  char* ident = nullptr;
  int lib = -2, other = -2;
  EngineCreateStore("Papers", &ident, &lib);
  const std::string name = Take(ident);
  EngineCreateStore("More", &ident, &other);
  const std::string other_name = Take(ident);
  AddDocument(name, "d1");
  const std::string folder = data_ + "libraries/" + name + "/";
  int result = -2;

  BlockWith(folder + "loc_i/master.idx");
  EngineProcessStore(lib, 0, &result);
  EXPECT_EQ(result, 1);
  fs::remove_all(folder + "loc_i/master.idx");
  EngineProcessStore(lib, 0, &result);
  EXPECT_EQ(result, 0);

  // The temporary store's table cannot take the document's line: it stays.
  const std::string temp_table = data_ + "libraries/" + temp + "/loc_c/cache.chx";
  BlockWith(temp_table + ".partial");
  EngineEraseDocuments((std::to_string(lib) + ",d1;").c_str(), &result);
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(fs::exists(folder + "loc_c/d1.dml"));
  fs::remove_all(temp_table + ".partial");

  const std::string other_table = data_ + "libraries/" + other_name + "/loc_c/cache.chx";
  BlockWith(other_table + ".partial");
  EngineMergeStores(other, lib, &result);
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(fs::exists(folder + "loc_c/d1.dml"));
  fs::remove_all(other_table + ".partial");

  fs::remove_all(folder + "web_i");
  EngineEmptyStore(lib, &result);
  EXPECT_EQ(result, 1);

  BlockWith(data_ + "words.arc");
  EngineFinish(&result);
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace qora
