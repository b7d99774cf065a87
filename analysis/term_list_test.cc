#include "analysis/term_list.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "analysis/porter_stemmer.h"

namespace qora {
namespace {

using Words = std::vector<std::string>;

class TermListTest : public testing::Test {
 protected:
  TermListTest() : delimiters_(kWordDelimiters) {}

  // Tokenizes `text` into `list_` and returns the dictionary words of the ids.
  Words Tokens(std::string_view text) {
    list_.SetText(text);
    list_.Tokenize(&dictionary_, delimiters_, &stems_);
    return WordsOf(list_);
  }

  Words WordsOf(const TermList& list) const {
    std::vector<std::string> words;
    for (int32_t id : list.ids()) words.push_back(dictionary_.WordText(id));
    return words;
  }

  int32_t Id(std::string_view word) { return dictionary_.AddWord(word); }

  TermDictionary dictionary_;
  DelimiterSet delimiters_;
  StemMap stems_;
  TermList list_;
};

TEST_F(TermListTest, SplitsAtDelimiterRuns) {
  EXPECT_EQ((Words{"don", "t", "stop"}), Tokens("Don't stop"));
  EXPECT_EQ((Words{"e-mail"}), Tokens("e-mail"));
  EXPECT_EQ((Words{"file_name"}), Tokens("file_name"));
  EXPECT_EQ((Words{"3", "14"}), Tokens("3.14"));
  EXPECT_EQ((Words{"one", "two", "three"}), Tokens("  ...one, two;;\t(three)!\n"));
  EXPECT_EQ((Words{"x"}), Tokens("x"));
  EXPECT_EQ((Words{"end"}), Tokens("  end"));
  EXPECT_EQ((Words{"start"}), Tokens("start  "));
  EXPECT_EQ((Words{"same", "same", "same"}), Tokens("same SAME Same"));
}

TEST_F(TermListTest, TextWithoutTokens) {
  EXPECT_TRUE(Tokens("").empty());
  EXPECT_TRUE(Tokens(" ").empty());
  EXPECT_TRUE(Tokens(std::string(kWordDelimiters) + std::string(kWordDelimiters)).empty());
  EXPECT_EQ(0, dictionary_.size());
  EXPECT_EQ(0u, stems_.size());
}

TEST_F(TermListTest, TokenizeReplacesEarlierIds) {
  Tokens("several words here");
  EXPECT_EQ((Words{"new"}), Tokens("new"));
  EXPECT_TRUE(Tokens("").empty());
}

TEST_F(TermListTest, CarriageReturnAndCurlySingleQuotesBelongToTheWord) {
  const Words tokens = Tokens("word\r\n");
  EXPECT_EQ((Words{"word\r"}), tokens);
  EXPECT_NE(Id("word"), list_.ids()[0]);

  EXPECT_EQ((Words{"\x91quoted\x92"}), Tokens("\x91quoted\x92"));
  EXPECT_EQ((Words{"bullet", "quoted"}), Tokens("\x95 bullet \x93quoted\x94"));
}

TEST_F(TermListTest, EveryByteValueAgainstTheDelimiterList) {
  const std::string listed = " \t\n.,;:\"'`~!@#$%^&*()+=|\\{}[]<>?/";
  ASSERT_EQ(33u, listed.size());
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const bool delimiter =
        listed.find(byte) != std::string::npos || b == 0x95 || b == 0x93 || b == 0x94 || b == 0x60;
    std::string text = "a";
    text.push_back(byte);
    text.push_back('b');
    const Words tokens = Tokens(text);
    if (delimiter) {
      EXPECT_EQ((Words{"a", "b"}), tokens) << "byte " << b;
    } else {
      ASSERT_EQ(1u, tokens.size()) << "byte " << b;
      EXPECT_EQ(3u, tokens[0].size()) << "byte " << b;
    }
  }
  // Spot checks of bytes that look like punctuation but are no delimiters.
  for (const char* word : {"a-b", "a_b", "a\rb",
                           "a\x91"
                           "b",
                           "a\x92"
                           "b",
                           "a\x96"
                           "b"}) {
    EXPECT_EQ(1u, Tokens(word).size()) << word;
  }
}

TEST_F(TermListTest, ZeroByteIsPartOfTheWord) {
  const Words tokens = Tokens(std::string("nu\0ll x", 7));
  EXPECT_EQ((Words{std::string("nu\0ll", 5), "x"}), tokens);
}

TEST_F(TermListTest, EmptyDelimiterSetMakesOneToken) {
  list_.SetText("Whole text, one token.");
  list_.Tokenize(&dictionary_, DelimiterSet(), &stems_);
  EXPECT_EQ((Words{"whole text, one token."}), WordsOf(list_));
}

TEST_F(TermListTest, EveryTokenIsCoveredByTheStemMap) {
  Tokens("Cats were running; the dogs ran. \xD6l 123 e-mail");
  ASSERT_EQ(9u, list_.ids().size());
  for (int32_t id : list_.ids()) EXPECT_TRUE(stems_.Covers(id)) << dictionary_.WordText(id);
  EXPECT_EQ(Id("cat"), stems_.StemOf(Id("cats")));
  EXPECT_EQ(Id("run"), stems_.StemOf(Id("running")));
  EXPECT_EQ(Id("dog"), stems_.StemOf(Id("dogs")));
  EXPECT_EQ(Id("ran"), stems_.StemOf(Id("ran")));
}

TEST_F(TermListTest, StemFollowsTheLetterCaseOfTheFirstOccurrence) {
  // In capitals no suffix matches: the word is its own stem.
  Tokens("RUNNING");
  const int32_t running = Id("running");
  EXPECT_EQ(running, stems_.StemOf(running));
  Tokens("running Running");
  EXPECT_EQ(running, stems_.StemOf(running));
  EXPECT_EQ(-1, dictionary_.FindWord("run"));
}

TEST_F(TermListTest, MixedCaseFirstOccurrenceIsStemmed) {
  Tokens("Running");
  const int32_t running = Id("running");
  const int32_t run = dictionary_.FindWord("run");
  ASSERT_NE(-1, run);
  EXPECT_EQ(run, stems_.StemOf(running));
  const size_t entries = stems_.size();
  Tokens("running RUNNING");
  EXPECT_EQ(run, stems_.StemOf(running));
  EXPECT_EQ(entries, stems_.size());
}

TEST_F(TermListTest, StemMapIsSharedBetweenLists) {
  TermList other;
  other.SetText("GENERALIZATIONS");
  other.Tokenize(&dictionary_, delimiters_, &stems_);
  const int32_t word = Id("generalizations");
  EXPECT_EQ(word, stems_.StemOf(word));
  Tokens("generalizations");
  EXPECT_EQ(word, stems_.StemOf(word));
}

TEST_F(TermListTest, RemoveStopWordsKeepsOrder) {
  StopWordSet stop_words;
  stop_words.AddStopWord(Id("the"));
  Tokens("the cat the hat");
  list_.RemoveStopWords(stop_words);
  EXPECT_EQ((Words{"cat", "hat"}), WordsOf(list_));

  stop_words.AddStopWord(Id("a"));
  Tokens("A dog, a cat and THE hat, a");
  list_.RemoveStopWords(stop_words);
  EXPECT_EQ((Words{"dog", "cat", "and", "hat"}), WordsOf(list_));

  Tokens("the a the");
  list_.RemoveStopWords(stop_words);
  EXPECT_TRUE(list_.ids().empty());

  Tokens("nothing to drop");
  list_.RemoveStopWords(StopWordSet());
  EXPECT_EQ((Words{"nothing", "to", "drop"}), WordsOf(list_));
}

TEST_F(TermListTest, PrepareTermListTokenizesAndDropsStopWords) {
  StopWordSet stop_words;
  stop_words.AddStopWord(Id("of"));
  stop_words.AddStopWord(Id("the"));
  TermList list;
  PrepareTermList("The Queen of Hearts, the Tarts.", &dictionary_, delimiters_, &stems_, stop_words,
                  &list);
  EXPECT_EQ("The Queen of Hearts, the Tarts.", list.text());
  EXPECT_EQ((Words{"queen", "hearts", "tarts"}), WordsOf(list));
  list.MapToStems(&stems_);
  EXPECT_EQ((Words{"queen", "heart", "tart"}), WordsOf(list));
  // The stop words were stemmed too, before they were dropped.
  EXPECT_TRUE(stems_.Covers(Id("of")));
  EXPECT_TRUE(stems_.Covers(Id("the")));
}

TEST_F(TermListTest, MapToStems) {
  Tokens("ponies caresses cats");
  list_.MapToStems(&stems_);
  EXPECT_EQ((Words{"poni", "caress", "cat"}), WordsOf(list_));

  // An id without entry maps to 0 and gains the entry (id, 0).
  TermList list;
  const int32_t loose = Id("loose");
  ASSERT_FALSE(stems_.Covers(loose));
  list.Append(loose);
  list.MapToStems(&stems_);
  EXPECT_EQ(std::vector<int32_t>{0}, list.ids());
  EXPECT_TRUE(stems_.Covers(loose));
}

TEST_F(TermListTest, ContainsAppendPrepend) {
  TermList list;
  EXPECT_FALSE(list.Contains(0));
  list.Append(5);
  list.Append(7);
  list.Prepend(3);
  list.Append(5);
  list.Prepend(9);
  EXPECT_EQ((std::vector<int32_t>{9, 3, 5, 7, 5}), list.ids());
  EXPECT_TRUE(list.Contains(9));
  EXPECT_TRUE(list.Contains(7));
  EXPECT_FALSE(list.Contains(4));
  EXPECT_FALSE(list.Contains(-1));
}

TEST_F(TermListTest, RebuildText) {
  TermList list;
  list.SetText("stale");
  list.RebuildText(dictionary_);
  EXPECT_EQ("", list.text());

  list.Append(Id("A"));
  list.Append(Id("b"));
  list.RebuildText(dictionary_);
  EXPECT_EQ("a b ", list.text());

  Tokens("Hello, World! hello");
  list_.RebuildText(dictionary_);
  EXPECT_EQ("hello world hello ", list_.text());
}

TEST_F(TermListTest, SameIds) {
  TermList a, b;
  EXPECT_TRUE(a.SameIds(b));
  a.Append(1);
  EXPECT_FALSE(a.SameIds(b));
  EXPECT_FALSE(b.SameIds(a));
  b.Append(1);
  EXPECT_TRUE(a.SameIds(b));
  a.Append(2);
  b.Append(3);
  EXPECT_FALSE(a.SameIds(b));

  TermList c, d;
  c.Append(1);
  c.Append(2);
  d.Append(2);
  d.Append(1);
  EXPECT_FALSE(c.SameIds(d));
  // Text and score play no part.
  d.SetText("other");
  d.set_score(2.0);
  TermList e;
  e.Append(2);
  e.Append(1);
  EXPECT_TRUE(d.SameIds(e));
}

class StemMapTest : public testing::Test {
 protected:
  TermDictionary dictionary_;
  StemMap stems_;
};

TEST_F(StemMapTest, StemOfUnknownIdCreatesZeroEntry) {
  EXPECT_FALSE(stems_.Covers(42));
  EXPECT_EQ(0u, stems_.size());
  EXPECT_EQ(0, stems_.StemOf(42));
  EXPECT_TRUE(stems_.Covers(42));
  EXPECT_EQ(1u, stems_.size());
  EXPECT_EQ(0, stems_.entries().at(42));
  EXPECT_EQ(0, stems_.StemOf(42));
  EXPECT_EQ(1u, stems_.size());
}

TEST_F(StemMapTest, SetStemOverwritesAndClearEmpties) {
  stems_.SetStem(3, 7);
  EXPECT_EQ(7, stems_.StemOf(3));
  stems_.SetStem(3, 8);
  EXPECT_EQ(8, stems_.StemOf(3));
  stems_.SetStem(4, 4);
  EXPECT_EQ(2u, stems_.size());
  stems_.ClearStemMap();
  EXPECT_EQ(0u, stems_.size());
  EXPECT_FALSE(stems_.Covers(3));
  EXPECT_FALSE(stems_.Covers(4));
}

TEST_F(StemMapTest, StemWordKeepsAnExistingEntry) {
  stems_.StemWord(&dictionary_, "connections");
  const int32_t word = dictionary_.FindWord("connections");
  const int32_t stem = dictionary_.FindWord("connect");
  ASSERT_NE(-1, word);
  ASSERT_NE(-1, stem);
  EXPECT_EQ(stem, stems_.StemOf(word));

  stems_.SetStem(word, word);
  stems_.StemWord(&dictionary_, "connections");
  EXPECT_EQ(word, stems_.StemOf(word));
}

TEST_F(StemMapTest, LengthLimit) {
  // "abab...abing": the stemmer removes the ending, so at the limit the stem
  // differs from the word, and one byte beyond it the word is its own stem.
  std::string at_limit;
  while (at_limit.size() < StemMap::kMaxStemmedLength - 3) at_limit += "ab";
  at_limit.resize(StemMap::kMaxStemmedLength - 3);
  at_limit += "ing";
  ASSERT_EQ(StemMap::kMaxStemmedLength, at_limit.size());
  std::string expected = at_limit;
  expected.resize(PorterStem(expected.data(), expected.size()));
  ASSERT_LT(expected.size(), at_limit.size());

  stems_.StemWord(&dictionary_, at_limit);
  EXPECT_EQ(dictionary_.FindWord(expected), stems_.StemOf(dictionary_.FindWord(at_limit)));

  const std::string beyond = "x" + at_limit;
  stems_.StemWord(&dictionary_, beyond);
  const int32_t id = dictionary_.FindWord(beyond);
  EXPECT_EQ(id, stems_.StemOf(id));

  // The same through the tokenizer, for a very long token.
  const std::string huge = std::string(5000, 'w') + "ing";
  TermList list;
  list.SetText("short " + huge);
  list.Tokenize(&dictionary_, DelimiterSet(kWordDelimiters), &stems_);
  ASSERT_EQ(2u, list.ids().size());
  EXPECT_EQ(list.ids()[1], stems_.StemOf(list.ids()[1]));
}

TEST_F(StemMapTest, IdsOfAnyValue) {
  // Negative and far-away ids, as a damaged archive may hold, are entries
  // like any other.
  stems_.SetStem(-5, 3);
  stems_.SetStem(2147483647, 4);
  stems_.SetStem(5000, 7);
  EXPECT_TRUE(stems_.Covers(-5));
  EXPECT_TRUE(stems_.Covers(2147483647));
  EXPECT_TRUE(stems_.Covers(5000));
  EXPECT_FALSE(stems_.Covers(-6));
  EXPECT_FALSE(stems_.Covers(4999));
  EXPECT_EQ(3, stems_.StemOf(-5));
  EXPECT_EQ(4, stems_.StemOf(2147483647));
  EXPECT_EQ(0, stems_.StemOf(-2147483647 - 1));
  EXPECT_TRUE(stems_.Covers(-2147483647 - 1));
  EXPECT_EQ(4u, stems_.size());

  // Filling in the ids below 5000 one by one must not lose or change the
  // entry of 5000, nor those of the ids written before.
  for (int32_t id = 0; id < 6000; ++id) {
    if (id == 5000) continue;
    stems_.SetStem(id, id + 1);
    ASSERT_EQ(7, stems_.StemOf(5000)) << id;
    ASSERT_TRUE(stems_.Covers(5000)) << id;
  }
  stems_.SetStem(5000, 8);
  for (int32_t id = 0; id < 6000; ++id) ASSERT_EQ(id == 5000 ? 8 : id + 1, stems_.StemOf(id));
  EXPECT_EQ(4u + 5999u, stems_.size());
  EXPECT_EQ(8, stems_.entries().at(5000));
  EXPECT_EQ(3, stems_.entries().at(-5));

  stems_.ClearStemMap();
  EXPECT_FALSE(stems_.Covers(5000));
  EXPECT_FALSE(stems_.Covers(-5));
  EXPECT_FALSE(stems_.Covers(2147483647));
  EXPECT_EQ(0, stems_.StemOf(10));
  EXPECT_EQ(1u, stems_.size());
}

TEST_F(StemMapTest, StemOfAfterSkippedIds) {
  // Entries written in descending id order, with gaps.
  for (int32_t id = 3000; id >= 0; id -= 3) stems_.SetStem(id, -id);
  for (int32_t id = 0; id <= 3000; ++id) {
    ASSERT_EQ(id % 3 == 0, stems_.Covers(id)) << id;
    if (id % 3 == 0) {
      ASSERT_EQ(-id, stems_.StemOf(id)) << id;
    }
  }
  EXPECT_EQ(1001u, stems_.size());
  // A covered id keeps its entry even when its stem is the smallest value.
  stems_.SetStem(1, -2147483647 - 1);
  EXPECT_TRUE(stems_.Covers(1));
  EXPECT_EQ(-2147483647 - 1, stems_.StemOf(1));
}

TEST_F(StemMapTest, AgreesWithAPlainMap) {
  // Random operations on ids of every kind: mostly growing dictionary ids,
  // some far ahead, some negative or huge, with an occasional clear.
  std::mt19937 random(7);
  std::map<int32_t, int32_t> expected;
  int32_t next_id = 0;
  for (int step = 0; step < 200000; ++step) {
    const uint32_t kind = random() % 100;
    int32_t id;
    if (kind < 60) {
      id = static_cast<int32_t>(random() % static_cast<uint32_t>(next_id + 1));
      if (id == next_id) ++next_id;
    } else if (kind < 80) {
      id = next_id + static_cast<int32_t>(random() % 5000);
    } else if (kind < 90) {
      id = -static_cast<int32_t>(random() % 1000) - 1;
    } else {
      id = static_cast<int32_t>(random() % 2147483647u);
    }
    const int32_t stem = static_cast<int32_t>(random());
    switch (random() % 4) {
      case 0:
      case 1:
        stems_.SetStem(id, stem);
        expected[id] = stem;
        break;
      case 2: {
        const auto found = expected.find(id);
        const int32_t want = found == expected.end() ? 0 : found->second;
        expected.emplace(id, 0);
        ASSERT_EQ(want, stems_.StemOf(id)) << "step " << step;
        break;
      }
      default:
        ASSERT_EQ(expected.count(id) != 0, stems_.Covers(id)) << "step " << step;
    }
    if (random() % 50000 == 0) {
      stems_.ClearStemMap();
      expected.clear();
      next_id = 0;
    }
    ASSERT_EQ(expected.size(), stems_.size()) << "step " << step;
  }
  const std::map<int32_t, int32_t> actual(stems_.entries().begin(), stems_.entries().end());
  EXPECT_EQ(expected, actual);
  for (const auto& [id, stem] : expected) {
    ASSERT_TRUE(stems_.Covers(id)) << id;
    ASSERT_EQ(stem, stems_.StemOf(id)) << id;
  }
}

TEST(StopWordSetTest, Membership) {
  StopWordSet stop_words;
  EXPECT_FALSE(stop_words.IsStopWord(0));
  EXPECT_FALSE(stop_words.IsStopWord(-1));
  for (int32_t id : {0, 63, 64, 1000, -1, -2147483647 - 1, 2147483647, 1 << 24, (1 << 24) - 1}) {
    stop_words.AddStopWord(id);
    stop_words.AddStopWord(id);
  }
  EXPECT_EQ(9u, stop_words.size());
  for (int32_t id : {0, 63, 64, 1000, -1, -2147483647 - 1, 2147483647, 1 << 24, (1 << 24) - 1}) {
    EXPECT_TRUE(stop_words.IsStopWord(id)) << id;
  }
  for (int32_t id : {1, 62, 65, 999, 1001, -2, 2147483646, (1 << 24) + 1, (1 << 24) - 2}) {
    EXPECT_FALSE(stop_words.IsStopWord(id)) << id;
  }
  stop_words.ClearStopWords();
  EXPECT_EQ(0u, stop_words.size());
  EXPECT_FALSE(stop_words.IsStopWord(0));
  EXPECT_FALSE(stop_words.IsStopWord(-1));
  EXPECT_FALSE(stop_words.IsStopWord(2147483647));
}

}  // namespace
}  // namespace qora
