#include "store/document_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "store/dml_writer.h"
#include "tests/test_environment.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) { return fs::exists(path); }

ino_t Inode(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Pairs in order, weights exactly, term counts and weight.
void ExpectSameVector(const TermVector& actual, const TermVector& expected) {
  ASSERT_EQ(actual.pair_count(), expected.pair_count());
  for (size_t i = 0; i < actual.pair_count(); ++i) {
    SCOPED_TRACE(i);
    const TermPair& a = actual.PairAt(i);
    const TermPair& e = expected.PairAt(i);
    EXPECT_EQ(a.first(), e.first());
    EXPECT_EQ(a.second(), e.second());
    EXPECT_EQ(a.forward(), e.forward());
    EXPECT_EQ(a.backward(), e.backward());
  }
  EXPECT_EQ(actual.term_counts(), expected.term_counts());
  EXPECT_EQ(actual.weight(), expected.weight());
}

// The two vectors of an index file.
void ReadIndex(const std::string& path, TermVector* plain, TermVector* stemmed) {
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << path;
  plain->ReadVector(in);
  stemmed->ReadVector(in);
}

class DocumentStoreTest : public ::testing::Test {
 protected:
  // Sets up a data folder with the library template and loads an
  // environment from it.
  void LoadEnvironment(int stemmed_model) {
    const std::string& dir = dir_.path();
    test::WriteSmallDataFolder(dir, stemmed_model);
    env_ = std::make_unique<test::TestEnvironment>();
    env_->Load(dir, "main.ini");
  }

  void SetUp() override { LoadEnvironment(1); }

  std::unique_ptr<DocumentStore> NewLibrary() {
    auto store = std::make_unique<DocumentStore>(env_.get());
    EXPECT_EQ(CreateStore(store.get(), "Library", env_.get()), 0);
    return store;
  }

  // A second store object on the library of `store`, as another session
  // would open it.
  std::unique_ptr<DocumentStore> Reopen(const DocumentStore& store) {
    auto other = std::make_unique<DocumentStore>(env_.get());
    EXPECT_EQ(other->OpenStore(store.ident() + ".ini"), 0);
    return other;
  }

  // Writes the DML file of `id` into `half` and appends its table line.
  static void AddDocument(const LibraryHalf& half, const std::string& id,
                          const std::vector<std::string>& sentences) {
    DocumentRecord record;
    record.docid = id;
    record.header = "About " + id;
    std::string body = WriteStat(record) + "\n<p>\n";
    for (const std::string& sentence : sentences) body += "<s>" + sentence + "</s>\n";
    body += "</p>\n";
    test::WriteFile(half.cache_folder + id + ".dml", WriteDocument(body));
    AddLine(half, id + "|http://example.org/" + id + "|" + std::to_string(body.size()) + "|0|0|\n");
  }

  static void AddLine(const LibraryHalf& half, const std::string& line) {
    test::WriteFile(half.TablePath(), test::ReadFile(half.TablePath()) + line);
  }

  // Two documents in the local half, one in the web half.
  static void AddSampleDocuments(DocumentStore* store) {
    AddDocument(store->local(), "a",
                {"solar panels convert the sunlight", "the panels feed power to the grid"});
    AddDocument(store->local(), "b",
                {"wind turbines convert moving air into power", "turbines need wind"});
    AddDocument(store->web(), "w", {"tidal power moves with the moon"});
  }

  // The plain vector of document `id` as its index file holds it.
  static TermVector DocumentVector(const DocumentStore& store, const std::string& id) {
    TermVector plain, stemmed;
    EXPECT_EQ(store.LoadDocumentIndex(id, &plain, &stemmed), 0);
    return plain;
  }

  int32_t Count(const TermVector& vector, const char* word) const {
    return vector.TermCount(env_->dictionary()->FindWord(word));
  }

  test::TempDir dir_;
  std::unique_ptr<test::TestEnvironment> env_;
};

TEST_F(DocumentStoreTest, OpenStoreNeedsAName) {
  DocumentStore store(env_.get());
  EXPECT_EQ(store.OpenStore(""), -1);
}

TEST_F(DocumentStoreTest, OpenStoreWithoutDescriptionSetsFolders) {
  const std::string root = env_->StoreFolderRoot();
  DocumentStore store(env_.get());
  EXPECT_EQ(store.OpenStore("dsmissing.ini"), 0);
  EXPECT_EQ(store.library_name(), "");
  EXPECT_EQ(store.ident(), "dsmissing");
  EXPECT_EQ(store.local().cache_folder, root + "dsmissing/loc_c/");
  EXPECT_EQ(store.local().index_folder, root + "dsmissing/loc_i/");
  EXPECT_EQ(store.web().cache_folder, root + "dsmissing/web_c/");
  EXPECT_EQ(store.web().index_folder, root + "dsmissing/web_i/");
  EXPECT_EQ(store.DocumentCount(), 0u);

  // The ident runs from the last "/" to the last "." after it.
  DocumentStore nested(env_.get());
  EXPECT_EQ(nested.OpenStore("old.dir/lib"), 0);
  EXPECT_EQ(nested.ident(), "lib");
  EXPECT_EQ(nested.local().cache_folder, root + "lib/loc_c/");
  DocumentStore dotted(env_.get());
  EXPECT_EQ(dotted.OpenStore("sub/ds.v2.ini"), 0);
  EXPECT_EQ(dotted.ident(), "ds.v2");
}

TEST_F(DocumentStoreTest, OpenStoreReadsNameAndTables) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  auto reopened = Reopen(*store);
  EXPECT_EQ(reopened->library_name(), "Library");
  EXPECT_EQ(reopened->local().table.size(), 2u);
  EXPECT_EQ(reopened->web().table.size(), 1u);
  EXPECT_TRUE(reopened->local().table.Contains("b"));
  EXPECT_TRUE(reopened->web().table.Contains("w"));
}

TEST_F(DocumentStoreTest, ProcessDocumentsIndexesEveryDocument) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  std::string expected_lines = test::ReadFile(store->local().TablePath());
  for (size_t at = expected_lines.find("|0|0|\n"); at != std::string::npos;
       at = expected_lines.find("|0|0|\n", at)) {
    expected_lines.replace(at, 6, "|0|1|\n");
  }
  ASSERT_EQ(store->ProcessDocuments(false), 0);

  const LibraryHalf& local = store->local();
  const LibraryHalf& web = store->web();
  EXPECT_TRUE(Exists(local.index_folder + "a.idx"));
  EXPECT_TRUE(Exists(local.index_folder + "b.idx"));
  EXPECT_TRUE(Exists(web.index_folder + "w.idx"));
  EXPECT_FALSE(Exists(local.index_folder + "w.idx"));
  EXPECT_TRUE(Exists(local.MasterPath()));
  EXPECT_TRUE(Exists(web.MasterPath()));

  // Every line is marked processed; the other fields are kept.
  EXPECT_EQ(test::ReadFile(local.TablePath()), expected_lines);
  EXPECT_EQ(local.table.Find("a").processed, 1);
  EXPECT_EQ(local.table.Find("b").processed, 1);
  EXPECT_EQ(web.table.Find("w").processed, 1);

  // The master vector is the sum of the documents' vectors.
  const TermVector a = DocumentVector(*store, "a");
  const TermVector b = DocumentVector(*store, "b");
  const TermVector w = DocumentVector(*store, "w");
  ASSERT_GT(a.pair_count(), 0u);
  ASSERT_GT(b.pair_count(), 0u);
  ASSERT_GT(w.pair_count(), 0u);
  TermVector sum;
  sum.Merge(a);
  sum.Merge(b);
  ExpectSameVector(local.plain(), sum);
  ExpectSameVector(web.plain(), w);
  EXPECT_EQ(Count(local.plain(), "convert"), 2);
  EXPECT_EQ(Count(local.plain(), "panels"), 2);
  EXPECT_EQ(Count(local.plain(), "tidal"), -1);
  EXPECT_EQ(Count(local.plain(), "the"), -1);  // a stop word
  EXPECT_EQ(Count(web.plain(), "tidal"), 1);

  // The master file holds the same vectors, the stemmed one included.
  TermVector file_plain, file_stemmed;
  ReadIndex(local.MasterPath(), &file_plain, &file_stemmed);
  ExpectSameVector(file_plain, sum);
  EXPECT_GT(local.stemmed.pair_count(), 0u);
  ExpectSameVector(file_stemmed, local.stemmed);
}

// Far more documents than the indexing runs ahead of the summing, sharing
// words in both orders: the master is the sum of the index files in table
// order, pair order and weights exactly, and the stemmed master is the
// stemmed copy of that sum. A document whose file is missing adds nothing
// and the run goes on past it.
TEST_F(DocumentStoreTest, ProcessingManyDocumentsSumsThemInTableOrder) {
  auto store = NewLibrary();
  const char* const kWords[] = {"river", "rivers",  "stone", "stones",  "bridge",   "bridges",
                                "water", "flowing", "under", "ancient", "builders", "arch"};
  constexpr int kDocuments = 60;
  for (int d = 0; d < kDocuments; ++d) {
    std::vector<std::string> sentences;
    for (int s = 0; s < 3; ++s) {
      std::string sentence;
      for (int w = 0; w < 7; ++w)
        sentence += std::string(kWords[(d * 5 + s * 3 + w * (d % 4 + 1)) % 12]) + " ";
      sentences.push_back(sentence);
    }
    AddDocument(store->local(), "d" + std::to_string(d), sentences);
  }
  fs::remove(store->local().cache_folder + "d17.dml");
  ASSERT_EQ(store->ProcessDocuments(false), 0);

  TermVector sum;
  for (int d = 0; d < kDocuments; ++d) {
    const std::string id = "d" + std::to_string(d);
    if (d == 17) continue;
    EXPECT_EQ(store->local().table.Find(id).processed, 1) << id;
    sum.Merge(DocumentVector(*store, id));
  }
  ExpectSameVector(store->local().plain(), sum);
  TermVector stemmed;
  stemmed.StemmedCopyOf(sum, env_->stems());
  ASSERT_LT(stemmed.pair_count(), sum.pair_count());  // plurals share stems
  TermVector file_plain, file_stemmed;
  ReadIndex(store->local().MasterPath(), &file_plain, &file_stemmed);
  ExpectSameVector(file_plain, sum);
  ExpectSameVector(file_stemmed, stemmed);
  ExpectSameVector(store->local().stemmed, stemmed);
}

TEST_F(DocumentStoreTest, IncrementalRunCountsEachDocumentOnce) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  const LibraryHalf& local = store->local();
  const TermVector a = DocumentVector(*store, "a");
  const TermVector b = DocumentVector(*store, "b");
  const std::string master = test::ReadFile(local.MasterPath());
  const ino_t b_inode = Inode(local.index_folder + "b.idx");
  ASSERT_NE(b_inode, 0u);

  // Nothing is left to process: no index file is written again, and the
  // master stays as it was.
  ASSERT_TRUE(fs::remove(local.index_folder + "a.idx"));
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  EXPECT_FALSE(Exists(local.index_folder + "a.idx"));
  EXPECT_EQ(Inode(local.index_folder + "b.idx"), b_inode);
  EXPECT_EQ(test::ReadFile(local.MasterPath()), master);

  // A new line is the only document added.
  AddDocument(local, "c", {"batteries store solar power"});
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  EXPECT_TRUE(Exists(local.index_folder + "c.idx"));
  EXPECT_FALSE(Exists(local.index_folder + "a.idx"));
  EXPECT_EQ(Inode(local.index_folder + "b.idx"), b_inode);
  TermVector sum;
  sum.Merge(a);
  sum.Merge(b);
  sum.Merge(DocumentVector(*store, "c"));
  ExpectSameVector(local.plain(), sum);
  EXPECT_EQ(Count(local.plain(), "solar"), 2);
  EXPECT_EQ(local.table.Find("c").processed, 1);
}

TEST_F(DocumentStoreTest, UnstemmedModelCountsEachDocumentOnce) {
  LoadEnvironment(2);
  ASSERT_FALSE(env_->stemmed_model());
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  const LibraryHalf& local = store->local();
  EXPECT_EQ(local.table.Find("a").processed, 1);
  EXPECT_EQ(local.table.Find("b").processed, 1);
  const std::string master = test::ReadFile(local.MasterPath());

  ASSERT_EQ(store->ProcessDocuments(false), 0);
  EXPECT_EQ(test::ReadFile(local.MasterPath()), master);
  TermVector sum;
  sum.Merge(DocumentVector(*store, "a"));
  sum.Merge(DocumentVector(*store, "b"));
  ExpectSameVector(local.plain(), sum);
  EXPECT_EQ(Count(local.plain(), "convert"), 2);
  EXPECT_EQ(local.stemmed.pair_count(), 0u);
  TermVector plain, stemmed;
  ASSERT_EQ(store->LoadDocumentIndex("a", &plain, &stemmed), 0);
  EXPECT_EQ(stemmed.pair_count(), 0u);
  EXPECT_EQ(test::ReadFile(local.TablePath()).find("|0|0|"), std::string::npos);
}

TEST_F(DocumentStoreTest, FullRunRebuildsTheSameMaster) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  const LibraryHalf& local = store->local();
  const std::string master = test::ReadFile(local.MasterPath());
  const std::string web_master = test::ReadFile(store->web().MasterPath());
  const std::string b_index = test::ReadFile(local.index_folder + "b.idx");

  // Index files of documents no longer listed go; other files stay.
  test::WriteFile(local.index_folder + "gone.idx", "stale");
  test::WriteFile(local.index_folder + "notes.txt", "kept");
  ASSERT_TRUE(fs::remove(local.index_folder + "a.idx"));
  ASSERT_EQ(store->ProcessDocuments(true), 0);
  EXPECT_TRUE(Exists(local.index_folder + "a.idx"));
  EXPECT_FALSE(Exists(local.index_folder + "gone.idx"));
  EXPECT_EQ(test::ReadFile(local.index_folder + "notes.txt"), "kept");
  EXPECT_EQ(test::ReadFile(local.index_folder + "b.idx"), b_index);
  EXPECT_EQ(test::ReadFile(local.MasterPath()), master);
  EXPECT_EQ(test::ReadFile(store->web().MasterPath()), web_master);

  // A fresh store object rebuilds the same master from the files alone.
  auto fresh = Reopen(*store);
  ASSERT_EQ(fresh->ProcessDocuments(true), 0);
  EXPECT_EQ(test::ReadFile(local.MasterPath()), master);
  ExpectSameVector(fresh->local().plain(), local.plain());
}

TEST_F(DocumentStoreTest, DocumentWithoutDmlFileIsIndexedEmpty) {
  auto store = NewLibrary();
  AddDocument(store->local(), "a", {"solar panels convert sunlight"});
  AddLine(store->local(), "ghost|http://example.org/ghost|99|0|0|\n");
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  const LibraryHalf& local = store->local();
  EXPECT_TRUE(Exists(local.index_folder + "ghost.idx"));
  EXPECT_EQ(local.table.Find("ghost").processed, 1);
  TermVector plain, stemmed;
  plain.SetTermCount(1, 1);
  ASSERT_EQ(store->LoadDocumentIndex("ghost", &plain, &stemmed), 0);
  EXPECT_EQ(plain.pair_count(), 0u);
  EXPECT_EQ(plain.term_count(), 0u);
  EXPECT_EQ(stemmed.pair_count(), 0u);
  ExpectSameVector(local.plain(), DocumentVector(*store, "a"));
}

TEST_F(DocumentStoreTest, RefreshIndexReadsMastersAndNewLines) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);

  auto other = Reopen(*store);
  EXPECT_EQ(other->local().plain().pair_count(), 0u);
  ASSERT_EQ(other->RefreshIndex(), 0);
  ExpectSameVector(other->local().plain(), store->local().plain());
  ExpectSameVector(other->local().stemmed, store->local().stemmed);
  ExpectSameVector(other->web().plain(), store->web().plain());

  // Without a master file the vectors stay; new table lines are added and
  // the known ones kept as they are in memory.
  ASSERT_TRUE(fs::remove(store->local().MasterPath()));
  AddLine(store->local(), "late|http://example.org/late|5|0|0|\n");
  other->local().table.FindMutable("a")->depth = 7;
  ASSERT_EQ(other->RefreshIndex(), 0);
  ExpectSameVector(other->local().plain(), store->local().plain());
  EXPECT_EQ(other->local().table.size(), 3u);
  EXPECT_TRUE(other->local().table.Contains("late"));
  EXPECT_EQ(other->local().table.Find("a").depth, 7);
  EXPECT_EQ(other->local().table.at(2).id, "late");
}

TEST_F(DocumentStoreTest, ReadStoredRecordAndIndexOfUnknownIds) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);

  DocumentRecord record;
  record.header = "untouched";
  EXPECT_EQ(store->ReadStoredRecord("nope", &record), -1);
  EXPECT_EQ(store->ReadStoredRecord("a.dml", &record), -1);
  EXPECT_EQ(record.header, "untouched");
  EXPECT_EQ(record.bcuri, "");
  TermVector plain, stemmed;
  EXPECT_EQ(store->LoadDocumentIndex("nope", &plain, &stemmed), -1);
  EXPECT_EQ(store->LoadDocumentIndex("", &plain, &stemmed), -1);

  DocumentRecord local_record;
  ASSERT_EQ(store->ReadStoredRecord("b", &local_record), 0);
  EXPECT_EQ(local_record.docid, " b ");
  EXPECT_EQ(local_record.header, " About b ");
  EXPECT_EQ(local_record.bcuri, "file://" + store->local().cache_folder);
  DocumentRecord web_record;
  ASSERT_EQ(store->ReadStoredRecord("w", &web_record), 0);
  EXPECT_EQ(web_record.header, " About w ");
  EXPECT_EQ(web_record.bcuri, "file://" + store->web().cache_folder);

  std::string folder;
  EXPECT_TRUE(store->DocumentFolder("w", &folder));
  EXPECT_EQ(folder, store->web().cache_folder);
  EXPECT_TRUE(store->DocumentFolder("a", &folder));
  EXPECT_EQ(folder, store->local().cache_folder);
  EXPECT_FALSE(store->DocumentFolder("nope", &folder));
  EXPECT_EQ(folder, store->local().cache_folder);
}

void ExpectSamePairs(const TermVector& expected, const std::vector<TermPair>& pairs) {
  ASSERT_EQ(expected.pair_count(), pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i) {
    const TermPair& e = expected.PairAt(i);
    EXPECT_TRUE(pairs[i].Is(e.first(), e.second())) << i;
    EXPECT_EQ(e.forward(), pairs[i].forward()) << i;
    EXPECT_EQ(e.backward(), pairs[i].backward()) << i;
  }
}

TEST_F(DocumentStoreTest, LoadDocumentPairsReadsTheVectorOfTheModel) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  std::string buffer;
  std::vector<TermPair> pairs = {TermPair(1, 2)};
  for (const char* id : {"a", "w"}) {
    TermVector plain, stemmed;
    ASSERT_EQ(store->LoadDocumentIndex(id, &plain, &stemmed), 0);
    ASSERT_GT(stemmed.pair_count(), 0u);
    bool same_ids = plain.pair_count() == stemmed.pair_count();
    for (size_t i = 0; same_ids && i < plain.pair_count(); ++i) {
      same_ids = plain.PairAt(i).Is(stemmed.PairAt(i).first(), stemmed.PairAt(i).second());
    }
    ASSERT_FALSE(same_ids) << id;  // the sample has inflected words: the two differ
    ASSERT_EQ(store->LoadDocumentPairs(id, true, &buffer, &pairs), 0);
    ExpectSamePairs(stemmed, pairs);
    ASSERT_EQ(store->LoadDocumentPairs(id, false, &buffer, &pairs), 0);
    ExpectSamePairs(plain, pairs);
  }
  EXPECT_EQ(store->LoadDocumentPairs("nope", true, &buffer, &pairs), -1);

  // A listed document whose index file is missing or cut short has no pairs.
  const std::string index = store->local().index_folder + "a.idx";
  const std::string bytes = test::ReadFile(index);
  test::WriteFile(index, bytes.substr(0, bytes.size() - 3));
  ASSERT_EQ(store->LoadDocumentPairs("a", true, &buffer, &pairs), 0);
  EXPECT_TRUE(pairs.empty());
  ASSERT_EQ(store->LoadDocumentPairs("a", false, &buffer, &pairs), 0);
  EXPECT_FALSE(pairs.empty());  // the plain vector comes first and is whole
  ASSERT_TRUE(fs::remove(index));
  ASSERT_EQ(store->LoadDocumentPairs("a", false, &buffer, &pairs), 0);
  EXPECT_TRUE(pairs.empty());
}

TEST_F(DocumentStoreTest, AddLocalDocumentWritesFileAndLine) {
  auto store = NewLibrary();
  AddDocument(store->local(), "a", {"solar panels convert sunlight"});
  store->RefreshIndex();
  const std::string before = test::ReadFile(store->local().TablePath());

  const std::string content = "<html>notes on wind power</html>";
  const std::string uri = store->AddLocalDocument("notes.htm", "/home/u/notes.htm", content);
  const std::string path = store->local().cache_folder + "notes.htm";
  EXPECT_EQ(uri, "file://" + path);
  EXPECT_EQ(test::ReadFile(path), content);
  EXPECT_EQ(test::ReadFile(store->local().TablePath()),
            before + "notes.htm|/home/u/notes.htm|" + std::to_string(content.size()) + "|0|0|\n");
  EXPECT_EQ(store->local().table.size(), 1u);
  EXPECT_FALSE(store->local().table.Contains("notes.htm"));
  EXPECT_EQ(store->web().table.size(), 0u);

  // Into a library whose folders are missing nothing is written.
  DocumentStore missing(env_.get());
  ASSERT_EQ(missing.OpenStore("dsabsent.ini"), 0);
  EXPECT_EQ(missing.AddLocalDocument("x.htm", "/x", "text"), "");
  EXPECT_FALSE(Exists(missing.local().TablePath()));
  EXPECT_FALSE(Exists(env_->StoreFolderRoot() + "dsabsent"));
}

TEST_F(DocumentStoreTest, EmptyStoreRemovesEveryFile) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  test::WriteFile(store->web().cache_folder + "w.htm", "<html></html>");

  ASSERT_EQ(store->EmptyStore(), 0);
  for (const std::string& folder : {store->local().cache_folder, store->local().index_folder,
                                    store->web().cache_folder, store->web().index_folder}) {
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_TRUE(fs::is_empty(folder)) << test::FolderSnapshot(folder);
  }
  EXPECT_TRUE(Exists(store->description_path()));
  EXPECT_EQ(store->local().table.size(), 2u);
  EXPECT_EQ(store->web().table.size(), 1u);
  EXPECT_EQ(store->local().plain().pair_count(), 0u);
  EXPECT_EQ(store->web().plain().pair_count(), 0u);
  EXPECT_EQ(store->local().stemmed.pair_count(), 0u);
}

TEST_F(DocumentStoreTest, EraseStoreFilesRemovesDescriptionAndFolder) {
  auto keep = NewLibrary();
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  const std::string folder = env_->StoreFolderRoot() + store->ident() + "/";
  ASSERT_EQ(store->StoreFolder(), folder);
  const std::string keep_snapshot = test::FolderSnapshot(env_->StoreFolderRoot() + keep->ident());

  ASSERT_EQ(store->EraseStoreFiles(), 0);
  EXPECT_FALSE(Exists(store->description_path()));
  EXPECT_FALSE(Exists(folder));
  // Another library is left alone.
  EXPECT_TRUE(Exists(keep->description_path()));
  EXPECT_EQ(test::FolderSnapshot(env_->StoreFolderRoot() + keep->ident()), keep_snapshot);
}

TEST_F(DocumentStoreTest, EraseStoreFilesNeedsAnIdent) {
  // Names that leave no identifier of their own would make the store folder
  // the library root or the data folder.
  auto keep = NewLibrary();
  const std::string snapshot = test::FolderSnapshot(dir_.path());
  for (const char* name : {".ini", "..ini", "...ini"}) {
    SCOPED_TRACE(name);
    DocumentStore store(env_.get());
    ASSERT_EQ(store.OpenStore(name), 0);
    EXPECT_EQ(store.EraseStoreFiles(), -1);
    EXPECT_EQ(test::FolderSnapshot(dir_.path()), snapshot);
  }
}

// A directory where a file must go makes its write fail, whoever runs the
// test (the superuser ignores permissions).
void BlockWith(const std::string& path) {
  fs::remove(path);
  fs::create_directories(path + "/blocked");
}

TEST_F(DocumentStoreTest, ProcessDocumentsReportsAMasterIndexItCannotWrite) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  const std::string local_table = test::ReadFile(store->local().TablePath());
  BlockWith(store->local().MasterPath());
  EXPECT_EQ(store->ProcessDocuments(false), -1);
  // The local flags stay 0 on file, so the next run counts the documents
  // into the master index; the web half was processed all the same.
  EXPECT_EQ(test::ReadFile(store->local().TablePath()), local_table);
  EXPECT_TRUE(Exists(store->web().MasterPath()));
  EXPECT_NE(test::ReadFile(store->web().TablePath()).find("|0|1|"), std::string::npos);

  fs::remove_all(store->local().MasterPath());
  ASSERT_EQ(store->ProcessDocuments(false), 0);
  auto reopened = Reopen(*store);
  ASSERT_EQ(reopened->RefreshIndex(), 0);
  EXPECT_GT(Count(reopened->local().plain(), "solar"), 0);
  EXPECT_GT(Count(reopened->local().plain(), "wind"), 0);
}

TEST_F(DocumentStoreTest, ProcessDocumentsReportsATableItCannotWrite) {
  auto store = NewLibrary();
  AddSampleDocuments(store.get());
  const std::string web_table = test::ReadFile(store->web().TablePath());
  BlockWith(store->web().TablePath() + ".partial");
  EXPECT_EQ(store->ProcessDocuments(false), -1);
  EXPECT_EQ(test::ReadFile(store->web().TablePath()), web_table);
  EXPECT_NE(test::ReadFile(store->local().TablePath()).find("|0|1|"), std::string::npos);
}

TEST_F(DocumentStoreTest, AddLocalDocumentLeavesNoFileWhenItsLineCannotBeWritten) {
  auto store = NewLibrary();
  BlockWith(store->local().TablePath());
  EXPECT_EQ(store->AddLocalDocument("notes.htm", "/home/u/notes.htm", "text"), "");
  EXPECT_FALSE(Exists(store->local().cache_folder + "notes.htm"));
}

TEST_F(DocumentStoreTest, EraseStoreFilesReportsADescriptionItCannotRemove) {
  auto store = NewLibrary();
  BlockWith(store->description_path());
  EXPECT_EQ(store->EraseStoreFiles(), -1);
  EXPECT_TRUE(Exists(store->description_path()));

  // A store opened without a description file erases without complaint.
  DocumentStore missing(env_.get());
  ASSERT_EQ(missing.OpenStore("dsmissing.ini"), 0);
  fs::create_directories(missing.local().cache_folder);
  EXPECT_EQ(missing.EraseStoreFiles(), 0);
  EXPECT_FALSE(Exists(missing.StoreFolder()));
}

}  // namespace
}  // namespace qora
