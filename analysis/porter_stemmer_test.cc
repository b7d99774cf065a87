#include "analysis/porter_stemmer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace qora {
namespace {

// Stems a copy of `word` in a buffer with guard bytes behind it, and checks
// that the stemmer wrote nothing past the word.
std::string Stem(const std::string& word) {
  std::string buffer = word + "####";
  size_t length = PorterStem(buffer.data(), word.size());
  EXPECT_LE(length, word.size()) << word;
  EXPECT_EQ("####", buffer.substr(word.size())) << word;
  return buffer.substr(0, length);
}

struct Case {
  const char* word;
  const char* stem;
};

void ExpectStems(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(c.stem, Stem(c.word)) << "word: " << c.word;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(PorterStemmerTest, ReferenceVocabulary) {
  const std::string dir = std::string(QORA_TESTDATA_DIR) + "/porter/";
  std::vector<std::string> words = ReadLines(dir + "voc.txt");
  std::vector<std::string> stems = ReadLines(dir + "output.txt");
  ASSERT_EQ(23531u, words.size()) << "cannot read " << dir << "voc.txt";
  ASSERT_EQ(words.size(), stems.size()) << "cannot read " << dir << "output.txt";

  int mismatches = 0;
  for (size_t i = 0; i < words.size(); i++) {
    std::string stem = Stem(words[i]);
    if (stem == stems[i]) continue;
    if (++mismatches <= 10) {
      ADD_FAILURE() << "line " << i + 1 << ": " << words[i] << " -> " << stem << ", expected "
                    << stems[i];
    }
  }
  EXPECT_EQ(0, mismatches);
}

TEST(PorterStemmerTest, Step1PluralsAndInflections) {
  ExpectStems({{"caresses", "caress"},
               {"ponies", "poni"},
               {"agreed", "agre"},
               {"feed", "feed"},  // "eed" decides even though m fails; "ed" is not tried
               {"plastered", "plaster"},
               {"sing", "sing"},
               {"hopping", "hop"},
               {"falling", "fall"},
               {"filing", "file"},
               {"happy", "happi"}});
}

// 'y' is a consonant at the start of a word and after a vowel, and a vowel
// after a consonant: in "aye" it closes a vowel-consonant pair (m = 1), so the
// final 'e' goes; "sky" has no vowel before its final 'y', so it stays.
TEST(PorterStemmerTest, LetterY) {
  ExpectStems({{"aye", "ay"}, {"annoyance", "annoy"}, {"sky", "sky"}, {"crying", "cry"}});
}

TEST(PorterStemmerTest, Steps2To5) {
  ExpectStems({{"relational", "relat"},
               {"conformabli", "conform"},
               {"analogousli", "analog"},
               {"vietnamization", "vietnam"},
               {"sensibiliti", "sensibl"},
               {"archaeology", "archaeolog"},
               {"formative", "form"},
               {"electrical", "electr"},
               {"adoption", "adopt"},
               {"homologou", "homolog"},
               {"cease", "ceas"},
               {"controll", "control"},
               {"roll", "roll"}});
}

// "bli" -> "ble" (rather than "abli" -> "able") and "logi" -> "log".
TEST(PorterStemmerTest, StepTwoBliAndLogiRules) {
  ExpectStems({{"possibli", "possibl"},
               {"humbli", "humbl"},
               {"analogi", "analog"},
               {"logi", "logi"}});  // the stem in front of "logi" is empty
}

// Within a group, the first suffix the word ends with decides. "basement"
// ends with "ement" whose stem "bas" has m = 1, so nothing is removed, even
// though removing "ent" would leave "basem" with m = 2.
TEST(PorterStemmerTest, FirstMatchingSuffixDecides) {
  ExpectStems({{"basement", "basement"}, {"replacement", "replac"}});
}

TEST(PorterStemmerTest, ShortWordsAreUnchanged) {
  ExpectStems({{"", ""}, {"a", "a"}, {"is", "is"}, {"as", "as"}});
}

// Capitals are consonants that match no suffix.
TEST(PorterStemmerTest, LetterCase) {
  ExpectStems({{"RUNNING", "RUNNING"}, {"Running", "Run"}, {"HAPPY", "HAPPY"}});
}

TEST(PorterStemmerTest, BufferNeedsNoTerminator) {
  char buffer[] = {'p', 'o', 'n', 'i', 'e', 's'};
  ASSERT_EQ(4u, PorterStem(buffer, sizeof(buffer)));
  EXPECT_EQ("poni", std::string(buffer, 4));
}

}  // namespace
}  // namespace qora
