#include "store/summarizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "analysis/term_list.h"
#include "store/dml_writer.h"
#include "store/document_reader.h"
#include "tests/test_environment.h"
#include "tests/test_util.h"
#include "util/markup_scanner.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

// The pairs of a vector as "(first,second) forward/backward".
std::vector<std::string> PairsOf(const TermVector& vector) {
  std::vector<std::string> pairs;
  for (const TermPair& pair : vector.pairs()) {
    pairs.push_back("(" + std::to_string(pair.first()) + "," + std::to_string(pair.second()) +
                    ") " + std::to_string(pair.forward()) + "/" + std::to_string(pair.backward()));
  }
  return pairs;
}

// Collects the attributes and text of the "s" leaves of a scanned text.
class SentenceCollector : public MarkupHandler {
 public:
  void StartElement(std::string_view, std::string_view) override {}
  void EndElement(std::string_view) override {}
  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    if (name != "s") return;
    attributes_.emplace_back(attributes);
    texts_.emplace_back(content);
  }

  const std::vector<std::string>& attributes() const { return attributes_; }
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  std::vector<std::string> attributes_;
  std::vector<std::string> texts_;
};

TEST(WeightFromOverlapTest, DividesByTermsPlusFiveAndTruncates) {
  EXPECT_EQ(WeightFromOverlap(49.9, 5), 4);
  EXPECT_EQ(WeightFromOverlap(50.0, 5), 5);
  EXPECT_EQ(WeightFromOverlap(86.0, 4), 9);
  EXPECT_EQ(WeightFromOverlap(6.99, 2), 0);
  EXPECT_EQ(WeightFromOverlap(0.0, 0), 0);
  EXPECT_EQ(WeightFromOverlap(-49.9, 5), -4);
}

TEST(WeightFromOverlapTest, StaysWithinRange) {
  EXPECT_EQ(WeightFromOverlap(1e300, 3), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(WeightFromOverlap(-1e300, 3), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(WeightFromOverlap(std::numeric_limits<double>::infinity(), 3),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(WeightFromOverlap(std::numeric_limits<double>::quiet_NaN(), 3), 0);
}

TEST(SummaryReferenceTest, MixesQueryAndDocumentByBias) {
  TermVector query;
  query.AppendPair(TermPair(1, 2, 4, 2));
  TermVector document;
  document.AppendPair(TermPair(2, 1, 8, 0));
  document.AppendPair(TermPair(3, 4, 2, 6));

  // (2,1) 8/0 merges reversed into (1,2) as 0/8.
  EXPECT_EQ(PairsOf(SummaryReference(query, 0.5, document)),
            (std::vector<std::string>{"(1,2) 2.000000/5.000000", "(3,4) 1.000000/3.000000"}));
  EXPECT_EQ(PairsOf(SummaryReference(query, 0.25, document)),
            (std::vector<std::string>{"(1,2) 1.000000/6.500000", "(3,4) 1.500000/4.500000"}));
  // The query alone once the document's share is negligible.
  EXPECT_EQ(PairsOf(SummaryReference(query, 1.0, document)), PairsOf(query));
  EXPECT_EQ(PairsOf(SummaryReference(query, 1.0 - 5e-9, document)), PairsOf(query));
  EXPECT_EQ(PairsOf(SummaryReference(query, 3.0, document)), PairsOf(query));
  // The document alone for a negligible bias or a query without pairs.
  EXPECT_EQ(PairsOf(SummaryReference(query, 0.0, document)), PairsOf(document));
  EXPECT_EQ(PairsOf(SummaryReference(query, 5e-9, document)), PairsOf(document));
  EXPECT_EQ(PairsOf(SummaryReference(query, -1.0, document)), PairsOf(document));
  EXPECT_EQ(PairsOf(SummaryReference(TermVector(), 0.5, document)), PairsOf(document));
}

class SummarizerTest : public ::testing::Test {
 protected:
  // Sets up a data folder with the library template and loads an
  // environment from it, with a pair window of 5.
  void LoadEnvironment(int stemmed_model) {
    const std::string& dir = dir_.path();
    test::WriteSmallDataFolder(dir, stemmed_model);
    env_ = std::make_unique<test::TestEnvironment>();
    env_->Load(dir, "main.ini");
  }

  void SetUp() override { LoadEnvironment(1); }

  std::unique_ptr<DocumentStore> NewLibrary(const std::string& name) {
    auto store = std::make_unique<DocumentStore>(env_.get());
    EXPECT_EQ(CreateStore(store.get(), name, env_.get()), 0);
    return store;
  }

  // A library holding document "a" (see kBody) in its local half and "w" in
  // its web half, processed, and an empty temporary library.
  void MakeLibraries() {
    store_ = NewLibrary("Library");
    temp_ = NewLibrary("Temp");
    DocumentRecord record;
    record.uri = "http://example.org/a";
    record.header = "About solar power";
    record.keywords.push_back(WeightedTerm{"solar", 0.5, 3});
    record.sdesc = "A short description";
    AddDocument(store_->local(), "a", record, kBody);
    record = DocumentRecord();
    record.uri = "http://example.org/w";
    AddDocument(store_->web(), "w", record,
                "<anc><a href=\"http://w/1\">old</a></anc>\n"
                "<p><s>tidal power</s></p>\n"
                "<anc><a href=\"http://w/2\">new</a></anc>\n");
    ASSERT_EQ(store_->RefreshIndex(), 0);
    ASSERT_EQ(store_->ProcessDocuments(false), 0);
  }

  // Writes the DML file of `id` into `half`, its description `record` with
  // the id set followed by `body`, and gives it the table line.
  static void AddDocument(const LibraryHalf& half, const std::string& id, DocumentRecord record,
                          const std::string& body) {
    record.docid = id;
    const std::string content = WriteStat(record) + "\n" + body;
    test::WriteFile(half.cache_folder + id + ".dml", WriteDocument(content));
    test::WriteFile(half.TablePath(), test::ReadFile(half.TablePath()) + id + "|" + record.uri +
                                          "|" + std::to_string(content.size()) + "|0|0|\n");
  }

  // The vector of `text` as a sentence, in the model's term ids.
  TermVector SentenceVector(const std::string& text) {
    TermList list;
    PrepareTermList(text, env_->dictionary(), env_->delimiters(), env_->stems(), env_->stop_words(),
                    &list);
    if (env_->stemmed_model()) list.MapToStems(env_->stems());
    TermVector vector;
    vector.Build(list, env_->pair_window());
    return vector;
  }

  std::string Summarize(const TermVector& query, double bias, const std::string& prefix = "sum") {
    return SummarizeDocument(store_.get(), "a", prefix, query, bias, temp_.get(), env_.get());
  }

  std::string SummaryPath(const std::string& prefix = "sum") const {
    return temp_->local().cache_folder + prefix + ".dml";
  }

  // The "s" leaves of the summary file.
  SentenceCollector Sentences(const std::string& prefix = "sum") const {
    SentenceCollector collector;
    EXPECT_EQ(ScanMarkupFile(SummaryPath(prefix), &collector, /*skip_header=*/true), 0);
    return collector;
  }

  // The weight attribute of every sentence of the summary, in order.
  std::vector<std::string> Weights(const std::string& prefix = "sum") const {
    std::vector<std::string> weights;
    const SentenceCollector sentences = Sentences(prefix);
    for (const std::string& attributes : sentences.attributes()) {
      std::vector<std::string> names, values;
      ParseAttributes(attributes, &names, &values);
      EXPECT_EQ(names.size(), 2u) << attributes;
      if (names.empty()) continue;
      EXPECT_EQ(names[0], "w");
      weights.push_back(values[0]);
    }
    return weights;
  }

  // Sentences (after stop words, window 5) and their pair weights:
  //   s1 solar panels convert sunlight: (solar,panels) 4, (solar,convert) 3,
  //      (solar,sunlight) 2, (panels,convert) 4, (panels,sunlight) 3,
  //      (convert,sunlight) 4
  //   s2 panels feed grid: (panels,feed) 4, (panels,grid) 3, (feed,grid) 4
  //   s3 solar panels: (solar,panels) 4
  //   s4 wind turbines turn: (wind,turbines) 4, (wind,turn) 3, (turbines,turn) 4
  // so the document holds (solar,panels) at 8 and every other pair once. The
  // sentence outside the paragraphs is not indexed.
  static constexpr char kBody[] =
      "<title>Heading zqx</title>\n"
      "<s>stray words outside</s>\n"
      "<p>\n"
      "<s>solar panels convert sunlight</s>\n"
      "<s w=\"77\" c=\"3\">panels feed the grid</s>\n"
      "</p>\n"
      "<p>\n"
      "<s>solar panels</s>\n"
      "<s>\nwind turbines turn\n</s>\n"
      "</p>\n"
      "<anc>\n"
      "<a href=\"http://x/1\" rel=\"next\">first link</a>\n"
      "<a href=\"http://x/2\">second\nlink</a>\n"
      "</anc>\n"
      "<a href=\"http://x/9\">stray link</a>\n";

  test::TempDir dir_;
  std::unique_ptr<test::TestEnvironment> env_;
  std::unique_ptr<DocumentStore> store_;
  std::unique_ptr<DocumentStore> temp_;
};

TEST_F(SummarizerTest, SentenceWithoutPairsWeighsNothing) {
  TermVector reference = SentenceVector("solar panels convert sunlight");
  reference.Merge(SentenceVector("sunlight solar"));
  ASSERT_GT(reference.pair_count(), 0u);
  EXPECT_EQ(SentenceWeight("sunlight", reference, env_.get()), 0);
  EXPECT_EQ(SentenceWeight("the sunlight", reference, env_.get()), 0);
  EXPECT_EQ(SentenceWeight("the and of to", reference, env_.get()), 0);
  EXPECT_EQ(SentenceWeight("", reference, env_.get()), 0);
}

TEST_F(SummarizerTest, SentenceWeightDividesOverlapByTermsPlusFive) {
  // Five terms; the pair (alpha,beta) occurs at distance 1, weight 4, so a
  // reference forward weight of 12.475 makes the overlap 49.9.
  const std::string sentence = "alpha beta the gamma delta epsilon";
  const TermVector built = SentenceVector("alpha beta");
  ASSERT_EQ(built.pair_count(), 1u);
  const int32_t alpha = built.PairAt(0).first();
  const int32_t beta = built.PairAt(0).second();

  TermVector reference;
  reference.AppendPair(TermPair(alpha, beta, 12.475, 0));
  EXPECT_EQ(SentenceWeight(sentence, reference, env_.get()), 4);
  // The same pair held reversed meets the sentence's forward weight with its
  // backward one.
  TermVector reversed;
  reversed.AppendPair(TermPair(beta, alpha, 0, 12.475));
  EXPECT_EQ(SentenceWeight(sentence, reversed, env_.get()), 4);
  TermVector wrong_direction;
  wrong_direction.AppendPair(TermPair(beta, alpha, 12.475, 0));
  EXPECT_EQ(SentenceWeight(sentence, wrong_direction, env_.get()), 0);

  TermVector more;
  more.AppendPair(TermPair(alpha, beta, 12.5, 0));
  EXPECT_EQ(SentenceWeight(sentence, more, env_.get()), 5);
}

TEST_F(SummarizerTest, SentenceWeightUsesStemsInTheStemmedModel) {
  // "panels" and "panel" share a stem, so the pair is found.
  const TermVector reference = SentenceVector("solar panel");
  EXPECT_EQ(SentenceWeight("solar panels", reference, env_.get()), 2);  // 4 * 4 / 7
  LoadEnvironment(2);
  const TermVector plain_reference = SentenceVector("solar panel");
  EXPECT_EQ(SentenceWeight("solar panels", plain_reference, env_.get()), 0);
  EXPECT_EQ(SentenceWeight("solar panel", plain_reference, env_.get()), 2);
}

TEST_F(SummarizerTest, WritesTheRewrittenDocument) {
  MakeLibraries();
  const TermVector query = SentenceVector("panels convert sunlight");
  ASSERT_EQ(Summarize(query, 0.0), "sum");

  DocumentRecord record;
  ASSERT_EQ(store_->ReadStoredRecord("a", &record), 0);
  const std::string expected_body =
      "<p><s w=\"9\" c=\"1\">solar panels convert sunlight</s>"
      "<s w=\"5\" c=\"1\">panels feed the grid</s></p>"
      "<p><s w=\"4\" c=\"1\">solar panels</s>"
      "<s w=\"5\" c=\"1\"> wind turbines turn </s></p>"
      "<anc><a href=\"http://x/1\" rel=\"next\">first link</a>"
      "<a href=\"http://x/2\">second link</a></anc>";
  EXPECT_EQ(test::ReadFile(SummaryPath()), WriteDocument(WriteStat(record) + expected_body));
}

TEST_F(SummarizerTest, EverySentenceCountsOnce) {
  MakeLibraries();
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");
  const SentenceCollector sentences = Sentences();
  ASSERT_EQ(sentences.attributes().size(), 4u);
  for (const std::string& attributes : sentences.attributes()) {
    std::vector<std::string> names, values;
    ParseAttributes(attributes, &names, &values);
    ASSERT_EQ(names, (std::vector<std::string>{"w", "c"}));
    EXPECT_EQ(values[1], "1");
  }
}

TEST_F(SummarizerTest, ElementsOutsideParagraphsAndLinkBlocksAreLeftOut) {
  MakeLibraries();
  const std::string original = test::ReadFile(store_->local().cache_folder + "a.dml");
  ASSERT_NE(original.find("zqx"), std::string::npos);
  ASSERT_NE(original.find("stray"), std::string::npos);
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");
  const std::string summary = test::ReadFile(SummaryPath());
  EXPECT_EQ(summary.find("zqx"), std::string::npos);
  EXPECT_EQ(summary.find("<title"), std::string::npos);
  EXPECT_EQ(summary.find("stray"), std::string::npos);
}

TEST_F(SummarizerTest, LinksKeepTheirAttributes) {
  MakeLibraries();
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");
  EXPECT_NE(test::ReadFile(SummaryPath())
                .find("<anc><a href=\"http://x/1\" rel=\"next\">first link</a>"
                      "<a href=\"http://x/2\">second link</a></anc></document>"),
            std::string::npos);
}

TEST_F(SummarizerTest, LastLinkBlockIsKept) {
  MakeLibraries();
  ASSERT_EQ(SummarizeDocument(store_.get(), "w", "web", TermVector(), 0.0, temp_.get(), env_.get()),
            "web");
  // The sentence weighs (tidal,power) 4 * 4 over 2 + 5.
  const std::string summary = test::ReadFile(temp_->local().cache_folder + "web.dml");
  EXPECT_NE(summary.find("<p><s w=\"2\" c=\"1\">tidal power</s></p>"
                         "<anc><a href=\"http://w/2\">new</a></anc></document>"),
            std::string::npos);
  EXPECT_EQ(summary.find("http://w/1"), std::string::npos);
}

TEST_F(SummarizerTest, WithoutQueryWeightsDependOnlyOnTheDocument) {
  MakeLibraries();
  // (solar,panels) weighs 8 in the document: s1 8*4 + 9 + 4 + 16 + 9 + 16 = 86
  // over 4 + 5; s2 41 over 3 + 5; s3 32 over 2 + 5; s4 41 over 3 + 5.
  const std::vector<std::string> expected = {"9", "5", "4", "5"};
  ASSERT_EQ(Summarize(TermVector(), 0.0, "none"), "none");
  EXPECT_EQ(Weights("none"), expected);
  ASSERT_EQ(Summarize(TermVector(), 0.5, "empty"), "empty");
  EXPECT_EQ(Weights("empty"), expected);
  ASSERT_EQ(Summarize(SentenceVector("panels convert sunlight"), 0.0, "q1"), "q1");
  ASSERT_EQ(Summarize(SentenceVector("wind turbines feed"), 0.0, "q2"), "q2");
  EXPECT_EQ(Weights("q1"), expected);
  EXPECT_EQ(test::ReadFile(SummaryPath("q1")), test::ReadFile(SummaryPath("q2")));
}

TEST_F(SummarizerTest, FullBiasWeighsAgainstTheQueryAlone) {
  MakeLibraries();
  // The query's pairs (panels,convert) 4, (panels,sunlight) 3 and
  // (convert,sunlight) 4 occur only in s1: 16 + 9 + 16 = 41 over 4 + 5.
  ASSERT_EQ(Summarize(SentenceVector("panels convert sunlight"), 1.0), "sum");
  EXPECT_EQ(Weights(), (std::vector<std::string>{"4", "0", "0", "0"}));
}

TEST_F(SummarizerTest, HalfBiasWeighsAgainstHalfOfEach) {
  MakeLibraries();
  // s1: (solar,panels) 4*4 + (solar,convert) 1.5*3 + (solar,sunlight) 1*2 +
  //     (panels,convert) 4*4 + (panels,sunlight) 3*3 + (convert,sunlight) 4*4
  //     = 63.5 over 9; s2: 20.5 over 8; s3: 16 over 7; s4: 20.5 over 8.
  ASSERT_EQ(Summarize(SentenceVector("panels convert sunlight"), 0.5), "sum");
  EXPECT_EQ(Weights(), (std::vector<std::string>{"7", "2", "2", "2"}));
}

TEST_F(SummarizerTest, UnstemmedModelWeighsAgainstThePlainVector) {
  LoadEnvironment(2);
  MakeLibraries();
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");
  EXPECT_EQ(Weights(), (std::vector<std::string>{"9", "5", "4", "5"}));
  ASSERT_EQ(Summarize(SentenceVector("panels convert sunlight"), 1.0, "full"), "full");
  EXPECT_EQ(Weights("full"), (std::vector<std::string>{"4", "0", "0", "0"}));
}

TEST_F(SummarizerTest, DescriptionReadsBack) {
  MakeLibraries();
  DocumentRecord original;
  ASSERT_EQ(store_->ReadStoredRecord("a", &original), 0);
  ASSERT_EQ(original.header, " About solar power ");
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");

  // Written as read, every value comes back framed by one more blank on
  // each side.
  DocumentRecord read;
  ASSERT_EQ(ReadDocumentRecord(SummaryPath(), &read), 0);
  auto framed = [](const std::string& value) { return " " + value + " "; };
  EXPECT_EQ(read.docid, framed(original.docid));
  EXPECT_EQ(read.header, framed(original.header));
  EXPECT_EQ(read.sdesc, framed(original.sdesc));
  EXPECT_EQ(read.uri, framed(original.uri));
  EXPECT_EQ(read.bcuri, framed(original.bcuri));
  EXPECT_EQ(read.ldesc, framed(original.ldesc));
  ASSERT_EQ(read.keywords.size(), 1u);
  EXPECT_EQ(read.keywords[0].text, framed(original.keywords[0].text));
  EXPECT_EQ(read.keywords[0].weight, 0.5);
  EXPECT_EQ(read.keywords[0].count, 3);
}

TEST_F(SummarizerTest, SummaryIsListedInTheTemporaryLibrary) {
  MakeLibraries();
  const std::string before = test::ReadFile(temp_->local().TablePath());
  ASSERT_EQ(Summarize(TermVector(), 0.0), "sum");
  const std::string size = std::to_string(fs::file_size(SummaryPath()));
  EXPECT_EQ(test::ReadFile(temp_->local().TablePath()),
            before + "sum.dml| http://example.org/a |" + size + "|0|0|\n");
  // The library the document came from is not changed.
  EXPECT_FALSE(fs::exists(store_->local().cache_folder + "sum.dml"));
}

TEST_F(SummarizerTest, FailuresWriteNothing) {
  MakeLibraries();
  const std::string temp_snapshot = test::FolderSnapshot(temp_->StoreFolder());
  const TermVector query = SentenceVector("panels convert sunlight");
  EXPECT_EQ(SummarizeDocument(store_.get(), "nope", "sum", query, 0.5, temp_.get(), env_.get()),
            "");
  EXPECT_EQ(SummarizeDocument(store_.get(), "", "sum", query, 0.5, temp_.get(), env_.get()), "");
  for (const char* prefix : {"", "x/y", "x|y", "x\ny", "../sum"}) {
    SCOPED_TRACE(prefix);
    EXPECT_EQ(Summarize(query, 0.5, prefix), "");
  }
  // A listed document whose DML file is gone.
  fs::remove(store_->local().cache_folder + "a.dml");
  EXPECT_EQ(Summarize(query, 0.5), "");
  EXPECT_EQ(test::FolderSnapshot(temp_->StoreFolder()), temp_snapshot);
}

TEST_F(SummarizerTest, UnwritableTemporaryLibraryGivesNoName) {
  MakeLibraries();
  DocumentStore missing(env_.get());
  ASSERT_EQ(missing.OpenStore("dsabsent.ini"), 0);
  EXPECT_EQ(SummarizeDocument(store_.get(), "a", "sum", TermVector(), 0.0, &missing, env_.get()),
            "");
  EXPECT_FALSE(fs::exists(env_->StoreFolderRoot() + "dsabsent"));
}

}  // namespace
}  // namespace qora
