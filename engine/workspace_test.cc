#include "engine/workspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "analysis/term_list.h"
#include "engine/engine.h"
#include "qora/engine.h"
#include "store/result_list.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

using QuerySetter = void (*)(int, const char*, int, int*);

std::string Take(char* text) {
  std::string copy = text == nullptr ? "" : text;
  EngineFreeString(text);
  return copy;
}

bool Close(double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b)); }

// Both vectors hold the same pairs, each in the same orientation with the
// same weights, and the same term counts.
::testing::AssertionResult SameVector(const TermVector& actual, const TermVector& expected) {
  if (actual.pair_count() != expected.pair_count()) {
    return ::testing::AssertionFailure()
           << actual.pair_count() << " pairs, expected " << expected.pair_count();
  }
  for (const TermPair& want : expected.pairs()) {
    const TermPair* got = actual.FindPair(want.first(), want.second());
    if (got == nullptr) {
      return ::testing::AssertionFailure()
             << "pair (" << want.first() << "," << want.second() << ") missing";
    }
    if (!Close(got->forward(), want.forward()) || !Close(got->backward(), want.backward())) {
      return ::testing::AssertionFailure()
             << "pair (" << want.first() << "," << want.second() << ") weighs " << got->forward()
             << "/" << got->backward() << ", expected " << want.forward() << "/" << want.backward();
    }
  }
  if (actual.term_counts() != expected.term_counts()) {
    return ::testing::AssertionFailure() << "term counts differ";
  }
  return ::testing::AssertionSuccess();
}

// The pairs of `statistics` that hold a term of `terms`, with the term counts
// of every term not held by a dropped pair: the keyword vector of a query,
// worked out pair by pair.
TermVector PairsTouching(const TermVector& statistics, const std::set<int32_t>& terms) {
  TermVector kept;
  std::set<int32_t> dropped;
  for (const TermPair& pair : statistics.pairs()) {
    if (terms.count(pair.first()) != 0 || terms.count(pair.second()) != 0) {
      kept.AppendPair(pair);
    } else {
      dropped.insert(pair.first());
      dropped.insert(pair.second());
    }
  }
  for (const auto& [id, count] : statistics.term_counts()) {
    if (dropped.count(id) == 0) kept.SetTermCount(id, count);
  }
  return kept;
}

// A data folder copied from the installed one, an engine started on it and
// the 30 topic texts of the test corpus at hand.
class WorkspaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(SourceDataFolder(), dir_.path(), fs::copy_options::recursive);
    data_ = dir_.path();
    files_ = test::CorpusFiles();
    ASSERT_EQ(files_.size(), 30u);
    ASSERT_NO_FATAL_FAILURE(Start("main.ini"));
  }
  void TearDown() override { EngineDestroy(); }

  void Start(const std::string& file) {
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), file.c_str(), &result);
    ASSERT_EQ(result, 0);
  }

  // Makes the library `name` holding the corpus texts numbered `local` in its
  // local half and `web` in its web half, processes it and loads its
  // statistics. Returns its handle; `ids` receives the document ids, local
  // ones first.
  int MakeLibrary(const std::string& name, const std::vector<int>& local,
                  const std::vector<int>& web, std::vector<std::string>* ids = nullptr) {
    char* ident = nullptr;
    int handle = -2;
    EngineCreateStore(name.c_str(), &ident, &handle);
    const std::string folder = data_ + "libraries/" + Take(ident) + "/";
    EXPECT_GT(handle, 0);
    std::vector<std::string> all;
    for (const auto& [half, numbers] : {std::pair{"loc_c/", local}, std::pair{"web_c/", web}}) {
      std::vector<std::string> texts;
      for (int number : numbers) texts.push_back(files_[static_cast<size_t>(number)]);
      const std::vector<std::string> added = test::AddTextDocuments(folder + half, texts);
      all.insert(all.end(), added.begin(), added.end());
    }
    int result = -2;
    EngineProcessStore(handle, 0, &result);
    EXPECT_EQ(result, 0);
    EngineLoadStoreStatistics(handle, &result);
    EXPECT_EQ(result, 0);
    if (ids != nullptr) *ids = all;
    return handle;
  }

  int OpenWorkspace(const std::string& file = "wkspc.ini") {
    int handle = -2;
    EngineOpenWorkspace(file.c_str(), &handle);
    return handle;
  }

  int Add(int store, int workspace) {
    int result = -2;
    EngineAddStoreToWorkspace(store, workspace, &result);
    return result;
  }

  int Remove(int store, int workspace) {
    int result = -2;
    EngineRemoveStoreFromWorkspace(store, workspace, &result);
    return result;
  }

  int PrepareRanking(int workspace) {
    int result = -2;
    EnginePrepareRanking(workspace, &result);
    return result;
  }

  int NewQuery(int workspace) {
    int query = -2;
    EngineNewQuery(workspace, &query);
    EXPECT_GT(query, 0);
    return query;
  }

  // A new query of the workspace with one source set through `set`, prepared.
  int MakeQuery(int workspace, QuerySetter set, const std::string& text) {
    const int query = NewQuery(workspace);
    int result = -2;
    set(query, text.c_str(), workspace, &result);
    EXPECT_EQ(result, 0);
    EnginePrepareQuery(query, workspace, &result);
    EXPECT_EQ(result, 0);
    return query;
  }

  Workspace* Space(int handle) { return CurrentEngine()->registry().FindAs<Workspace>(handle); }
  DocumentStore* Store(int handle) { return CurrentEngine()->FindStore(handle); }
  EngineEnvironment& Env() { return CurrentEngine()->environment(); }
  const Query& QueryOf(int workspace, int query) {
    const Query* found = Space(workspace)->registry().FindAs<Query>(query);
    EXPECT_NE(found, nullptr);
    static const Query kNone;
    return found != nullptr ? *found : kNone;
  }

  // The stemmed index vector of document `id` of the store.
  TermVector DocumentVector(int store, const std::string& id) {
    TermVector plain, stemmed;
    EXPECT_EQ(Store(store)->LoadDocumentIndex(id, &plain, &stemmed), 0) << id;
    EXPECT_GT(stemmed.pair_count(), 0u) << id;
    return stemmed;
  }

  // The stem id of a word the libraries hold.
  int32_t StemId(const std::string& word) {
    const int32_t id = Env().dictionary()->FindWord(word);
    EXPECT_GE(id, 0) << word;
    return id < 0 ? -1 : Env().stems()->StemOf(id);
  }

  std::string Status() {
    char* text = nullptr;
    int result = -2;
    EngineGetStatus(&text, &result);
    return Take(text);
  }

  TempDir dir_;
  std::string data_;
  std::vector<std::string> files_;
};

TEST_F(WorkspaceTest, OpeningReadsTheNameFromTheWorkspaceFile) {
  const int research = OpenWorkspace();
  ASSERT_GT(research, 0);
  char* name = nullptr;
  int result = -2;
  EngineGetObjectName(research, &name, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Take(name), "Research");

  WriteFile(data_ + "field.ini", "% notes\n[workspace]\nname = Field notes\n");
  const int field = OpenWorkspace("field.ini");
  ASSERT_GT(field, research);
  EngineGetObjectName(field, &name, &result);
  EXPECT_EQ(Take(name), "Field notes");

  // A file without a name still makes a workspace.
  WriteFile(data_ + "unnamed.ini", "[workspace]\ncolour = red\n");
  const int unnamed = OpenWorkspace("unnamed.ini");
  ASSERT_GT(unnamed, field);
  EngineGetObjectName(unnamed, &name, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Take(name), "");

  // A missing file makes no workspace and uses up no handle.
  const size_t objects = CurrentEngine()->registry().size();
  EXPECT_EQ(OpenWorkspace("missing.ini"), -1);
  EXPECT_EQ(CurrentEngine()->registry().size(), objects);
  int query = -2;
  EngineNewQuery(unnamed, &query);
  EXPECT_EQ(query, unnamed + 1);
  EngineNewQuery(99999, &query);
  EXPECT_EQ(query, -1);
}

TEST_F(WorkspaceTest, StoresAreSelectedOnceAndUnknownHandlesRefused) {
  const int library = MakeLibrary("Corpus", {0, 1}, {});
  const int other = MakeLibrary("Other", {2}, {});
  const int workspace = OpenWorkspace();
  ASSERT_GT(workspace, 0);
  Workspace* space = Space(workspace);
  ASSERT_NE(space, nullptr);

  EXPECT_EQ(Add(library, workspace), 0);
  EXPECT_EQ(Add(library, workspace), 0);
  EXPECT_EQ(space->selected_stores(), std::vector<int>{library});
  EXPECT_EQ(Add(other, workspace), 0);
  EXPECT_EQ(space->selected_stores(), (std::vector<int>{library, other}));
  EXPECT_EQ(Remove(library, workspace), 0);
  EXPECT_EQ(space->selected_stores(), std::vector<int>{other});
  EXPECT_EQ(Remove(library, workspace), 0);  // not selected: nothing to do
  EXPECT_EQ(space->selected_stores(), std::vector<int>{other});

  int query = -2;
  EngineNewQuery(workspace, &query);
  for (int not_a_store : {99999, workspace, query}) {
    EXPECT_EQ(Add(not_a_store, workspace), 1) << not_a_store;
    EXPECT_EQ(Remove(not_a_store, workspace), 1) << not_a_store;
  }
  for (int not_a_workspace : {99999, library, query}) {
    EXPECT_EQ(Add(library, not_a_workspace), 1) << not_a_workspace;
    EXPECT_EQ(Remove(other, not_a_workspace), 1) << not_a_workspace;
  }
  EXPECT_EQ(space->selected_stores(), std::vector<int>{other});
  EXPECT_EQ(PrepareRanking(99999), 1);
}

TEST_F(WorkspaceTest, PreparingCollectsCandidatesAndStatisticsInSelectionOrder) {
  std::vector<std::string> a_ids, b_ids;
  const int a = MakeLibrary("Alpha", {0, 1, 2}, {3, 4}, &a_ids);
  const int b = MakeLibrary("Beta", {4, 5}, {}, &b_ids);
  ASSERT_EQ(a_ids.size(), 5u);
  ASSERT_EQ(b_ids.size(), 2u);
  ASSERT_EQ(a_ids[4], b_ids[0]);  // the same text in both libraries
  ASSERT_EQ(Store(a)->web().table.size(), 2u);

  // The statistics as the master index files hold them.
  int result = -2;
  for (int store : {a, b}) {
    EngineReleaseStoreStatistics(store, &result);
    EngineLoadStoreStatistics(store, &result);
    ASSERT_EQ(result, 0);
  }
  ASSERT_GT(Store(a)->web().plain().pair_count(), 0u);
  TermVector plain;
  for (int store : {a, b}) {
    plain.Merge(Store(store)->local().plain());
    plain.Merge(Store(store)->web().plain());
  }
  TermVector stemmed;
  stemmed.StemmedCopyOf(plain, Env().stems());

  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(a, workspace), 0);
  ASSERT_EQ(Add(b, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  EXPECT_EQ(Status(), "Preparing for Relevance Ranking");
  Workspace* space = Space(workspace);
  std::vector<std::pair<std::string, int>> expected;
  for (const std::string& id : a_ids) expected.push_back({id, a});
  for (const std::string& id : b_ids) expected.push_back({id, b});
  auto candidates = [space] {
    std::vector<std::pair<std::string, int>> seen;
    for (const CandidateEntry& entry : space->candidates()) {
      EXPECT_EQ(entry.score, 0);
      seen.push_back({entry.document_id, entry.store_handle});
    }
    return seen;
  };
  EXPECT_EQ(candidates(), expected);
  EXPECT_EQ(space->candidate_index().size(), 6u);
  EXPECT_EQ(space->candidate_index().at(a_ids[0]), 0u);
  EXPECT_EQ(space->candidate_index().at(a_ids[3]), 3u);  // the first web document
  EXPECT_EQ(space->candidate_index().at(a_ids[4]), 5u);  // the last position of the id
  EXPECT_EQ(space->candidate_index().at(b_ids[1]), 6u);
  EXPECT_TRUE(SameVector(space->plain_statistics(), plain));
  EXPECT_TRUE(SameVector(space->statistics(), stemmed));

  // Selected the other way round, and prepared again from scratch.
  ASSERT_EQ(Remove(a, workspace), 0);
  ASSERT_EQ(Add(a, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  expected.clear();
  for (const std::string& id : b_ids) expected.push_back({id, b});
  for (const std::string& id : a_ids) expected.push_back({id, a});
  EXPECT_EQ(candidates(), expected);
  EXPECT_EQ(space->candidate_index().at(b_ids[0]), 6u);
  EXPECT_EQ(space->candidate_index().at(b_ids[1]), 1u);
  EXPECT_TRUE(SameVector(space->statistics(), stemmed));
}

TEST_F(WorkspaceTest, StatisticsStayAsPreparedWhenTheStoreReleasesOrChangesItsOwn) {
  const int library = MakeLibrary("Corpus", {3, 4, 21}, {});
  const TermVector before = Store(library)->local().plain();
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  int result = -2;
  EngineReleaseStoreStatistics(library, &result);
  ASSERT_EQ(Store(library)->local().plain().pair_count(), 0u);

  // More documents processed into the library after the preparation.
  test::AddTextDocuments(Store(library)->local().cache_folder, {files_[5], files_[6]});
  EngineProcessStore(library, 0, &result);
  ASSERT_GT(Store(library)->local().plain().pair_count(), before.pair_count());

  const int32_t bee = StemId("bees");
  const int query = MakeQuery(workspace, EngineSetQueryKeywords, "bees");
  TermVector stemmed;
  stemmed.StemmedCopyOf(before, Env().stems());
  const TermVector expected = PairsTouching(stemmed, {bee});
  ASSERT_GT(expected.pair_count(), 0u);
  EXPECT_TRUE(SameVector(QueryOf(workspace, query).vector, expected));
  EXPECT_TRUE(SameVector(Space(workspace)->plain_statistics(), before));
}

TEST_F(WorkspaceTest, AStoreClosedAfterSelectionIsSkipped) {
  std::vector<std::string> a_ids;
  const int a = MakeLibrary("Alpha", {0, 1}, {2}, &a_ids);
  const int b = MakeLibrary("Beta", {3, 4}, {});
  TermVector plain;
  plain.Merge(Store(a)->local().plain());
  plain.Merge(Store(a)->web().plain());
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(a, workspace), 0);
  ASSERT_EQ(Add(b, workspace), 0);
  int result = -2;
  EngineCloseStore(b, &result);
  ASSERT_EQ(result, 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  Workspace* space = Space(workspace);
  std::vector<std::string> ids;
  for (const CandidateEntry& entry : space->candidates()) {
    EXPECT_EQ(entry.store_handle, a);
    ids.push_back(entry.document_id);
  }
  EXPECT_EQ(ids, a_ids);
  EXPECT_TRUE(SameVector(space->plain_statistics(), plain));
}

TEST_F(WorkspaceTest, KeywordsDropStopWordsAndSelectTheStatisticsPairsOfTheirStems) {
  const int library = MakeLibrary("Corpus", {3, 4, 21}, {});
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  const int32_t bee = StemId("bees");
  ASSERT_GE(bee, 0);
  EXPECT_EQ(Env().dictionary()->WordText(bee), "bee");

  const int plural = MakeQuery(workspace, EngineSetQueryKeywords, "bees");
  const int both = MakeQuery(workspace, EngineSetQueryKeywords, "The bees and a bee");
  const int single = MakeQuery(workspace, EngineSetQueryKeywords, "bee");
  EXPECT_EQ(QueryOf(workspace, both).keyword_terms, (std::vector<int32_t>{bee, bee}));
  EXPECT_EQ(QueryOf(workspace, plural).keyword_terms, std::vector<int32_t>{bee});
  const TermVector expected = PairsTouching(Space(workspace)->statistics(), {bee});
  ASSERT_GT(expected.pair_count(), 0u);
  for (int query : {plural, both, single}) {
    EXPECT_TRUE(SameVector(QueryOf(workspace, query).vector, expected)) << query;
  }

  // Two keywords select the pairs of either.
  const int32_t hive = StemId("hive");
  const int two = MakeQuery(workspace, EngineSetQueryKeywords, "bees hive");
  EXPECT_TRUE(SameVector(QueryOf(workspace, two).vector,
                         PairsTouching(Space(workspace)->statistics(), {bee, hive})));

  // Setters and preparers refuse handles that name no query of the workspace.
  int result = -2;
  for (QuerySetter set : {EngineSetQueryKeywords, EngineSetQueryDocuments, EngineSetQueryPassage,
                          EngineSetQueryConcepts}) {
    set(99999, "bees", workspace, &result);
    EXPECT_EQ(result, 1);
    set(plural, "bees", 99999, &result);
    EXPECT_EQ(result, 1);
    set(library, "bees", workspace, &result);
    EXPECT_EQ(result, 1);
  }
  EnginePrepareQuery(99999, workspace, &result);
  EXPECT_EQ(result, 1);
  EnginePrepareQuery(plural, 99999, &result);
  EXPECT_EQ(result, 1);
  EngineExpandQuery(99999, workspace, &result);
  EXPECT_EQ(result, 1);
}

TEST_F(WorkspaceTest, WithoutTheStemmedModelKeywordsKeepTheirWords) {
  std::string main = ReadFile(data_ + "main.ini");
  const size_t switch_at = main.find("stemmed_model = 1");
  ASSERT_NE(switch_at, std::string::npos);
  main.replace(switch_at, 17, "stemmed_model = 0");
  WriteFile(data_ + "plain.ini", main);
  EngineDestroy();
  ASSERT_NO_FATAL_FAILURE(Start("plain.ini"));
  ASSERT_FALSE(Env().stemmed_model());

  const int library = MakeLibrary("Corpus", {3, 4, 21}, {});
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  EXPECT_EQ(Space(workspace)->statistics().pair_count(),
            Space(workspace)->plain_statistics().pair_count());
  const int32_t bees = Env().dictionary()->FindWord("bees");
  const int32_t bee = Env().dictionary()->FindWord("bee");
  ASSERT_GE(bees, 0);
  ASSERT_GE(bee, 0);
  const int query = MakeQuery(workspace, EngineSetQueryKeywords, "the bees and a bee");
  EXPECT_EQ(QueryOf(workspace, query).keyword_terms, (std::vector<int32_t>{bees, bee}));
  const int plural = MakeQuery(workspace, EngineSetQueryKeywords, "bees");
  const TermVector expected = PairsTouching(Space(workspace)->plain_statistics(), {bees});
  ASSERT_GT(expected.pair_count(), 0u);
  EXPECT_TRUE(SameVector(QueryOf(workspace, plural).vector, expected));
}

TEST_F(WorkspaceTest, ExampleDocumentsAddTheirIndexVectors) {
  std::vector<std::string> ids, other_ids;
  const int library = MakeLibrary("Corpus", {0, 1, 2}, {}, &ids);
  const int other = MakeLibrary("Other", {5}, {}, &other_ids);
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  const std::string lib = std::to_string(library);
  const TermVector first = DocumentVector(library, ids[0]);
  const TermVector second = DocumentVector(library, ids[1]);
  TermVector sum = first;
  sum.Merge(second);
  ASSERT_GT(sum.pair_count(), first.pair_count());

  const std::vector<std::pair<std::string, TermVector>> cases = {
      {lib + "," + ids[0] + ";" + lib + "," + ids[1] + ";", sum},
      // Handles that name no store, and ids the store does not hold, are skipped.
      {"99999," + ids[0] + ";" + std::to_string(workspace) + "," + ids[2] + ";" + lib + ",nosuch;" +
           lib + "," + ids[1] + ";",
       second},
      // The last entry lacks its ";".
      {lib + "," + ids[0] + ";" + lib + "," + ids[1], first},
      // Any open store serves, selected or not.
      {std::to_string(other) + "," + other_ids[0] + ";", DocumentVector(other, other_ids[0])},
  };
  for (const auto& [list, expected] : cases) {
    const int query = MakeQuery(workspace, EngineSetQueryDocuments, list);
    EXPECT_EQ(QueryOf(workspace, query).document_list, list);
    EXPECT_TRUE(SameVector(QueryOf(workspace, query).vector, expected)) << list;
  }
}

TEST_F(WorkspaceTest, APassageIsBuiltWithThePairWindow) {
  const int library = MakeLibrary("Corpus", {3}, {});
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  ASSERT_EQ(Env().pair_window(), 5);
  const std::string passage = "honey bees carry pollen back to the hive where the bees store honey";
  const int query = MakeQuery(workspace, EngineSetQueryPassage, passage);

  // The words without the stop words "to", "the", "where", "the", as stems.
  TermList words;
  for (const char* word :
       {"honey", "bees", "carry", "pollen", "back", "hive", "bees", "store", "honey"}) {
    words.Append(StemId(word));
  }
  EXPECT_EQ(QueryOf(workspace, query).passage_terms, words.ids());
  TermVector expected;
  expected.Build(words, 5);
  const TermVector& vector = QueryOf(workspace, query).vector;
  EXPECT_TRUE(SameVector(vector, expected));
  // honey -> bees at distance 1 weighs 5 - 1 forward; bees -> honey at
  // distance 2 (the last two places but one) weighs 5 - 2 backward.
  const TermPair* honey_bee = vector.FindPair(StemId("honey"), StemId("bees"));
  ASSERT_NE(honey_bee, nullptr);
  EXPECT_DOUBLE_EQ(honey_bee->forward(), 4);
  EXPECT_DOUBLE_EQ(honey_bee->backward(), 3);
  EXPECT_EQ(vector.TermCount(StemId("honey")), 2);
}

TEST_F(WorkspaceTest, ConceptListsNameTheWorkspaceConcepts) {
  std::vector<std::string> ids;
  const int library = MakeLibrary("Corpus", {0, 1}, {}, &ids);
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  Workspace* space = Space(workspace);
  const TermVector first = DocumentVector(library, ids[0]);
  const TermVector second = DocumentVector(library, ids[1]);
  const int c1 = static_cast<int>(space->registry().Register(std::make_unique<Concept>(first)));
  const int c2 = static_cast<int>(space->registry().Register(std::make_unique<Concept>(second)));
  int not_a_concept = -2;
  EngineNewQuery(workspace, &not_a_concept);
  TermVector sum = first;
  sum.Merge(second);

  const std::string h1 = std::to_string(c1), h2 = std::to_string(c2);
  const std::vector<std::pair<std::string, TermVector>> cases = {
      {h1 + ";" + h2 + ";", sum},
      {h1 + ";" + h2, first},  // the second handle lacks its ";"
      {"99999;" + std::to_string(not_a_concept) + ";" + h2 + ";", second},
  };
  for (const auto& [list, expected] : cases) {
    const int query = MakeQuery(workspace, EngineSetQueryConcepts, list);
    EXPECT_EQ(QueryOf(workspace, query).concept_list, list);
    EXPECT_TRUE(SameVector(QueryOf(workspace, query).vector, expected)) << list;
  }
}

TEST_F(WorkspaceTest, AllSourcesOfAQueryAddUp) {
  std::vector<std::string> ids;
  const int library = MakeLibrary("Corpus", {1, 3, 11}, {}, &ids);
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  Workspace* space = Space(workspace);
  const TermVector example = DocumentVector(library, ids[0]);
  const TermVector concept_vector = DocumentVector(library, ids[1]);
  const int concept_handle =
      static_cast<int>(space->registry().Register(std::make_unique<Concept>(concept_vector)));
  const std::string documents = std::to_string(library) + "," + ids[0] + ";";
  const std::string passage = "glacier ice moves slowly down the valley";
  const std::string concepts = std::to_string(concept_handle) + ";";

  // Two sources: the example document and the passage.
  const int two = NewQuery(workspace);
  int result = -2;
  EngineSetQueryPassage(two, passage.c_str(), workspace, &result);
  EngineSetQueryDocuments(two, documents.c_str(), workspace, &result);
  EnginePrepareQuery(two, workspace, &result);
  ASSERT_EQ(result, 0);
  TermList passage_terms;
  for (const char* word : {"glacier", "ice", "moves", "slowly", "valley"}) {  // "down", "the" go
    passage_terms.Append(StemId(word));
  }
  EXPECT_EQ(QueryOf(workspace, two).passage_terms, passage_terms.ids());
  TermVector passage_vector;
  passage_vector.Build(passage_terms, 5);
  ASSERT_GT(passage_vector.pair_count(), 0u);
  TermVector expected = example;
  expected.Merge(passage_vector);
  EXPECT_TRUE(SameVector(QueryOf(workspace, two).vector, expected));

  // All four: keywords, documents, passage, concepts.
  const int all = NewQuery(workspace);
  EngineSetQueryConcepts(all, concepts.c_str(), workspace, &result);
  EngineSetQueryPassage(all, passage.c_str(), workspace, &result);
  EngineSetQueryDocuments(all, documents.c_str(), workspace, &result);
  EngineSetQueryKeywords(all, "volcano lava", workspace, &result);
  EnginePrepareQuery(all, workspace, &result);
  ASSERT_EQ(result, 0);
  expected = PairsTouching(space->statistics(), {StemId("volcano"), StemId("lava")});
  ASSERT_GT(expected.pair_count(), 0u);
  expected.Merge(example);
  expected.Merge(passage_vector);
  expected.Merge(concept_vector);
  EXPECT_TRUE(SameVector(QueryOf(workspace, all).vector, expected));
}

TEST_F(WorkspaceTest, AQueryWithoutSourcesIsEmpty) {
  const int library = MakeLibrary("Corpus", {0, 1, 2}, {});
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  const int query = NewQuery(workspace);
  int result = -2;
  EnginePrepareQuery(query, workspace, &result);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(QueryOf(workspace, query).vector.pair_count(), 0u);
  EXPECT_EQ(QueryOf(workspace, query).vector.term_count(), 0u);
  // Keywords made only of stop words are no source either.
  const int stop_words = MakeQuery(workspace, EngineSetQueryKeywords, "the and of");
  EXPECT_TRUE(QueryOf(workspace, stop_words).keyword_terms.empty());
  EXPECT_EQ(QueryOf(workspace, stop_words).vector.pair_count(), 0u);
  // Expanding leaves it empty.
  EngineExpandQuery(query, workspace, &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(QueryOf(workspace, query).vector.pair_count(), 0u);

  int list = -2;
  EngineRankDocuments(query, 10, workspace, &list);
  ASSERT_GT(list, 0);
  const ResultList* ranked = Space(workspace)->registry().FindAs<ResultList>(list);
  ASSERT_NE(ranked, nullptr);
  EXPECT_EQ(ranked->count(), 0u);
}

TEST_F(WorkspaceTest, ExpandingAKeywordQueryAddsThePairsTouchingItsTerms) {
  const int library = MakeLibrary("Corpus", {3, 8, 21}, {});
  const int workspace = OpenWorkspace();
  ASSERT_EQ(Add(library, workspace), 0);
  ASSERT_EQ(PrepareRanking(workspace), 0);
  const TermVector& statistics = Space(workspace)->statistics();
  const int query = MakeQuery(workspace, EngineSetQueryKeywords, "hive");
  const TermVector keywords = QueryOf(workspace, query).vector;
  ASSERT_GT(keywords.pair_count(), 0u);
  std::set<int32_t> terms;
  for (const TermPair& pair : keywords.pairs()) {
    terms.insert(pair.first());
    terms.insert(pair.second());
  }
  // Every statistics pair touching a term of the query's pairs; the query's
  // own pairs count twice.
  TermVector expected;
  for (const TermPair& pair : statistics.pairs()) {
    if (terms.count(pair.first()) == 0 && terms.count(pair.second()) == 0) continue;
    TermPair copy = pair;
    if (keywords.FindPair(pair.first(), pair.second()) != nullptr) copy.Scale(2);
    expected.AppendPair(copy);
  }
  ASSERT_GT(expected.pair_count(), keywords.pair_count());

  int result = -2;
  EngineExpandQuery(query, workspace, &result);
  EXPECT_EQ(result, 0);
  const TermVector& expanded = QueryOf(workspace, query).vector;
  ASSERT_EQ(expanded.pair_count(), expected.pair_count());
  for (const TermPair& want : expected.pairs()) {
    const TermPair* got = expanded.FindPair(want.first(), want.second());
    ASSERT_NE(got, nullptr);
    EXPECT_DOUBLE_EQ(got->forward(), want.forward());
    EXPECT_DOUBLE_EQ(got->backward(), want.backward());
  }
}

}  // namespace
}  // namespace qora
