#include "store/cache_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace qora {
namespace {

CacheEntry Entry(const std::string& id, const std::string& address, int processed = 0) {
  CacheEntry entry;
  entry.id = id;
  entry.address = address;
  entry.size = "10";
  entry.processed = processed;
  return entry;
}

std::vector<std::string> Ids(const CacheTable& table) {
  std::vector<std::string> ids;
  for (size_t i = 0; i < table.size(); ++i) ids.push_back(table.at(i).id);
  return ids;
}

class CacheTableTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.path() + "cache.chx"; }

  test::TempDir dir_;
};

TEST_F(CacheTableTest, LineFieldsAreRead) {
  test::WriteFile(Path(), "abc|x.htm|120|0|1|\nd2|http://h/p?q=1|7|3|0|\n");
  CacheTable table;
  ASSERT_EQ(table.Load(Path()), 0);
  ASSERT_EQ(table.size(), 2u);
  const CacheEntry& first = table.Find("abc");
  EXPECT_TRUE(first.found());
  EXPECT_EQ(first.id, "abc");
  EXPECT_EQ(first.address, "x.htm");
  EXPECT_EQ(first.size, "120");
  EXPECT_EQ(first.field, 0);
  EXPECT_EQ(first.processed, 1);
  const CacheEntry& second = table.Find("d2");
  EXPECT_EQ(second.address, "http://h/p?q=1");
  EXPECT_EQ(second.size, "7");
  EXPECT_EQ(second.field, 3);
  EXPECT_EQ(second.processed, 0);
  EXPECT_FALSE(table.Find("ab").found());
  EXPECT_FALSE(table.Contains("abcd"));
}

TEST_F(CacheTableTest, FirstEntryOfAnIdWins) {
  CacheTable table;
  table.Add(Entry("a", "first", 1));
  CacheEntry& kept = table.Add(Entry("a", "second", 0));
  EXPECT_EQ(kept.address, "first");
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(table.Find("a").address, "first");
  EXPECT_EQ(table.Find("a").processed, 1);

  // The same holds for duplicate lines of a file, and for lines of a second
  // file whose ids are present.
  test::WriteFile(Path(), "b|one|1|0|0|\nc|two|2|0|0|\nb|three|3|1|1|\na|four|4|0|0|\n");
  ASSERT_EQ(table.Load(Path()), 0);
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(table.Find("b").address, "one");
  EXPECT_EQ(table.Find("b").size, "1");
  EXPECT_EQ(table.Find("b").processed, 0);
  EXPECT_EQ(table.Find("a").address, "first");
}

TEST_F(CacheTableTest, LoadStopsAtShortLine) {
  test::WriteFile(Path(), "a|x|1|0|1|\nb|y|2|0|1|\nc|z|3|0|\nd|w|4|0|1|\n");
  CacheTable table;
  EXPECT_EQ(table.Load(Path()), 0);
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(table.Contains("d"));

  // An empty line ends the table as well; so does a line end alone after the
  // fourth "|", and text after the last "|" of a line of fewer fields.
  test::WriteFile(Path(), "e|x|1|0|1|\n\nf|y|2|0|1|\n");
  CacheTable second;
  EXPECT_EQ(second.Load(Path()), 0);
  EXPECT_EQ(Ids(second), (std::vector<std::string>{"e"}));
  test::WriteFile(Path(), "g|x|1|0|1|\nh|y|2|\r\ni|z|3|0|1|\n");
  CacheTable third;
  EXPECT_EQ(third.Load(Path()), 0);
  EXPECT_EQ(Ids(third), (std::vector<std::string>{"g"}));
  test::WriteFile(Path(), "g|x|1|0|1|\nh|y|2|0\ni|z|3|0|1|\n");
  CacheTable fourth;
  EXPECT_EQ(fourth.Load(Path()), 0);
  EXPECT_EQ(Ids(fourth), (std::vector<std::string>{"g"}));
}

TEST_F(CacheTableTest, LastFieldMayLackItsBar) {
  test::WriteFile(Path(), "a|x|1|0|1|\nb|y|2|3|1\nc|z|3|0|1\r\nd|w|4|0|1|\r\ne|v|5|0|0\nf|u|6|0|1");
  CacheTable table;
  ASSERT_EQ(table.Load(Path()), 0);
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));
  for (const char* id : {"b", "c", "d", "f"}) EXPECT_EQ(table.Find(id).processed, 1) << id;
  EXPECT_EQ(table.Find("e").processed, 0);
  EXPECT_EQ(table.Find("b").field, 3);
  EXPECT_EQ(table.Find("c").size, "3");
  // Written back, every line has its closing "|".
  ASSERT_EQ(table.Rewrite(Path()), 0);
  EXPECT_EQ(test::ReadFile(Path()),
            "a|x|1|0|1|\nb|y|2|3|1|\nc|z|3|0|1|\nd|w|4|0|1|\ne|v|5|0|0|\nf|u|6|0|1|\n");
}

TEST_F(CacheTableTest, MissingFileChangesNothing) {
  CacheTable table;
  table.Add(Entry("a", "x"));
  EXPECT_EQ(table.Load(dir_.path() + "absent.chx"), -1);
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"a"}));
  EXPECT_EQ(table.Find("a").address, "x");
}

TEST_F(CacheTableTest, RewriteThenLoadRoundTrips) {
  CacheTable table;
  CacheEntry entry = Entry("k1", "http://a/b c.htm", 1);
  entry.size = "65536";
  entry.field = 4;
  entry.depth = 3;  // kept in memory only
  table.Add(entry);
  table.Add(Entry("k2", "/home/u/file.txt", 0));
  table.Add(Entry("k3", "", 1));
  ASSERT_EQ(table.Rewrite(Path()), 0);
  EXPECT_EQ(test::ReadFile(Path()),
            "k1|http://a/b c.htm|65536|4|1|\nk2|/home/u/file.txt|10|0|0|\nk3||10|0|1|\n");

  CacheTable read;
  ASSERT_EQ(read.Load(Path()), 0);
  ASSERT_EQ(Ids(read), Ids(table));
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(read.at(i).address, table.at(i).address);
    EXPECT_EQ(read.at(i).size, table.at(i).size);
    EXPECT_EQ(read.at(i).field, table.at(i).field);
    EXPECT_EQ(read.at(i).processed, table.at(i).processed);
    EXPECT_EQ(read.at(i).depth, 0);
  }

  // Rewrite replaces the file rather than adding to it.
  CacheTable smaller;
  smaller.Add(Entry("only", "o"));
  ASSERT_EQ(smaller.Rewrite(Path()), 0);
  EXPECT_EQ(test::ReadFile(Path()), "only|o|10|0|0|\n");
  // An empty table makes an empty file.
  ASSERT_EQ(CacheTable().Rewrite(Path()), 0);
  EXPECT_EQ(test::ReadFile(Path()), "");
  EXPECT_EQ(CacheTable().Rewrite(dir_.path() + "no/such/folder/cache.chx"), -1);
}

TEST_F(CacheTableTest, AppendFilteredSkipsExcludedIds) {
  test::WriteFile(Path(), "old|o|1|0|1|\n");
  CacheTable table;
  table.Add(Entry("a", "x"));
  table.Add(Entry("b", "y"));
  table.Add(Entry("c", "z"));
  CacheTable exclude;
  exclude.Add(Entry("b", "anything"));
  exclude.Add(Entry("zz", "not in table"));
  ASSERT_EQ(table.AppendFiltered(Path(), exclude), 0);
  EXPECT_EQ(test::ReadFile(Path()), "old|o|1|0|1|\na|x|10|0|0|\nc|z|10|0|0|\n");
  EXPECT_EQ(table.AppendFiltered(dir_.path() + "no/such/cache.chx", exclude), -1);

  // A line cut short by a program that ended while appending it is ended
  // before the next append, which therefore stays a line of its own.
  test::WriteFile(Path(), "old|o|1|0|1|\ncut|addr|1");
  CacheTable one;
  one.Add(Entry("d", "w"));
  ASSERT_EQ(one.AppendFiltered(Path(), CacheTable()), 0);
  EXPECT_EQ(test::ReadFile(Path()), "old|o|1|0|1|\ncut|addr|1\nd|w|10|0|0|\n");
}

TEST_F(CacheTableTest, RemoveKeepsOrderAndIndex) {
  CacheTable table;
  for (const char* id : {"a", "b", "c", "d", "e"}) table.Add(Entry(id, std::string("addr-") + id));
  EXPECT_TRUE(table.Remove("c"));
  EXPECT_FALSE(table.Remove("c"));
  EXPECT_FALSE(table.Remove("x"));
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"a", "b", "d", "e"}));
  for (const char* id : {"a", "b", "d", "e"}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(table.Find(id).id, id);
    EXPECT_EQ(table.Find(id).address, std::string("addr-") + id);
  }
  EXPECT_FALSE(table.Find("c").found());

  // Removing at either end, then adding, keeps the index in step.
  EXPECT_TRUE(table.Remove("a"));
  EXPECT_TRUE(table.Remove("e"));
  table.Add(Entry("c", "again"));
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"b", "d", "c"}));
  EXPECT_EQ(table.Find("b").address, "addr-b");
  EXPECT_EQ(table.Find("d").address, "addr-d");
  EXPECT_EQ(table.Find("c").address, "again");
  CacheEntry* found = table.FindMutable("d");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found, &table.at(1));
  EXPECT_EQ(table.FindMutable("a"), nullptr);
}

TEST_F(CacheTableTest, ManyEntriesStayFindable) {
  // Long ids live outside the string object; the index must follow them
  // through growth and removals.
  CacheTable table;
  for (int i = 0; i < 300; ++i) {
    table.Add(Entry("document-identifier-" + std::to_string(i), "addr" + std::to_string(i)));
  }
  for (int i = 0; i < 300; i += 3) table.Remove("document-identifier-" + std::to_string(i));
  EXPECT_EQ(table.size(), 200u);
  for (int i = 0; i < 300; ++i) {
    const std::string id = "document-identifier-" + std::to_string(i);
    if (i % 3 == 0) {
      EXPECT_FALSE(table.Contains(id)) << id;
    } else {
      EXPECT_EQ(table.Find(id).address, "addr" + std::to_string(i)) << id;
    }
  }
}

TEST_F(CacheTableTest, LongLinesReadInPieces) {
  // Lines are read 4095 bytes at a time and every piece is taken as a line
  // of its own. A line whose first 4095 bytes hold five fields yields an
  // entry from them, and the rest of the line is read as the next line.
  const std::string head = "p1|";
  const std::string tail = "|1|0|1|";
  const std::string address(4095 - head.size() - tail.size(), 'a');
  test::WriteFile(
      Path(), "before|b|1|0|0|\n" + head + address + tail + "q|rest|2|0|0|\n" + "after|c|3|0|0|\n");
  CacheTable table;
  ASSERT_EQ(table.Load(Path()), 0);
  EXPECT_EQ(Ids(table), (std::vector<std::string>{"before", "p1", "q", "after"}));
  EXPECT_EQ(table.Find("p1").address, address);
  EXPECT_EQ(table.Find("q").address, "rest");

  // A long address cut before its line's fields are complete ends the table.
  test::WriteFile(Path(),
                  "before|b|1|0|0|\nlong|" + std::string(5000, 'x') + "|1|0|0|\nafter|c|3|0|0|\n");
  CacheTable cut;
  ASSERT_EQ(cut.Load(Path()), 0);
  EXPECT_EQ(Ids(cut), (std::vector<std::string>{"before"}));
}

TEST_F(CacheTableTest, ClearEmptiesTableAndIndex) {
  CacheTable table;
  table.Add(Entry("a", "x"));
  table.Clear();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_FALSE(table.Contains("a"));
  table.Add(Entry("a", "y"));
  EXPECT_EQ(table.Find("a").address, "y");
}

}  // namespace
}  // namespace qora
