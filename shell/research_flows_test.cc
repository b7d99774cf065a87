#include "shell/research_flows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "shell/command_line.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "shell/library_commands.h"
#include "tests/test_util.h"
#include "tests/text_documents.h"

namespace qora {
namespace {

using test::SourceDataFolder;
using test::TempDir;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A data folder with the library "Corpus" holding the 30 topic documents,
// processed, and an engine started on it.
class ResearchFlowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "qoralibs/";
    ASSERT_EQ(InitDataFolder(SourceDataFolder(), data_), "");
    ASSERT_EQ(session_.Start(data_), 0);
    ASSERT_EQ(NewLibrary("Corpus", &ident_), "");
    files_ = test::CorpusFiles();
    ASSERT_EQ(files_.size(), 30u);
    ids_ = test::AddTextDocuments(data_ + "libraries/" + ident_ + "/loc_c/", files_);
    ASSERT_EQ(ProcessLibrary("Corpus", false), "");
  }

  // The document id of the corpus file whose name contains `part`.
  std::string IdOf(const std::string& part) const {
    for (size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].find(part) != std::string::npos) return ids_[i];
    }
    return "";
  }

  TempDir dir_;
  std::string data_;
  EngineSession session_;
  std::string ident_;
  std::vector<std::string> files_;
  std::vector<std::string> ids_;
};

TEST_F(ResearchFlowsTest, KeywordResearchPutsTheDocumentOnTheTopicFirst) {
  const std::vector<std::pair<std::string, std::string>> searches = {
      {"honey bees hive", "04-honey-bees"},
      {"glacier ice", "12-glaciers"},
      {"violin", "29-violin-making"},
      {"coffee beans", "17-coffee-cultivation"},
  };
  for (const auto& [keywords, file] : searches) {
    ResearchRequest request;
    request.libraries = {"Corpus"};
    request.query.kind = QuerySource::Kind::kKeywords;
    request.query.text = keywords;
    std::vector<DocumentRecord> documents;
    std::string text;
    ASSERT_EQ(Research(request, &documents, &text), "") << keywords;
    ASSERT_FALSE(documents.empty()) << keywords;
    EXPECT_EQ(documents[0].docid, IdOf(file)) << keywords << " ranked " << documents[0].name;
    EXPECT_EQ(documents[0].parid, "Corpus");
    for (size_t i = 1; i < documents.size(); ++i) {
      EXPECT_GE(documents[i - 1].rank, documents[i].rank);
      EXPECT_GE(documents[i].rank, 1e-8);
    }
  }
}

TEST_F(ResearchFlowsTest, ResearchByExampleFindsTheExampleFirst) {
  ResearchRequest request;
  request.libraries = {ident_};
  request.query.kind = QuerySource::Kind::kDocuments;
  request.query.documents = {{"Corpus", IdOf("07-coral-reefs")}};
  request.count = 3;
  std::vector<DocumentRecord> documents;
  std::string text;
  ASSERT_EQ(Research(request, &documents, &text), "");
  ASSERT_FALSE(documents.empty());
  EXPECT_LE(documents.size(), 3u);
  EXPECT_EQ(documents[0].docid, IdOf("07-coral-reefs"));
}

TEST_F(ResearchFlowsTest, AKeywordSummaryWeighsTheSentencesOnTheQueryHighest) {
  SummaryResult result;
  QuerySource query;
  query.kind = QuerySource::Kind::kKeywords;
  query.text = "hive";
  ASSERT_EQ(Summarize({{"Corpus", IdOf("04-honey-bees")}}, query, 100, &result), "");
  ASSERT_GE(result.sentences.size(), 12u);
  const auto strongest = std::max_element(
      result.sentences.begin(), result.sentences.end(),
      [](const WeightedSentence& a, const WeightedSentence& b) { return a.weight < b.weight; });
  EXPECT_GT(strongest->weight, 0);
  EXPECT_NE(Lower(strongest->text).find("hive"), std::string::npos) << strongest->text;
  EXPECT_NE(result.path.find(".dml"), std::string::npos);
}

TEST_F(ResearchFlowsTest, SeveralDocumentsGiveACombinedSummary) {
  SummaryResult result;
  ASSERT_EQ(Summarize({{"Corpus", IdOf("02-volcanoes")}, {"Corpus", IdOf("18-earthquakes")}},
                      QuerySource(), 85, &result),
            "");
  EXPECT_EQ(result.copies.size(), 2u);
  EXPECT_NE(result.path.find("csummary.dml"), std::string::npos) << result.path;
  std::vector<DocumentName> six(6, {"Corpus", IdOf("02-volcanoes")});
  EXPECT_EQ(Summarize(six, QuerySource(), 85, &result),
            "Cannot analyze more than 5 documents at a time. Please uncheck some documents.");
}

TEST_F(ResearchFlowsTest, TheConceptMapOfSeveralDocumentsSplitsTheirTopics) {
  MapRequest request;
  request.libraries = {"Corpus"};
  request.query.kind = QuerySource::Kind::kDocuments;
  request.query.documents = {{"Corpus", IdOf("04-honey-bees")},
                             {"Corpus", IdOf("26-railway-history")},
                             {"Corpus", IdOf("22-cheese-making")}};
  std::vector<DocumentRecord> concepts;
  std::string text;
  ASSERT_EQ(ConceptMap(request, &concepts, &text), "");
  ASSERT_GE(concepts.size(), 2u) << text;
  // Phrases are made of stems (the stemmed model is on): the stems of the
  // corpus words, each stemmed in the letter case the library met first
  // (any document's), which may be either.
  std::set<std::string> stems;
  std::string all;
  for (const std::string& file : files_) all += test::ReadFile(file) + "\n";
  std::istringstream corpus(all);
  for (std::string word; corpus >> word;) {
    while (!word.empty() && !std::isalnum(static_cast<unsigned char>(word.back()))) {
      word.pop_back();
    }
    for (std::string form : {word, Lower(word)}) {
      stems.insert(Lower(test::StemOf(form)));
    }
  }
  for (size_t i = 0; i < concepts.size(); ++i) {
    if (i > 0) {
      EXPECT_GE(concepts[i - 1].ord, concepts[i].ord);  // heaviest first
    }
    ASSERT_FALSE(concepts[i].keywords.empty());
    for (const WeightedTerm& phrase : concepts[i].keywords) {
      std::istringstream words(phrase.text);
      for (std::string word; words >> word;) {
        EXPECT_EQ(stems.count(word), 1u) << word;
      }
    }
  }
}

TEST_F(ResearchFlowsTest, EmptyQueriesAndTooManyLibrariesAreRefused) {
  ResearchRequest request;
  request.libraries = {"Corpus"};
  std::vector<DocumentRecord> documents;
  std::string text;
  EXPECT_NE(Research(request, &documents, &text), "");
  request.query.kind = QuerySource::Kind::kKeywords;
  request.query.text = "   ";
  EXPECT_NE(Research(request, &documents, &text), "");
  request.query.text = "bees";
  request.libraries.assign(11, "Corpus");
  EXPECT_EQ(Research(request, &documents, &text),
            "Cannot select more than 10 libraries at a time. Please uncheck some libraries.");
  request.libraries.clear();
  EXPECT_EQ(Research(request, &documents, &text), "Please check mark the libraries first");
}

}  // namespace
}  // namespace qora
