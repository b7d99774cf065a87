#include "analysis/term_dictionary.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace qora {
namespace {

TEST(TermDictionaryTest, IdsAreDenseFromZeroInOrderOfFirstRegistration) {
  TermDictionary dictionary;
  EXPECT_EQ(0, dictionary.size());
  EXPECT_EQ(0, dictionary.AddWord("alpha"));
  EXPECT_EQ(1, dictionary.AddWord("beta"));
  EXPECT_EQ(0, dictionary.AddWord("alpha"));
  EXPECT_EQ(2, dictionary.AddWord("gamma"));
  EXPECT_EQ(1, dictionary.AddWord("beta"));
  EXPECT_EQ(3, dictionary.size());
  EXPECT_EQ("alpha", dictionary.WordText(0));
  EXPECT_EQ("beta", dictionary.WordText(1));
  EXPECT_EQ("gamma", dictionary.WordText(2));
}

TEST(TermDictionaryTest, LowercasesAsciiCapitalsOnly) {
  TermDictionary dictionary;
  const int32_t hello = dictionary.AddWord("Hello");
  EXPECT_EQ(hello, dictionary.AddWord("HELLO"));
  EXPECT_EQ(hello, dictionary.AddWord("hello"));
  EXPECT_EQ(hello, dictionary.AddWord("hElLo"));
  EXPECT_EQ("hello", dictionary.WordText(hello));

  // Every byte that is not 'A'..'Z' is kept as it is.
  const int32_t mixed = dictionary.AddWord("@AZ[`az{09-_");
  EXPECT_EQ("@az[`az{09-_", dictionary.WordText(mixed));

  // Capital and small O with diaeresis (Windows-1252) stay distinct words.
  const int32_t capital = dictionary.AddWord("\xD6");
  const int32_t small = dictionary.AddWord("\xF6");
  EXPECT_NE(capital, small);
  EXPECT_EQ("\xD6", dictionary.WordText(capital));
  EXPECT_EQ("\xF6", dictionary.WordText(small));
  EXPECT_EQ(capital, dictionary.FindWord("\xD6"));
  EXPECT_EQ(small, dictionary.FindWord("\xF6"));

  // The same for capital and small E acute, inside a longer word.
  EXPECT_NE(dictionary.AddWord("\xC9t\xC9"), dictionary.AddWord("\xE9t\xE9"));
}

TEST(TermDictionaryTest, FindWord) {
  TermDictionary dictionary;
  EXPECT_EQ(-1, dictionary.FindWord("absent"));
  EXPECT_EQ(-1, dictionary.FindWord(""));
  dictionary.AddWord("first");
  const int32_t second = dictionary.AddWord("Second");
  EXPECT_EQ(second, dictionary.FindWord("second"));
  EXPECT_EQ(second, dictionary.FindWord("SECOND"));
  EXPECT_EQ(-1, dictionary.FindWord("secon"));
  EXPECT_EQ(-1, dictionary.FindWord("seconds"));
  EXPECT_EQ(-1, dictionary.FindWord("absent"));
  // FindWord does not register anything.
  EXPECT_EQ(2, dictionary.size());
}

TEST(TermDictionaryTest, WordsWithZeroBytesAndTheEmptyWord) {
  TermDictionary dictionary;
  const std::string with_zero("a\0b", 3);
  const int32_t id = dictionary.AddWord(with_zero);
  EXPECT_EQ(-1, dictionary.FindWord("a"));
  EXPECT_EQ(id, dictionary.FindWord(std::string("A\0B", 3)));
  EXPECT_EQ(with_zero, dictionary.WordText(id));
  const int32_t empty = dictionary.AddWord("");
  EXPECT_NE(id, empty);
  EXPECT_EQ(empty, dictionary.FindWord(""));
}

TEST(TermDictionaryTest, WordsThatShareALongPrefixOrDifferInLength) {
  // Words that agree on their first bytes, or differ only by trailing zero
  // bytes or in length, around the 8-byte and 255-byte boundaries.
  std::vector<std::string> words = {"a",
                                    std::string("a\0", 2),
                                    std::string("a\0\0", 3),
                                    std::string(8, '\0'),
                                    std::string(9, '\0'),
                                    "abcdefg",
                                    "abcdefgh",
                                    "abcdefghi",
                                    "abcdefghj",
                                    "abcdefghij",
                                    "abcdefgh\xE9",
                                    "abcdefgh\xC9"};
  for (size_t length : {254, 255, 256, 300}) {
    words.push_back(std::string(length, 'k'));
    words.push_back(std::string(length - 1, 'k') + "l");
  }
  words.push_back(std::string(1000, 'k') + "l");
  words.push_back(std::string(1000, 'k') + "m");
  TermDictionary dictionary;
  for (size_t i = 0; i < words.size(); ++i) {
    ASSERT_EQ(static_cast<int32_t>(i), dictionary.AddWord(words[i])) << i;
  }
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(static_cast<int32_t>(i), dictionary.FindWord(words[i])) << i;
    EXPECT_EQ(words[i], dictionary.WordText(static_cast<int32_t>(i))) << i;
  }
  EXPECT_EQ(-1, dictionary.FindWord("abcdefghk"));
  EXPECT_EQ(-1, dictionary.FindWord(std::string(257, 'k')));
  EXPECT_EQ(-1, dictionary.FindWord(std::string(10, '\0')));
  EXPECT_EQ(static_cast<int32_t>(words.size()), dictionary.size());
}

TEST(TermDictionaryTest, ClearStartsIdsAtZeroAgain) {
  TermDictionary dictionary;
  dictionary.AddWord("one");
  dictionary.AddWord("two");
  dictionary.AddWord("three");
  dictionary.ClearDictionary();
  EXPECT_EQ(0, dictionary.size());
  EXPECT_EQ(-1, dictionary.FindWord("one"));
  EXPECT_EQ(-1, dictionary.FindWord("three"));
  EXPECT_EQ(0, dictionary.AddWord("three"));
  EXPECT_EQ("three", dictionary.WordText(0));
  EXPECT_EQ(1, dictionary.AddWord("one"));
  EXPECT_EQ(0, dictionary.FindWord("Three"));
}

TEST(TermDictionaryTest, ManyWordsKeepTheirIdsAndTexts) {
  // Enough words to make the storage grow many times over: every earlier
  // word must still be found with its own id and text.
  TermDictionary dictionary;
  constexpr int kWords = 50000;
  for (int i = 0; i < kWords; ++i) {
    ASSERT_EQ(i, dictionary.AddWord("Word" + std::to_string(i)));
  }
  EXPECT_EQ(kWords, dictionary.size());
  for (int i = 0; i < kWords; ++i) {
    const std::string word = "word" + std::to_string(i);
    ASSERT_EQ(i, dictionary.FindWord(word)) << word;
    ASSERT_EQ(word, dictionary.WordText(i));
    ASSERT_EQ(i, dictionary.AddWord("WORD" + std::to_string(i)));
  }
  EXPECT_EQ(kWords, dictionary.size());
}

TEST(TermDictionaryTest, AgreesWithAPlainMap) {
  // Random words over a small alphabet, in random letter case and of random
  // length, so that many share prefixes, lengths and letters.
  std::mt19937 random(11);
  std::map<std::string, int32_t> expected;
  TermDictionary dictionary;
  const std::string alphabet = std::string("abAB\0\xC4\xE4-", 8);
  for (int step = 0; step < 100000; ++step) {
    std::string word;
    const size_t length = random() % 13;
    for (size_t i = 0; i < length; ++i) word.push_back(alphabet[random() % alphabet.size()]);
    std::string lower = word;
    for (char& c : lower) {
      if (c == 'A' || c == 'B') c = static_cast<char>(c + 32);
    }
    if (random() % 3 == 0) {
      const auto found = expected.find(lower);
      ASSERT_EQ(found == expected.end() ? -1 : found->second, dictionary.FindWord(word));
    } else {
      const int32_t id =
          expected.emplace(lower, static_cast<int32_t>(expected.size())).first->second;
      ASSERT_EQ(id, dictionary.AddWord(word)) << step;
    }
  }
  ASSERT_EQ(static_cast<int32_t>(expected.size()), dictionary.size());
  for (const auto& [word, id] : expected) EXPECT_EQ(word, dictionary.WordText(id));
}

TEST(TermDictionaryTest, LongWords) {
  TermDictionary dictionary;
  const std::string long_word(100000, 'Q');
  const int32_t id = dictionary.AddWord(long_word);
  EXPECT_EQ(std::string(100000, 'q'), dictionary.WordText(id));
  EXPECT_EQ(id, dictionary.FindWord(std::string(100000, 'q')));
  EXPECT_EQ(-1, dictionary.FindWord(std::string(99999, 'q')));
}

}  // namespace
}  // namespace qora
