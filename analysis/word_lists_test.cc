#include "analysis/word_lists.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/delimiter_set.h"
#include "analysis/term_list.h"

namespace qora {
namespace {

std::string Int32Bytes(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<char>((v >> shift) & 0xFF));
  }
  return bytes;
}

std::map<int32_t, int32_t> Entries(const StemMap& stems) {
  return std::map<int32_t, int32_t>(stems.entries().begin(), stems.entries().end());
}

class TempDirTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qora_word_lists_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
  }

  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string WriteFile(const std::string& name, const std::string& contents) {
    const std::string path = dir_ + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out << contents;
    return path;
  }

  std::string dir_;
  TermDictionary dictionary_;
  StopWordSet stop_words_;
};

TEST_F(TempDirTest, ReadsWordsSeparatedByAnyWhiteSpace) {
  const int32_t before = dictionary_.AddWord("existing");
  const std::string path = WriteFile("stop.txt",
                                     "The a  AN\tof\r\nIn\x0bto\x0c"
                                     "By\n\n  And OR");
  ASSERT_TRUE(ReadStopWords(path, &dictionary_, &stop_words_));
  const std::vector<std::string> expected = {"the", "a", "an", "of", "in", "to", "by", "and", "or"};
  EXPECT_EQ(expected.size(), stop_words_.size());
  EXPECT_EQ(static_cast<int32_t>(expected.size()) + 1, dictionary_.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const int32_t id = dictionary_.FindWord(expected[i]);
    EXPECT_EQ(static_cast<int32_t>(i) + 1, id) << expected[i];
    EXPECT_TRUE(stop_words_.IsStopWord(id)) << expected[i];
  }
  EXPECT_FALSE(stop_words_.IsStopWord(before));
}

TEST_F(TempDirTest, RepeatedWordsAndEmptyFile) {
  const std::string path = WriteFile("repeat.txt", "\n  the THE The\n");
  ASSERT_TRUE(ReadStopWords(path, &dictionary_, &stop_words_));
  EXPECT_EQ(1, dictionary_.size());
  EXPECT_EQ(1u, stop_words_.size());
  EXPECT_TRUE(stop_words_.IsStopWord(dictionary_.FindWord("the")));

  ASSERT_TRUE(ReadStopWords(WriteFile("empty.txt", ""), &dictionary_, &stop_words_));
  EXPECT_EQ(1, dictionary_.size());
  EXPECT_EQ(1u, stop_words_.size());
}

TEST_F(TempDirTest, WordsKeepPunctuation) {
  // The file is split at white space only, not at the word delimiters.
  const std::string path = WriteFile("punct.txt", "don't e-mail");
  ASSERT_TRUE(ReadStopWords(path, &dictionary_, &stop_words_));
  EXPECT_TRUE(stop_words_.IsStopWord(dictionary_.FindWord("don't")));
  EXPECT_TRUE(stop_words_.IsStopWord(dictionary_.FindWord("e-mail")));
  EXPECT_EQ(2, dictionary_.size());
}

TEST_F(TempDirTest, MissingFileChangesNothing) {
  dictionary_.AddWord("kept");
  stop_words_.AddStopWord(0);
  EXPECT_FALSE(ReadStopWords(dir_ + "/absent.txt", &dictionary_, &stop_words_));
  EXPECT_EQ(1, dictionary_.size());
  EXPECT_EQ(1u, stop_words_.size());
}

TEST(ArchiveTest, ExactBytesOfASmallArchive) {
  TermDictionary dictionary;
  StemMap stems;
  dictionary.AddWord("ab");
  dictionary.AddWord("c");
  stems.SetStem(0, 1);
  std::ostringstream out;
  ASSERT_TRUE(WriteArchive(out, dictionary, stems));
  const std::string expected = Int32Bytes(2) + Int32Bytes(2) + "ab" + Int32Bytes(1) + "c" +
                               Int32Bytes(1) + Int32Bytes(0) + Int32Bytes(1);
  ASSERT_EQ(27u, expected.size());
  EXPECT_EQ(std::string("\x02\0\0\0\x02\0\0\0ab\x01\0\0\0c\x01\0\0\0\0\0\0\0\x01\0\0\0", 27),
            out.str());
  EXPECT_EQ(expected, out.str());
}

TEST(ArchiveTest, EmptyArchive) {
  TermDictionary dictionary;
  StemMap stems;
  std::ostringstream out;
  ASSERT_TRUE(WriteArchive(out, dictionary, stems));
  EXPECT_EQ(Int32Bytes(0) + Int32Bytes(0), out.str());
  std::istringstream in(out.str());
  EXPECT_TRUE(ReadArchive(in, &dictionary, &stems));
  EXPECT_EQ(0, dictionary.size());
  EXPECT_EQ(0u, stems.size());
}

TEST(ArchiveTest, RoundTripOfAPreparedText) {
  TermDictionary dictionary;
  StemMap stems;
  TermList list;
  list.SetText("Running dogs chased the GENERALIZATIONS, \xD6l and \xF6l; e-mail 3.14 running.");
  list.Tokenize(&dictionary, DelimiterSet(kWordDelimiters), &stems);
  stems.SetStem(dictionary.AddWord("orphan"), 0);
  std::ostringstream out;
  ASSERT_TRUE(WriteArchive(out, dictionary, stems));

  TermDictionary restored;
  StemMap restored_stems;
  std::istringstream in(out.str());
  ASSERT_TRUE(ReadArchive(in, &restored, &restored_stems));
  ASSERT_EQ(dictionary.size(), restored.size());
  for (int32_t id = 0; id < dictionary.size(); ++id) {
    EXPECT_EQ(dictionary.WordText(id), restored.WordText(id));
    EXPECT_EQ(id, restored.FindWord(dictionary.WordText(id)));
  }
  EXPECT_EQ(Entries(stems), Entries(restored_stems));

  // Writing the restored objects gives an archive that reads back the same.
  std::ostringstream again;
  ASSERT_TRUE(WriteArchive(again, restored, restored_stems));
  EXPECT_EQ(out.str().size(), again.str().size());
  TermDictionary third;
  StemMap third_stems;
  std::istringstream in_again(again.str());
  ASSERT_TRUE(ReadArchive(in_again, &third, &third_stems));
  EXPECT_EQ(Entries(stems), Entries(third_stems));
  EXPECT_EQ(dictionary.size(), third.size());
}

TEST_F(TempDirTest, ArchiveRoundTripThroughAFile) {
  const std::string path = dir_ + "/words.bin";
  StemMap stems;
  for (int i = 0; i < 1000; ++i) stems.StemWord(&dictionary_, "Connections" + std::to_string(i));
  {
    std::ofstream out(path, std::ios::binary);
    ASSERT_TRUE(WriteArchive(out, dictionary_, stems));
  }
  TermDictionary restored;
  StemMap restored_stems;
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(ReadArchive(in, &restored, &restored_stems));
  ASSERT_EQ(dictionary_.size(), restored.size());
  for (int32_t id = 0; id < dictionary_.size(); ++id) {
    ASSERT_EQ(dictionary_.WordText(id), restored.WordText(id));
  }
  EXPECT_EQ(Entries(stems), Entries(restored_stems));
}

TEST(ArchiveTest, EmptyDictionaryStillReadsTheStemMap) {
  std::istringstream in(Int32Bytes(0) + Int32Bytes(2) + Int32Bytes(5) + Int32Bytes(6) +
                        Int32Bytes(7) + Int32Bytes(7));
  TermDictionary dictionary;
  StemMap stems;
  ASSERT_TRUE(ReadArchive(in, &dictionary, &stems));
  EXPECT_EQ(0, dictionary.size());
  EXPECT_EQ((std::map<int32_t, int32_t>{{5, 6}, {7, 7}}), Entries(stems));
}

TEST(ArchiveTest, WordIsCutAtAZeroByte) {
  std::istringstream in(Int32Bytes(2) + Int32Bytes(5) + std::string("ab\0cd", 5) + Int32Bytes(2) +
                        "XY" + Int32Bytes(0));
  TermDictionary dictionary;
  StemMap stems;
  ASSERT_TRUE(ReadArchive(in, &dictionary, &stems));
  ASSERT_EQ(2, dictionary.size());
  EXPECT_EQ("ab", dictionary.WordText(0));
  // The bytes after the zero were consumed: the next word is read correctly.
  EXPECT_EQ("xy", dictionary.WordText(1));
}

TEST(ArchiveTest, TruncatedArchiveKeepsWhatWasRead) {
  TermDictionary dictionary;
  StemMap stems;
  dictionary.AddWord("first");
  dictionary.AddWord("second");
  dictionary.AddWord("third");
  stems.SetStem(0, 2);
  stems.SetStem(1, 1);
  std::ostringstream out;
  ASSERT_TRUE(WriteArchive(out, dictionary, stems));
  const std::string full = out.str();

  // Every proper prefix fails. Whatever was complete before the cut stays.
  for (size_t cut = 0; cut < full.size(); ++cut) {
    TermDictionary partial;
    StemMap partial_stems;
    std::istringstream in(full.substr(0, cut));
    EXPECT_FALSE(ReadArchive(in, &partial, &partial_stems)) << "cut at " << cut;
    ASSERT_LE(partial.size(), 3) << "cut at " << cut;
    for (int32_t id = 0; id < partial.size(); ++id) {
      EXPECT_EQ(dictionary.WordText(id), partial.WordText(id));
    }
    if (partial.size() < 3) {
      EXPECT_EQ(0u, partial_stems.size());
    }
    for (const auto& [word, stem] : partial_stems.entries()) {
      EXPECT_EQ(stems.entries().at(word), stem);
    }
  }

  // A cut inside the third word keeps the first two words.
  const size_t inside_third = 4 + (4 + 5) + (4 + 6) + 4 + 2;
  TermDictionary partial;
  StemMap partial_stems;
  std::istringstream in(full.substr(0, inside_third));
  EXPECT_FALSE(ReadArchive(in, &partial, &partial_stems));
  EXPECT_EQ(2, partial.size());
  EXPECT_EQ("second", partial.WordText(1));

  // A cut inside the second stem entry keeps the first entry.
  const size_t inside_second_entry = full.size() - 4;
  TermDictionary partial2;
  StemMap partial_stems2;
  std::istringstream in2(full.substr(0, inside_second_entry));
  EXPECT_FALSE(ReadArchive(in2, &partial2, &partial_stems2));
  EXPECT_EQ(3, partial2.size());
  EXPECT_EQ(1u, partial_stems2.size());
}

TEST(ArchiveTest, ImpossibleLengthsFailWithoutHugeAllocations) {
  for (int32_t length : {-1, -2147483647 - 1, 2147483647, 1 << 30}) {
    TermDictionary dictionary;
    StemMap stems;
    std::istringstream in(Int32Bytes(2) + Int32Bytes(1) + "a" + Int32Bytes(length) + "bcdef");
    EXPECT_FALSE(ReadArchive(in, &dictionary, &stems)) << length;
    EXPECT_EQ(1, dictionary.size()) << length;
    EXPECT_EQ("a", dictionary.WordText(0));
    EXPECT_EQ(0u, stems.size());
  }
}

TEST(ArchiveTest, HugeCountsOnShortStreamsFail) {
  // A count far beyond the data must not make the reader loop or allocate
  // for entries that are not there.
  TermDictionary dictionary;
  StemMap stems;
  std::istringstream words(Int32Bytes(2147483647) + Int32Bytes(1) + "a");
  EXPECT_FALSE(ReadArchive(words, &dictionary, &stems));
  EXPECT_EQ(1, dictionary.size());

  TermDictionary dictionary2;
  StemMap stems2;
  std::istringstream entries(Int32Bytes(0) + Int32Bytes(2147483647) + Int32Bytes(1) +
                             Int32Bytes(2));
  EXPECT_FALSE(ReadArchive(entries, &dictionary2, &stems2));
  EXPECT_EQ(1u, stems2.size());
}

}  // namespace
}  // namespace qora
