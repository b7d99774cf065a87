// Creating libraries from the template, merging them and moving documents
// between them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/dml_writer.h"
#include "store/document_store.h"
#include "tests/test_environment.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The weights of a vector by unordered couple of terms, in the direction
// from the smaller id to the larger, so that vectors summed in different
// orders compare equal.
std::map<std::pair<int32_t, int32_t>, std::pair<double, double>> Couples(const TermVector& v) {
  std::map<std::pair<int32_t, int32_t>, std::pair<double, double>> couples;
  for (size_t i = 0; i < v.pair_count(); ++i) {
    TermPair pair = v.PairAt(i);
    if (pair.first() > pair.second()) pair = pair.Reversed();
    auto& weights = couples[{pair.first(), pair.second()}];
    weights.first += pair.forward();
    weights.second += pair.backward();
  }
  return couples;
}

void ExpectSameContent(const TermVector& actual, const TermVector& expected) {
  ASSERT_EQ(actual.pair_count(), expected.pair_count());
  const auto a = Couples(actual);
  const auto e = Couples(expected);
  ASSERT_EQ(a.size(), e.size());
  for (auto it = a.begin(), jt = e.begin(); it != a.end(); ++it, ++jt) {
    ASSERT_EQ(it->first, jt->first);
    EXPECT_NEAR(it->second.first, jt->second.first, 1e-9);
    EXPECT_NEAR(it->second.second, jt->second.second, 1e-9);
  }
  EXPECT_EQ(actual.term_counts(), expected.term_counts());
}

class LibraryOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string& dir = dir_.path();
    test::WriteSmallDataFolder(dir, 1);
    env_ = std::make_unique<test::TestEnvironment>();
    env_->Load(dir, "main.ini");
  }

  std::unique_ptr<DocumentStore> NewLibrary(const std::string& name) {
    auto store = std::make_unique<DocumentStore>(env_.get());
    EXPECT_EQ(CreateStore(store.get(), name, env_.get()), 0);
    return store;
  }

  static void AddLine(const LibraryHalf& half, const std::string& line) {
    test::WriteFile(half.TablePath(), test::ReadFile(half.TablePath()) + line);
  }

  // Writes the DML file of `id` into `half` and appends its table line.
  static void AddDocument(const LibraryHalf& half, const std::string& id,
                          const std::string& sentence) {
    DocumentRecord record;
    record.docid = id;
    const std::string body = WriteStat(record) + "\n<p>\n<s>" + sentence + "</s>\n</p>\n";
    test::WriteFile(half.cache_folder + id + ".dml", WriteDocument(body));
    AddLine(half, id + "|http://example.org/" + id + "|" + std::to_string(body.size()) + "|0|0|\n");
  }

  std::string Root() const { return env_->StoreFolderRoot(); }

  test::TempDir dir_;
  std::unique_ptr<test::TestEnvironment> env_;
};

TEST_F(LibraryOpsTest, CreateStoreFillsTheTemplate) {
  DocumentStore store(env_.get());
  ASSERT_EQ(CreateStore(&store, "Solar Energy", env_.get()), 0);
  EXPECT_EQ(store.library_name(), "Solar Energy");
  ASSERT_EQ(store.ident().substr(0, 2), "ds");
  EXPECT_EQ(store.description_path(), Root() + store.ident() + ".ini");
  const std::string description = test::ReadFile(store.description_path());
  EXPECT_EQ(description.find("__IDENT"), std::string::npos) << description;
  EXPECT_EQ(description.find("__NAME"), std::string::npos) << description;
  EXPECT_NE(description.find("name = Solar Energy\n"), std::string::npos) << description;
  EXPECT_NE(description.find("ident = " + store.ident() + "\n"), std::string::npos) << description;
  EXPECT_TRUE(DocumentStore::DescriptionReadable(store.description_path()));
  for (const char* half : {"loc_c", "loc_i", "web_c", "web_i"}) {
    EXPECT_TRUE(fs::is_directory(Root() + store.ident() + "/" + half)) << half;
  }
  EXPECT_EQ(store.local().cache_folder, Root() + store.ident() + "/loc_c/");
  EXPECT_EQ(store.web().index_folder, Root() + store.ident() + "/web_i/");
  EXPECT_EQ(store.DocumentCount(), 0u);
  // The template itself is left as it was.
  EXPECT_NE(test::ReadFile(dir_.path() + "template/__IDENT.ini").find("__NAME"), std::string::npos);
}

TEST_F(LibraryOpsTest, CreationsGetDistinctIdents) {
  std::vector<std::unique_ptr<DocumentStore>> stores;
  for (int i = 0; i < 5; ++i) stores.push_back(NewLibrary("Same"));
  for (size_t i = 0; i < stores.size(); ++i) {
    EXPECT_EQ(stores[i]->ident().substr(0, 2), "ds");
    EXPECT_TRUE(Exists(stores[i]->description_path()));
    for (size_t j = 0; j < i; ++j) EXPECT_NE(stores[i]->ident(), stores[j]->ident());
  }
  const std::string ident = MakeStoreIdent();
  ASSERT_GT(ident.size(), 2u);
  EXPECT_EQ(ident.substr(0, 2), "ds");
  EXPECT_EQ(ident.find_first_not_of("0123456789", 2), std::string::npos) << ident;
}

TEST_F(LibraryOpsTest, CreateStoreWithoutTemplateLeavesNothing) {
  fs::remove_all(dir_.path() + "template");
  DocumentStore store(env_.get());
  EXPECT_EQ(CreateStore(&store, "Nothing", env_.get()), -1);
  EXPECT_EQ(test::FolderSnapshot(Root()), "");

  // A template description without its folder fails as well, and the
  // description written for it is taken away again.
  fs::create_directories(dir_.path() + "template");
  test::WriteFile(dir_.path() + "template/__IDENT.ini", "[docstore]\nname = __NAME\n");
  DocumentStore second(env_.get());
  EXPECT_EQ(CreateStore(&second, "Nothing", env_.get()), -1);
  EXPECT_EQ(test::FolderSnapshot(Root()), "");

  // A template whose folder is copied but whose "loc_c" is a file: the
  // library folder made so far is removed too.
  fs::create_directories(dir_.path() + "template/__IDENT");
  test::WriteFile(dir_.path() + "template/__IDENT/loc_c", "not a folder");
  DocumentStore third(env_.get());
  EXPECT_EQ(CreateStore(&third, "Nothing", env_.get()), -1);
  EXPECT_EQ(test::FolderSnapshot(Root()), "");
}

class MergeTest : public LibraryOpsTest {
 protected:
  void SetUp() override {
    LibraryOpsTest::SetUp();
    target_ = NewLibrary("Target");
    AddDocument(target_->local(), "c", "geothermal plants tap underground heat");
    ASSERT_EQ(target_->ProcessDocuments(false), 0);
    source_ = NewLibrary("Source");
    AddDocument(source_->local(), "a", "solar panels convert sunlight into power");
    AddDocument(source_->local(), "b", "wind turbines convert moving air into power");
    AddDocument(source_->web(), "w", "tidal power moves with the moon");
    ASSERT_EQ(source_->ProcessDocuments(false), 0);
    // A raw file of the same name in both libraries.
    test::WriteFile(source_->local().cache_folder + "shared.htm", "source copy");
    test::WriteFile(target_->local().cache_folder + "shared.htm", "target copy");
  }

  std::unique_ptr<DocumentStore> target_;
  std::unique_ptr<DocumentStore> source_;
};

TEST_F(MergeTest, MovesLinesAndFiles) {
  const std::string source_local = source_->local().cache_folder;
  const std::string source_index = source_->local().index_folder;
  const std::string a_dml = test::ReadFile(source_local + "a.dml");
  std::string folder;
  ASSERT_TRUE(source_->DocumentFolder("a", &folder));
  const std::vector<std::string> source_lines = Lines(test::ReadFile(source_->local().TablePath()));
  ASSERT_EQ(source_lines.size(), 2u);
  ASSERT_EQ(target_->MergeStore(source_.get()), 0);

  // Source lines first, marked for processing; the target's line as it was.
  const std::vector<std::string> lines = Lines(test::ReadFile(target_->local().TablePath()));
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < 2; ++i) {
    const std::string& moved = source_lines[i];
    ASSERT_EQ(moved.substr(moved.size() - 2), "1|");
    EXPECT_EQ(lines[i], moved.substr(0, moved.size() - 2) + "0|");
  }
  EXPECT_EQ(lines[2].substr(0, 2), "c|");
  EXPECT_EQ(lines[2].substr(lines[2].size() - 5), "|0|1|");
  const std::vector<std::string> web_lines = Lines(test::ReadFile(target_->web().TablePath()));
  ASSERT_EQ(web_lines.size(), 1u);
  EXPECT_EQ(web_lines[0].substr(0, 2), "w|");
  EXPECT_EQ(web_lines[0].substr(web_lines[0].size() - 5), "|0|0|");

  // The source's table files are there and empty.
  ASSERT_TRUE(Exists(source_->local().TablePath()));
  ASSERT_TRUE(Exists(source_->web().TablePath()));
  EXPECT_EQ(test::ReadFile(source_->local().TablePath()), "");
  EXPECT_EQ(test::ReadFile(source_->web().TablePath()), "");
  EXPECT_EQ(source_->DocumentCount(), 0u);
  EXPECT_FALSE(source_->DocumentFolder("a", &folder));

  // The documents' files moved.
  for (const std::string name : {"a.dml", "b.dml"}) {
    EXPECT_FALSE(Exists(source_local + name)) << name;
    EXPECT_TRUE(Exists(target_->local().cache_folder + name)) << name;
  }
  for (const std::string name : {"a.idx", "b.idx"}) {
    EXPECT_FALSE(Exists(source_index + name)) << name;
    EXPECT_TRUE(Exists(target_->local().index_folder + name)) << name;
  }
  EXPECT_EQ(test::ReadFile(target_->local().cache_folder + "a.dml"), a_dml);
  EXPECT_TRUE(Exists(target_->web().cache_folder + "w.dml"));
  EXPECT_TRUE(Exists(target_->web().index_folder + "w.idx"));
  EXPECT_FALSE(Exists(target_->local().cache_folder + "w.dml"));
  // A name taken in the target stays in the source.
  EXPECT_EQ(test::ReadFile(source_local + "shared.htm"), "source copy");
  EXPECT_EQ(test::ReadFile(target_->local().cache_folder + "shared.htm"), "target copy");
}

TEST_F(MergeTest, IncrementalRunAfterMergeEqualsFullRebuild) {
  ASSERT_EQ(target_->MergeStore(source_.get()), 0);
  ASSERT_EQ(target_->ProcessDocuments(false), 0);
  EXPECT_EQ(target_->local().table.size(), 3u);
  EXPECT_EQ(test::ReadFile(target_->local().TablePath()).find("|0|0|"), std::string::npos);
  TermVector incremental = target_->local().plain();
  TermVector incremental_web = target_->web().plain();
  ASSERT_GT(incremental.pair_count(), 0u);
  ASSERT_GT(incremental_web.pair_count(), 0u);

  ASSERT_EQ(target_->ProcessDocuments(true), 0);
  ExpectSameContent(incremental, target_->local().plain());
  ExpectSameContent(incremental_web, target_->web().plain());
  EXPECT_EQ(target_->local().plain().TermCount(env_->dictionary()->FindWord("convert")), 2);
  EXPECT_EQ(target_->local().plain().TermCount(env_->dictionary()->FindWord("geothermal")), 1);
}

TEST_F(MergeTest, SharedIdIsCountedOnce) {
  // Both libraries list "c"; the target's file stays and is already counted
  // in the target's master, whatever the source's line says.
  AddDocument(source_->local(), "c", "hydro dams store water");
  ASSERT_EQ(target_->MergeStore(source_.get()), 0);
  const std::vector<std::string> lines = Lines(test::ReadFile(target_->local().TablePath()));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].substr(0, 2), "c|");
  EXPECT_EQ(lines[2].substr(lines[2].size() - 2), "1|");
  EXPECT_TRUE(Exists(source_->local().cache_folder + "c.dml"));

  ASSERT_EQ(target_->ProcessDocuments(false), 0);
  TermVector incremental = target_->local().plain();
  ASSERT_EQ(target_->ProcessDocuments(true), 0);
  ExpectSameContent(incremental, target_->local().plain());
  EXPECT_EQ(incremental.TermCount(env_->dictionary()->FindWord("geothermal")), 1);
}

class MoveDocumentTest : public LibraryOpsTest {
 protected:
  void SetUp() override {
    LibraryOpsTest::SetUp();
    receiver_ = NewLibrary("Receiver");
    source_ = NewLibrary("Source");
    AddDocument(source_->local(), "abc", "solar panels convert sunlight");
    AddDocument(source_->local(), "abcd", "wind turbines convert moving air");
    AddDocument(source_->web(), "ab", "tidal power moves with the moon");
    ASSERT_EQ(source_->ProcessDocuments(false), 0);
    for (const char* id : {"abc", "abcd"}) {
      test::WriteFile(source_->local().cache_folder + id + ".htm", std::string("raw ") + id);
    }
    test::WriteFile(source_->web().cache_folder + "ab.htm", "raw ab");
  }

  std::unique_ptr<DocumentStore> receiver_;
  std::unique_ptr<DocumentStore> source_;
};

TEST_F(MoveDocumentTest, MovesExactlyOneDocument) {
  const std::string line = Lines(test::ReadFile(source_->local().TablePath()))[0];
  ASSERT_EQ(line.substr(0, 4), "abc|");
  ASSERT_EQ(receiver_->MoveDocument(source_.get(), "abc"), 0);

  const LibraryHalf& from = source_->local();
  const LibraryHalf& to = receiver_->local();
  for (const std::string name : {"abc.dml", "abc.htm"}) {
    EXPECT_FALSE(Exists(from.cache_folder + name)) << name;
    EXPECT_TRUE(Exists(to.cache_folder + name)) << name;
  }
  EXPECT_FALSE(Exists(from.index_folder + "abc.idx"));
  EXPECT_TRUE(Exists(to.index_folder + "abc.idx"));
  EXPECT_EQ(test::ReadFile(to.cache_folder + "abc.htm"), "raw abc");
  // The document whose id starts with the same characters stays.
  for (const std::string name : {"abcd.dml", "abcd.htm"}) {
    EXPECT_TRUE(Exists(from.cache_folder + name)) << name;
    EXPECT_FALSE(Exists(to.cache_folder + name)) << name;
  }
  EXPECT_TRUE(Exists(from.index_folder + "abcd.idx"));
  EXPECT_FALSE(Exists(to.index_folder + "abcd.idx"));
  EXPECT_TRUE(Exists(source_->web().cache_folder + "ab.dml"));
  EXPECT_TRUE(Exists(source_->web().cache_folder + "ab.htm"));

  // The line leaves the source, file and memory, and joins the receiver's
  // table file, to be counted by its next processing run.
  const std::vector<std::string> source_lines = Lines(test::ReadFile(from.TablePath()));
  ASSERT_EQ(source_lines.size(), 1u);
  EXPECT_EQ(source_lines[0].substr(0, 5), "abcd|");
  EXPECT_FALSE(from.table.Contains("abc"));
  EXPECT_TRUE(from.table.Contains("abcd"));
  EXPECT_EQ(test::ReadFile(to.TablePath()), line.substr(0, line.size() - 2) + "0|\n");
  EXPECT_EQ(test::ReadFile(receiver_->web().TablePath()), "");

  ASSERT_EQ(receiver_->ProcessDocuments(false), 0);
  TermVector plain, stemmed;
  ASSERT_EQ(receiver_->LoadDocumentIndex("abc", &plain, &stemmed), 0);
  ASSERT_GT(plain.pair_count(), 0u);
  ExpectSameContent(receiver_->local().plain(), plain);
}

TEST_F(MoveDocumentTest, WebDocumentGoesToTheWebHalf) {
  ASSERT_EQ(receiver_->MoveDocument(source_.get(), "ab"), 0);
  EXPECT_TRUE(Exists(receiver_->web().cache_folder + "ab.dml"));
  EXPECT_TRUE(Exists(receiver_->web().cache_folder + "ab.htm"));
  EXPECT_TRUE(Exists(receiver_->web().index_folder + "ab.idx"));
  EXPECT_FALSE(Exists(receiver_->local().cache_folder + "ab.dml"));
  EXPECT_EQ(Lines(test::ReadFile(receiver_->web().TablePath())).size(), 1u);
  EXPECT_EQ(test::ReadFile(receiver_->local().TablePath()), "");
  EXPECT_EQ(test::ReadFile(source_->web().TablePath()), "");
  EXPECT_EQ(source_->web().table.size(), 0u);
  // The local documents whose ids start with "ab" stay.
  EXPECT_EQ(source_->local().table.size(), 2u);
  EXPECT_TRUE(Exists(source_->local().cache_folder + "abc.dml"));
  EXPECT_TRUE(Exists(source_->local().cache_folder + "abcd.htm"));
}

TEST_F(MoveDocumentTest, UnknownIdMovesNothing) {
  const std::string source_before = test::FolderSnapshot(source_->StoreFolder());
  const std::string receiver_before = test::FolderSnapshot(receiver_->StoreFolder());
  EXPECT_EQ(receiver_->MoveDocument(source_.get(), "zzz"), -1);
  EXPECT_EQ(receiver_->MoveDocument(source_.get(), "abcde"), -1);
  EXPECT_EQ(receiver_->MoveDocument(source_.get(), "a"), -1);
  EXPECT_EQ(test::FolderSnapshot(source_->StoreFolder()), source_before);
  EXPECT_EQ(test::FolderSnapshot(receiver_->StoreFolder()), receiver_before);
  EXPECT_EQ(source_->local().table.size(), 2u);
  EXPECT_EQ(source_->web().table.size(), 1u);
}

// A directory where the temporary file of a table rewrite must go makes
// the rewrite fail, whoever runs the test (the superuser ignores
// permissions), while the table itself stays readable.
void BlockRewriteOf(const std::string& table_path) {
  fs::create_directories(table_path + ".partial/blocked");
}

TEST_F(MergeTest, ATargetTableThatCannotBeWrittenChangesNeitherLibrary) {
  // The web table fails after the local one was written: that one is put
  // back as it was.
  BlockRewriteOf(target_->web().TablePath());
  const std::string target_local = test::ReadFile(target_->local().TablePath());
  const std::string source_before = test::FolderSnapshot(source_->StoreFolder());
  EXPECT_EQ(target_->MergeStore(source_.get()), -1);
  EXPECT_EQ(test::ReadFile(target_->local().TablePath()), target_local);
  EXPECT_EQ(test::FolderSnapshot(source_->StoreFolder()), source_before);
  EXPECT_EQ(source_->local().table.size(), 2u);
  EXPECT_FALSE(Exists(target_->local().cache_folder + "a.dml"));
}

TEST_F(MergeTest, ASourceTableThatCannotBeEmptiedIsReportedAfterTheMove) {
  BlockRewriteOf(source_->web().TablePath());
  EXPECT_EQ(target_->MergeStore(source_.get()), -1);
  EXPECT_TRUE(Exists(target_->local().cache_folder + "a.dml"));
  EXPECT_TRUE(Exists(target_->web().cache_folder + "w.dml"));
  EXPECT_EQ(Lines(test::ReadFile(target_->local().TablePath())).size(), 3u);
  EXPECT_EQ(test::ReadFile(target_->web().TablePath()).substr(0, 2), "w|");
  // The source's web table still lists the document that left it.
  EXPECT_EQ(test::ReadFile(source_->web().TablePath()).substr(0, 2), "w|");
}

TEST_F(MoveDocumentTest, AReceivingTableThatCannotBeWrittenMovesNothing) {
  BlockRewriteOf(receiver_->local().TablePath());
  const std::string source_before = test::FolderSnapshot(source_->StoreFolder());
  EXPECT_EQ(receiver_->MoveDocument(source_.get(), "abc"), -1);
  EXPECT_EQ(test::FolderSnapshot(source_->StoreFolder()), source_before);
  EXPECT_TRUE(source_->local().table.Contains("abc"));
  EXPECT_FALSE(Exists(receiver_->local().cache_folder + "abc.dml"));
}

TEST_F(MoveDocumentTest, ASourceTableThatCannotBeRewrittenIsReported) {
  BlockRewriteOf(source_->local().TablePath());
  EXPECT_EQ(receiver_->MoveDocument(source_.get(), "abc"), -1);
  // The document arrived whole; only the source's line could not go.
  EXPECT_TRUE(Exists(receiver_->local().cache_folder + "abc.dml"));
  EXPECT_TRUE(Exists(receiver_->local().index_folder + "abc.idx"));
  EXPECT_EQ(test::ReadFile(receiver_->local().TablePath()).substr(0, 4), "abc|");
  EXPECT_EQ(test::ReadFile(source_->local().TablePath()).substr(0, 4), "abc|");
}

}  // namespace
}  // namespace qora
