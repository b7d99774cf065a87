#include "engine/drivers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/workspace.h"
#include "qora/engine.h"
#include "store/dml_writer.h"
#include "store/result_list.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SourceDataFolder;
using test::TempDir;

constexpr double kZero = 1e-8;

std::string Take(char* text) {
  std::string copy = text == nullptr ? "" : text;
  EngineFreeString(text);
  return copy;
}

// The engine reads DML values with the blanks the line joining gives them.
std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool Close(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b)); }

// The relevance of `document` to `query`, pair by pair: for every query pair
// the document holds in either orientation, the products of the weights of
// the same direction, unless both products are negligible.
double ExpectedScore(const TermVector& query, const TermVector& document) {
  double total = 0;
  for (const TermPair& pair : query.pairs()) {
    double forward = 0, backward = 0;
    if (const TermPair* same = document.FindPair(pair.first(), pair.second())) {
      forward = pair.forward() * same->forward();
      backward = pair.backward() * same->backward();
    } else if (const TermPair* reversed = document.FindPair(pair.second(), pair.first())) {
      forward = pair.forward() * reversed->backward();
      backward = pair.backward() * reversed->forward();
    } else {
      continue;
    }
    if (forward < kZero && backward < kZero) continue;
    total += forward + backward;
  }
  return total;
}

// Replaces the file at `path` by a named pipe and returns its former bytes,
// so that whoever reads the file next waits until the test hands them over.
std::string ReplaceByPipe(const std::string& path) {
  const std::string bytes = ReadFile(path);
  EXPECT_FALSE(bytes.empty()) << path;
  fs::remove(path);
  EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
  return bytes;
}

// The write end of the pipe at `path` once a reader has opened it; -1 when
// none comes within a generous while (the reader would be missing for good).
int WaitForReader(const std::string& path) {
  for (int attempt = 0; attempt < 30000; ++attempt) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return -1;
}

void WriteAndClose(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  EXPECT_EQ(done, bytes.size());
  close(fd);
}

// A data folder copied from the installed one, an engine started on it, the
// library "Corpus" holding the 30 topic texts (processed) and the workspace
// "Research" with that library selected and prepared for ranking.
class DriversTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(SourceDataFolder(), dir_.path(), fs::copy_options::recursive);
    data_ = dir_.path();
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    files_ = test::CorpusFiles();
    ASSERT_EQ(files_.size(), 30u);
    std::vector<int> all;
    for (int i = 0; i < 30; ++i) all.push_back(i);
    library_ = MakeLibrary("Corpus", all, {}, &ids_);
    EngineOpenWorkspace("wkspc.ini", &workspace_);
    ASSERT_GT(workspace_, 0);
    EngineAddStoreToWorkspace(library_, workspace_, &result);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(Prepare(), 0);
  }
  void TearDown() override { EngineDestroy(); }

  // Makes a processed library of the corpus texts numbered `local` and `web`;
  // `ids` receives the document ids, local ones first.
  int MakeLibrary(const std::string& name, const std::vector<int>& local,
                  const std::vector<int>& web, std::vector<std::string>* ids) {
    char* ident = nullptr;
    int handle = -2;
    EngineCreateStore(name.c_str(), &ident, &handle);
    const std::string folder = data_ + "libraries/" + Take(ident) + "/";
    EXPECT_GT(handle, 0);
    ids->clear();
    for (const auto& [half, numbers] : {std::pair{"loc_c/", local}, std::pair{"web_c/", web}}) {
      std::vector<std::string> texts;
      for (int number : numbers) texts.push_back(files_[static_cast<size_t>(number)]);
      const std::vector<std::string> added = test::AddTextDocuments(folder + half, texts);
      ids->insert(ids->end(), added.begin(), added.end());
    }
    int result = -2;
    EngineProcessStore(handle, 0, &result);
    EXPECT_EQ(result, 0);
    return handle;
  }

  int Prepare() {
    int result = -2;
    EnginePrepareRanking(workspace_, &result);
    return result;
  }

  // A new prepared query of the workspace with one source set through `set`.
  int MakeQuery(void (*set)(int, const char*, int, int*), const std::string& text) {
    int query = -2, result = -2;
    EngineNewQuery(workspace_, &query);
    EXPECT_GT(query, 0);
    set(query, text.c_str(), workspace_, &result);
    EXPECT_EQ(result, 0);
    EnginePrepareQuery(query, workspace_, &result);
    EXPECT_EQ(result, 0);
    return query;
  }

  int Rank(int query, int count) {
    int list = -2;
    EngineRankDocuments(query, count, workspace_, &list);
    return list;
  }

  Workspace* Space() { return CurrentEngine()->registry().FindAs<Workspace>(workspace_); }
  const ResultList* List(int handle) { return Space()->registry().FindAs<ResultList>(handle); }
  const Query* QueryObject(int handle) { return Space()->registry().FindAs<Query>(handle); }
  DocumentStore* Store(int handle) { return CurrentEngine()->FindStore(handle); }

  std::string Status() {
    char* text = nullptr;
    int result = -2;
    EngineGetStatus(&text, &result);
    return Take(text);
  }

  // The expected score of every corpus document against the query.
  std::map<std::string, double> Scores(int query) {
    std::map<std::string, double> scores;
    for (const std::string& id : ids_) {
      TermVector plain, stemmed;
      EXPECT_EQ(Store(library_)->LoadDocumentIndex(id, &plain, &stemmed), 0);
      scores[id] = ExpectedScore(QueryObject(query)->vector, stemmed);
    }
    return scores;
  }

  std::vector<std::string> ListedIds(const ResultList& list) {
    std::vector<std::string> ids;
    for (size_t i = 0; i < list.count(); ++i) ids.push_back(Trim(list.item(i).docid));
    return ids;
  }

  // The id of the corpus document made from the text whose name holds `fragment`.
  std::string IdOf(const std::string& fragment) {
    for (size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].find(fragment) != std::string::npos) return ids_[i];
    }
    return "";
  }

  TempDir dir_;
  std::string data_;
  std::vector<std::string> files_;
  std::vector<std::string> ids_;
  int library_ = -1;
  int workspace_ = -1;
};

TEST_F(DriversTest, RankingListsTheScoredDocumentsHighestFirst) {
  const int query = MakeQuery(EngineSetQueryKeywords, "honey bees hive water");
  const std::map<std::string, double> scores = Scores(query);
  std::vector<double> expected;
  for (const auto& [id, score] : scores) {
    if (score >= kZero) expected.push_back(score);
  }
  std::sort(expected.rbegin(), expected.rend());
  ASSERT_GE(expected.size(), 2u);
  ASSERT_LT(expected.size(), 30u);  // some documents do not score at all

  const int handle = Rank(query, 100);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(Status(), "Document Listing completed");
  const ResultList* list = List(handle);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), expected.size());
  EXPECT_EQ(ListedIds(*list)[0], IdOf("04-honey-bees"));
  for (size_t i = 0; i < list->count(); ++i) {
    const DocumentRecord& record = list->item(i);
    EXPECT_TRUE(Close(record.rank, scores.at(Trim(record.docid)))) << record.docid;
    EXPECT_TRUE(Close(record.rank, expected[i])) << i;
    EXPECT_GE(record.rank, kZero);
    if (i > 0) {
      EXPECT_GE(list->item(i - 1).rank, record.rank);
    }
    EXPECT_EQ(record.parent_handle, library_);
    EXPECT_EQ(record.parid, "Corpus");
    EXPECT_EQ(record.obj_handle, 0);
    // The rest of the record comes from the document's description.
    const size_t n =
        static_cast<size_t>(std::find(ids_.begin(), ids_.end(), Trim(record.docid)) - ids_.begin());
    ASSERT_LT(n, files_.size());
    EXPECT_EQ(Trim(record.uri), "file://" + files_[n]);
    EXPECT_FALSE(record.name.empty());
  }

  // At most `count` documents: the best ones.
  const ResultList* three = List(Rank(query, 3));
  ASSERT_NE(three, nullptr);
  ASSERT_EQ(three->count(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(Close(three->item(i).rank, expected[i]));
  std::vector<std::string> best = ListedIds(*list);
  best.resize(3);
  EXPECT_EQ(ListedIds(*three), best);
}

TEST_F(DriversTest, ACountOfZeroListsNothingButStillSorts) {
  const int query = MakeQuery(EngineSetQueryKeywords, "glacier ice");
  const std::map<std::string, double> scores = Scores(query);
  const ResultList* list = List(Rank(query, 0));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 0u);
  EXPECT_EQ(Status(), "Document Listing completed");
  const std::vector<CandidateEntry>& candidates = Space()->candidates();
  ASSERT_EQ(candidates.size(), 30u);
  EXPECT_EQ(candidates[0].document_id, IdOf("12-glaciers"));
  for (size_t i = 0; i < candidates.size(); ++i) {
    EXPECT_TRUE(Close(candidates[i].score, scores.at(candidates[i].document_id)));
    if (i > 0) {
      EXPECT_GE(candidates[i - 1].score, candidates[i].score);
    }
  }
  // The candidate index still describes the order of the preparation.
  EXPECT_EQ(Space()->candidate_index().at(ids_[0]), 0u);
  EXPECT_EQ(Space()->candidate_index().at(IdOf("12-glaciers")), 11u);
}

TEST_F(DriversTest, RankingNeedsAWorkspaceAndAQuery) {
  const int query = MakeQuery(EngineSetQueryKeywords, "violin");
  int list = -2;
  EngineRankDocuments(query, 10, 99999, &list);
  EXPECT_EQ(list, -1);
  EXPECT_EQ(Status(), "Begin relevance ranking");

  const size_t objects = Space()->registry().size();
  EngineRankDocuments(99999, 10, workspace_, &list);
  EXPECT_EQ(list, -1);
  EngineRankDocuments(library_, 10, workspace_, &list);
  EXPECT_EQ(list, -1);
  EXPECT_EQ(Space()->registry().size(), objects);  // no result list made

  // A query without sources scores nothing.
  int empty = -2, result = -2;
  EngineNewQuery(workspace_, &empty);
  EnginePrepareQuery(empty, workspace_, &result);
  ASSERT_EQ(result, 0);
  const ResultList* nothing = List(Rank(empty, 5));
  ASSERT_NE(nothing, nullptr);
  EXPECT_EQ(nothing->count(), 0u);
  EXPECT_EQ(Status(), "Document Listing completed");
  for (const CandidateEntry& entry : Space()->candidates()) EXPECT_EQ(entry.score, 0);
}

TEST_F(DriversTest, DocumentsThatCannotBeLoadedAreDiscarded) {
  const int query = MakeQuery(EngineSetQueryKeywords, "honey bees hive water");
  const std::string bees = IdOf("04-honey-bees");
  int result = -2;
  EngineEraseDocuments((std::to_string(library_) + "," + bees + ";").c_str(), &result);
  ASSERT_EQ(result, 0);
  ASSERT_FALSE(Store(library_)->local().table.Contains(bees));
  const ResultList* list = List(Rank(query, 100));
  ASSERT_NE(list, nullptr);
  ASSERT_GT(list->count(), 0u);
  for (const std::string& id : ListedIds(*list)) EXPECT_NE(id, bees);
  size_t discarded = 0;
  for (const CandidateEntry& entry : Space()->candidates()) {
    EXPECT_NE(entry.document_id, bees);
    if (entry.document_id.empty()) {
      ++discarded;
      EXPECT_EQ(entry.store_handle, 0);
      EXPECT_EQ(entry.score, 0);
    }
  }
  EXPECT_EQ(discarded, 1u);
  EXPECT_EQ(Space()->candidates().size(), 30u);
}

TEST_F(DriversTest, AStoreClosedAfterPreparationIsNotListed) {
  std::vector<std::string> other_ids;
  const int other = MakeLibrary("Bees again", {3, 11}, {}, &other_ids);
  int result = -2;
  EngineAddStoreToWorkspace(other, workspace_, &result);
  ASSERT_EQ(Prepare(), 0);
  ASSERT_EQ(Space()->candidates().size(), 32u);
  const int query = MakeQuery(EngineSetQueryKeywords, "honey bees hive water");
  const ResultList* both = List(Rank(query, 100));
  ASSERT_NE(both, nullptr);
  std::set<int> stores;
  size_t from_other = 0;
  for (size_t i = 0; i < both->count(); ++i) {
    stores.insert(both->item(i).parent_handle);
    if (both->item(i).parent_handle == other) ++from_other;
  }
  EXPECT_EQ(stores, (std::set<int>{library_, other}));

  EngineCloseStore(other, &result);
  ASSERT_EQ(result, 0);
  const ResultList* one = List(Rank(query, 100));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(one->count(), both->count() - from_other);
  for (size_t i = 0; i < one->count(); ++i) {
    EXPECT_EQ(one->item(i).parent_handle, library_);
    EXPECT_EQ(one->item(i).parid, "Corpus");
  }
}

TEST_F(DriversTest, AStopRequestedBeforeRankingIsCleared) {
  const int query = MakeQuery(EngineSetQueryKeywords, "sugar water");
  const ResultList* plain = List(Rank(query, 100));
  ASSERT_NE(plain, nullptr);
  ASSERT_GE(plain->count(), 2u);
  ASSERT_EQ(Prepare(), 0);
  int result = -2;
  EngineSetStop(1, &result);
  ASSERT_TRUE(CurrentEngine()->environment().EnvironmentStopRequested());
  const ResultList* stopped = List(Rank(query, 100));
  ASSERT_NE(stopped, nullptr);
  EXPECT_EQ(ListedIds(*stopped), ListedIds(*plain));
  EXPECT_FALSE(CurrentEngine()->environment().EnvironmentStopRequested());
  EXPECT_EQ(Status(), "Document Listing completed");
}

TEST_F(DriversTest, AStopEndsScoringAfterTheCurrentDocument) {
  const int query = MakeQuery(EngineSetQueryKeywords, "honey bees hive water");
  const std::map<std::string, double> scores = Scores(query);
  std::vector<size_t> scored;  // positions in the candidate order of the preparation
  for (size_t i = 0; i < ids_.size(); ++i) {
    if (scores.at(ids_[i]) >= kZero) scored.push_back(i);
  }
  ASSERT_GE(scored.size(), 3u);
  // The stop comes while the second scoring document is read.
  const size_t stop_at = scored[1];
  std::set<std::string> expected = {ids_[scored[0]], ids_[scored[1]]};

  const std::string index = Store(library_)->local().index_folder + ids_[stop_at] + ".idx";
  const std::string bytes = ReplaceByPipe(index);
  int handle = -2;
  std::thread ranking([&] { EngineRankDocuments(query, 100, workspace_, &handle); });
  const int pipe = WaitForReader(index);
  if (pipe >= 0) {
    EXPECT_EQ(Status(), "Begin Document Listing");
    int result = -2;
    EngineSetStop(1, &result);
    WriteAndClose(pipe, bytes);
  } else {
    ADD_FAILURE() << "the ranking never read " << index;
  }
  ranking.join();

  const ResultList* list = List(handle);
  ASSERT_NE(list, nullptr);
  std::set<std::string> listed;
  for (size_t i = 0; i < list->count(); ++i) {
    listed.insert(Trim(list->item(i).docid));
    EXPECT_TRUE(Close(list->item(i).rank, scores.at(Trim(list->item(i).docid))));
  }
  EXPECT_EQ(listed, expected);
  for (const CandidateEntry& entry : Space()->candidates()) {
    const size_t position = Space()->candidate_index().at(entry.document_id);
    if (position > stop_at) {
      EXPECT_EQ(entry.score, 0) << entry.document_id;
    }
  }
  EXPECT_EQ(Status(), "Document Listing completed");
}

TEST_F(DriversTest, TheStatusCountsTheListedDocuments) {
  const int query = MakeQuery(EngineSetQueryKeywords, "honey bees hive water");
  const ResultList* reference = List(Rank(query, 100));
  ASSERT_NE(reference, nullptr);
  ASSERT_GE(reference->count(), 3u);
  const std::vector<std::string> order = ListedIds(*reference);
  ASSERT_EQ(Prepare(), 0);

  // The record of the second listed document is read while the status names it.
  const std::string dml = Store(library_)->local().cache_folder + order[1] + ".dml";
  const std::string bytes = ReplaceByPipe(dml);
  int handle = -2;
  std::thread ranking([&] { EngineRankDocuments(query, 100, workspace_, &handle); });
  const int pipe = WaitForReader(dml);
  if (pipe >= 0) {
    EXPECT_EQ(Status(), "Relevance ranking 2");
    WriteAndClose(pipe, bytes);
  } else {
    ADD_FAILURE() << "the ranking never read " << dml;
  }
  ranking.join();
  const ResultList* list = List(handle);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ListedIds(*list), order);
  EXPECT_EQ(list->item(1).uri, reference->item(1).uri);
  EXPECT_EQ(Status(), "Document Listing completed");
}

TEST_F(DriversTest, ListingTakesItsBoundsFromTheStore) {
  std::vector<std::string> ids;
  const int mixed = MakeLibrary("Mixed", {0, 1}, {2, 3, 4}, &ids);
  ASSERT_EQ(ids.size(), 5u);
  const std::string before = Status();
  struct Case {
    int start, count;
    std::vector<int> positions;
  };
  const std::vector<Case> cases = {
      {-1, 1, {4}},   {0, 100, {0, 1, 2, 3, 4}},
      {5, 2, {4}},    {99, -1, {4}},
      {1, 2, {1, 2}}, {2, -1, {2, 3, 4}},
      {3, 0, {}},     {0, 5, {0, 1, 2, 3, 4}},
      {-7, 3, {4}},   {4, 1, {4}},
  };
  for (const Case& c : cases) {
    int handle = -2;
    EngineListDocuments(mixed, c.start, c.count, workspace_, &handle);
    const ResultList* list = List(handle);
    ASSERT_NE(list, nullptr) << c.start << " " << c.count;
    std::vector<std::string> want;
    for (int position : c.positions) want.push_back(ids[static_cast<size_t>(position)]);
    EXPECT_EQ(ListedIds(*list), want) << c.start << " " << c.count;
    for (size_t i = 0; i < list->count() && i < c.positions.size(); ++i) {
      const DocumentRecord& record = list->item(i);
      EXPECT_DOUBLE_EQ(record.rank, c.positions[i] + 1 + 1e-8);
      EXPECT_EQ(record.parent_handle, mixed);
      EXPECT_EQ(record.parid, "Mixed");
      EXPECT_FALSE(record.name.empty());
    }
  }
  EXPECT_EQ(Status(), before);  // listing sets no status

  int handle = -2;
  EngineListDocuments(99999, 0, 1, workspace_, &handle);
  EXPECT_EQ(handle, -1);
  EngineListDocuments(workspace_, 0, 1, workspace_, &handle);
  EXPECT_EQ(handle, -1);
  EngineListDocuments(mixed, 0, 1, 99999, &handle);
  EXPECT_EQ(handle, -1);
  // A store without documents lists nothing.
  std::vector<std::string> none;
  const int empty = MakeLibrary("Empty", {}, {}, &none);
  EngineListDocuments(empty, 0, 10, workspace_, &handle);
  ASSERT_NE(List(handle), nullptr);
  EXPECT_EQ(List(handle)->count(), 0u);
}

TEST_F(DriversTest, SummariesAreWrittenIntoTheTemporaryStore) {
  char* temp_name = nullptr;
  int temp = -2, result = -2;
  EngineGetTempStore(&temp_name, &temp, &result);
  Take(temp_name);
  ASSERT_GT(temp, 0);
  const std::string folder = Store(temp)->local().cache_folder;
  const std::string bees = IdOf("04-honey-bees"), coffee = IdOf("17-coffee");
  const std::string lib = std::to_string(library_);
  const std::string documents = lib + "," + bees + ";99999,x;" + std::to_string(workspace_) + "," +
                                coffee + ";" + lib + ",nosuch;" + lib + "," + coffee + ";";

  auto summarize = [&](int query, float bias) {
    int handle = -2;
    EngineSummarize(query, documents.c_str(), workspace_, bias, &handle);
    EXPECT_EQ(Status(), "Summarization and highlighting done");
    const ResultList* list = List(handle);
    EXPECT_NE(list, nullptr);
    return list;
  };
  const ResultList* list = summarize(0, 100.0f);  // no query: unbiased
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(ListedIds(*list), (std::vector<std::string>{bees + "_", coffee + "_"}));
  for (size_t i = 0; i < list->count(); ++i) {
    const DocumentRecord& record = list->item(i);
    EXPECT_EQ(record.parent_handle, temp);
    EXPECT_EQ(record.bcuri, folder + record.docid + ".dml");
    EXPECT_TRUE(fs::exists(record.bcuri)) << record.bcuri;
    EXPECT_EQ(record.rank, 0);
    EXPECT_EQ(record.ord, 0);
    EXPECT_EQ(record.obj_handle, 0);
  }
  const std::string table = ReadFile(folder + "cache.chx");
  const size_t line = table.find(bees + "_.dml|");
  ASSERT_NE(line, std::string::npos) << table;
  EXPECT_NE(table.substr(line, table.find('\n', line) - line).find("file://" + files_[3]),
            std::string::npos)
      << table;
  const std::string unbiased = ReadFile(folder + bees + "_.dml");
  EXPECT_NE(unbiased.find("<s w=\""), std::string::npos);

  // A query handle that names no query gives the same unbiased summary; a
  // keyword query weighs the sentences differently.
  ASSERT_NE(summarize(99999, 100.0f), nullptr);
  EXPECT_EQ(ReadFile(folder + bees + "_.dml"), unbiased);
  const int query = MakeQuery(EngineSetQueryKeywords, "hive");
  ASSERT_NE(summarize(query, 100.0f), nullptr);
  EXPECT_NE(ReadFile(folder + bees + "_.dml"), unbiased);
  ASSERT_NE(summarize(query, 0.0f), nullptr);  // no weight on the query
  EXPECT_EQ(ReadFile(folder + bees + "_.dml"), unbiased);

  int handle = -2;
  EngineSummarize(0, documents.c_str(), 99999, 100.0f, &handle);
  EXPECT_EQ(handle, 1);
  EngineSummarize(0, "", workspace_, 100.0f, &handle);
  ASSERT_NE(List(handle), nullptr);
  EXPECT_EQ(List(handle)->count(), 0u);
}

TEST_F(DriversTest, TheConceptMapRegistersItsConcepts) {
  const std::string lib = std::to_string(library_);
  const int query = MakeQuery(EngineSetQueryDocuments, lib + "," + IdOf("04-honey-bees") + ";" +
                                                           lib + "," + IdOf("26-railway") + ";" +
                                                           lib + "," + IdOf("22-cheese") + ";");
  auto request = [this](int workspace, int query_handle, int concepts) {
    const std::string text = "&wkspc_h=" + std::to_string(workspace) +
                             "&qry_h=" + std::to_string(query_handle) +
                             "&number1=" + std::to_string(concepts) + "&number2=4";
    int result = -2;
    EngineConceptMap(text.c_str(), &result);
    return result;
  };
  EXPECT_EQ(request(99999, query, 3), 1);
  EXPECT_EQ(request(library_, query, 3), 1);
  EXPECT_EQ(request(workspace_, 99999, 3), -1);
  int empty = -2, result = -2;
  EngineNewQuery(workspace_, &empty);
  EnginePrepareQuery(empty, workspace_, &result);
  EXPECT_EQ(request(workspace_, empty, 3), -1);

  const int handle = request(workspace_, query, 3);
  ASSERT_GT(handle, 0);
  EXPECT_EQ(Status(), "Begin creating visual abstract");
  const ResultList* map = List(handle);
  ASSERT_NE(map, nullptr);
  ASSERT_GE(map->count(), 2u);
  ASSERT_LE(map->count(), 3u);
  std::set<int> handles;
  for (size_t i = 0; i < map->count(); ++i) {
    const DocumentRecord& record = map->item(i);
    const Concept* concept_object = Space()->registry().FindAs<Concept>(record.obj_handle);
    ASSERT_NE(concept_object, nullptr) << record.obj_handle;
    handles.insert(record.obj_handle);
    double total = 0;
    for (const TermPair& pair : concept_object->vector.pairs()) total += pair.Total();
    EXPECT_TRUE(Close(concept_object->vector.weight(), total));
    EXPECT_EQ(record.ord, static_cast<int32_t>(total));
    EXPECT_GT(record.ord, 0);
    EXPECT_EQ(record.name, record.header);
    EXPECT_FALSE(record.keywords.empty());
    EXPECT_LE(record.keywords.size(), 4u);
    if (i > 0) {
      EXPECT_GE(map->item(i - 1).ord, record.ord);
      EXPECT_LT(std::stoi(map->item(i - 1).name), std::stoi(record.name));
    } else {
      EXPECT_EQ(record.name, "1");
    }
  }
  EXPECT_EQ(handles.size(), map->count());

  // A later query names a concept by its handle.
  const int first = map->item(0).obj_handle;
  const int by_concept = MakeQuery(EngineSetQueryConcepts, std::to_string(first) + ";");
  const TermVector& vector = QueryObject(by_concept)->vector;
  const TermVector& concept_vector = Space()->registry().FindAs<Concept>(first)->vector;
  ASSERT_EQ(vector.pair_count(), concept_vector.pair_count());
  for (const TermPair& pair : concept_vector.pairs()) {
    const TermPair* found = vector.FindPair(pair.first(), pair.second());
    ASSERT_NE(found, nullptr);
    EXPECT_DOUBLE_EQ(found->forward(), pair.forward());
    EXPECT_DOUBLE_EQ(found->backward(), pair.backward());
  }

  // One concept is the whole query.
  const ResultList* whole = List(request(workspace_, query, 1));
  ASSERT_NE(whole, nullptr);
  ASSERT_EQ(whole->count(), 1u);
  const TermVector& source = QueryObject(query)->vector;
  EXPECT_EQ(Space()->registry().FindAs<Concept>(whole->item(0).obj_handle)->vector.pair_count(),
            source.pair_count());
  EXPECT_EQ(whole->item(0).ord, static_cast<int32_t>(source.TotalWeight()));
}

// A concept count of 1 or less, or none at all, asks for the whole query as
// one concept; a phrase count of 0 still names it by its best phrase. The
// map's result list is made before its concepts, so its handle comes first.
TEST_F(DriversTest, SmallCountsGiveOneConceptWithItsBestPhrase) {
  const std::string lib = std::to_string(library_);
  const int query = MakeQuery(EngineSetQueryDocuments, lib + "," + IdOf("04-honey-bees") + ";" +
                                                           lib + "," + IdOf("26-railway") + ";");
  const TermVector& source = QueryObject(query)->vector;
  ASSERT_GT(source.pair_count(), 0);
  auto map = [this](const std::string& counts) {
    const std::string text = "&wkspc_h=" + std::to_string(workspace_) + "&qry_h=" + counts;
    int result = -2;
    EngineConceptMap(text.c_str(), &result);
    return result;
  };
  // The engine keeps request values between requests: the request without
  // a concept count comes first, while the engine has none.
  const std::string query_text = std::to_string(query);
  for (const std::string& counts :
       {query_text + "&number2=4", query_text + "&number1=1&number2=4",
        query_text + "&number1=0&number2=4", query_text + "&number1=-3&number2=4",
        query_text + "&number1=1&number2=0"}) {
    SCOPED_TRACE(counts);
    const int handle = map(counts);
    EXPECT_GT(handle, 0);
    const ResultList* list = List(handle);
    if (list == nullptr) {
      ADD_FAILURE() << "no map";
      continue;
    }
    if (list->count() != 1u) {
      ADD_FAILURE() << list->count() << " concepts";
      continue;
    }
    const DocumentRecord& record = list->item(0);
    EXPECT_GT(record.obj_handle, handle);
    const Concept* concept_object = Space()->registry().FindAs<Concept>(record.obj_handle);
    ASSERT_NE(concept_object, nullptr);
    EXPECT_EQ(concept_object->vector.pair_count(), source.pair_count());
    EXPECT_EQ(record.ord, static_cast<int32_t>(source.TotalWeight()));
    ASSERT_FALSE(record.keywords.empty());
    if (counts.ends_with("number2=0")) {
      // The concept is its own one sub-concept, named by one phrase.
      EXPECT_EQ(record.keywords.size(), 1u);
    }
  }
}

TEST_F(DriversTest, ResultListsAreWrittenAsTextAndAsMapDocuments) {
  const int query = MakeQuery(EngineSetQueryKeywords, "violin strings");
  const int handle = Rank(query, 5);
  const ResultList* list = List(handle);
  ASSERT_NE(list, nullptr);
  ASSERT_GT(list->count(), 0u);

  char* text = nullptr;
  int result = -2;
  EngineWriteResultList(&text, handle, workspace_, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Take(text), WriteResultText(*list));
  for (int unknown : {99999, query}) {
    EngineWriteResultList(&text, unknown, workspace_, &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Take(text), "");
  }
  EngineWriteResultList(&text, handle, 99999, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Take(text), "");

  char* path = nullptr;
  EngineWriteMap("map1.dml", &path, handle, workspace_, &result);
  EXPECT_EQ(result, 0);
  char* temp_name = nullptr;
  int temp = -2;
  EngineGetTempStore(&temp_name, &temp, &result);
  Take(temp_name);
  const std::string folder = Store(temp)->local().cache_folder;
  EXPECT_EQ(Take(path), "file://" + folder + "map1.dml");
  const std::string written = ReadFile(folder + "map1.dml");
  EXPECT_EQ(written, WriteDocument(WriteStatText(*list)));
  EXPECT_NE(written.find(list->item(0).docid), std::string::npos);
  EXPECT_NE(ReadFile(folder + "cache.chx").find("map1.dml|map1.dml|"), std::string::npos);

  EngineWriteMap("map2.dml", &path, handle, 99999, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Take(path), "");
  EXPECT_FALSE(fs::exists(folder + "map2.dml"));
}

}  // namespace
}  // namespace qora
