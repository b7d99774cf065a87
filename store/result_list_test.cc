// Tests of result lists, their text forms, and the reader of the result
// text the shell uses (util/result_text_reader).
#include "store/result_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "store/dml_writer.h"
#include "tests/filled_record.h"
#include "util/result_text_reader.h"

namespace qora {
namespace {

DocumentRecord Record(const std::string& docid, double rank) {
  DocumentRecord record;
  record.docid = docid;
  record.rank = rank;
  return record;
}

using test::FilledRecord;

std::vector<DocumentRecord> ReadBack(const std::string& text) {
  std::vector<DocumentRecord> records;
  ReadResultText(text, &records);
  return records;
}

void ExpectSameTerms(const std::vector<WeightedTerm>& a, const std::vector<WeightedTerm>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].text, b[i].text);
    EXPECT_EQ(a[i].weight, b[i].weight);
    EXPECT_EQ(a[i].count, b[i].count);
  }
}

TEST(ResultListTest, OrderedRecordsByValue) {
  ResultList list;
  EXPECT_EQ(list.count(), 0u);
  DocumentRecord first = Record("a", 1);
  list.Append(first);
  first.docid = "changed";
  list.Append(Record("b", 2));
  ASSERT_EQ(list.count(), 2u);
  EXPECT_EQ(list.item(0).docid, "a");
  EXPECT_EQ(list.item(1).docid, "b");
  list.mutable_item(1)->note = "x";
  EXPECT_EQ(list.item(1).note, "x");

  ResultList other;
  other.Append(Record("c", 3));
  list.ReplaceWith(other);
  ASSERT_EQ(list.count(), 1u);
  EXPECT_EQ(list.item(0).docid, "c");
  EXPECT_EQ(other.count(), 1u);
  list.ReplaceWith(list);
  EXPECT_EQ(list.count(), 1u);
  list.Clear();
  EXPECT_EQ(list.count(), 0u);
}

TEST(ResultTextTest, EmptyList) {
  ResultList list;
  EXPECT_EQ(WriteResultText(list), "<result>\n</result>\n");
  EXPECT_EQ(WriteStatText(list), "");
  EXPECT_TRUE(ReadBack(WriteResultText(list)).empty());
}

TEST(ResultTextTest, ItemsAndStatsWrapRecordBodies) {
  ResultList list;
  list.Append(FilledRecord());
  list.Append(Record("b", 0.5));
  const std::string body0 = WriteRecordBody(list.item(0));
  const std::string body1 = WriteRecordBody(list.item(1));
  EXPECT_EQ(WriteResultText(list),
            "<result>\n<item>\n" + body0 + "</item>\n<item>\n" + body1 + "</item>\n</result>\n");
  EXPECT_EQ(WriteStatText(list), "<stat>\n" + body0 + "</stat>\n<stat>\n" + body1 + "</stat>\n");
}

TEST(ResultTextTest, FilledRecordRoundTrip) {
  ResultList list;
  list.Append(FilledRecord());
  std::vector<DocumentRecord> read = ReadBack(WriteResultText(list));
  ASSERT_EQ(read.size(), 1u);
  const DocumentRecord& r = read[0];
  const DocumentRecord w = FilledRecord();
  EXPECT_EQ(r.rank, 0.75);
  EXPECT_EQ(r.ord, 2);
  EXPECT_EQ(r.obj_handle, 0);
  EXPECT_EQ(r.parent_handle, -3);
  EXPECT_EQ(r.docid, w.docid);
  EXPECT_EQ(r.parid, w.parid);
  EXPECT_EQ(r.group, w.group);
  EXPECT_EQ(r.buri, w.buri);
  EXPECT_EQ(r.uri, w.uri);
  EXPECT_EQ(r.bcuri, w.bcuri);
  EXPECT_EQ(r.curi, w.curi);
  EXPECT_EQ(r.dmluri, w.dmluri);
  EXPECT_EQ(r.size, w.size);
  EXPECT_EQ(r.type, w.type);
  EXPECT_EQ(r.lang, w.lang);
  EXPECT_EQ(r.char_enc, w.char_enc);
  EXPECT_EQ(r.date_cr, w.date_cr);
  EXPECT_EQ(r.date_ret, w.date_ret);
  EXPECT_EQ(r.name, w.name);
  EXPECT_EQ(r.header, w.header);
  ExpectSameTerms(r.keywords, w.keywords);
  ExpectSameTerms(r.keyphrases, w.keyphrases);
  ExpectSameTerms(r.keypassages, w.keypassages);
  EXPECT_EQ(r.sdesc, w.sdesc);
  EXPECT_EQ(r.ldesc, w.ldesc);
  EXPECT_EQ(r.note, w.note);
  EXPECT_EQ(r.owner, w.owner);
  EXPECT_EQ(r.status, w.status);
  EXPECT_EQ(r.fetcher, w.fetcher);
  EXPECT_EQ(r.source, w.source);
}

TEST(ResultTextTest, SameDocidTwiceGivesTwoRecordsInOrder) {
  ResultList list;
  list.Append(Record("same", 2));
  list.Append(Record("same", 1));
  std::vector<DocumentRecord> read = ReadBack(WriteResultText(list));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].docid, "same");
  EXPECT_EQ(read[0].rank, 2);
  EXPECT_EQ(read[1].docid, "same");
  EXPECT_EQ(read[1].rank, 1);
}

TEST(ResultTextTest, RankWrittenWithSixDigitsReadAsFloat) {
  ResultList list;
  list.Append(Record("r", 0.123456789));
  const std::string text = WriteResultText(list);
  EXPECT_NE(text.find("<rank>\n0.123457\n</rank>\n"), std::string::npos);
  std::vector<DocumentRecord> read = ReadBack(text);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].rank, static_cast<double>(0.123457f));
}

TEST(ResultTextTest, FreshRecordPerItem) {
  std::vector<DocumentRecord> read = ReadBack(
      "<result><item><docid>a</docid><rank>0.5</rank><ord>4</ord>"
      "<keywords><i w=\"1\" c=\"1\">k</i></keywords></item>"
      "<item><docid>b</docid><note>n</note></item></result>");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].rank, 0.5);
  EXPECT_EQ(read[0].ord, 4);
  EXPECT_EQ(read[0].keywords.size(), 1u);
  EXPECT_EQ(read[1].docid, "b");
  EXPECT_EQ(read[1].rank, 0);
  EXPECT_EQ(read[1].ord, 0);
  EXPECT_TRUE(read[1].keywords.empty());
}

TEST(ResultTextTest, StatBlocksAreIgnored) {
  ResultList stats;
  stats.Append(Record("stat-only", 1));
  EXPECT_TRUE(ReadBack(WriteStatText(stats)).empty());

  ResultList items;
  items.Append(Record("item", 2));
  std::vector<DocumentRecord> read = ReadBack(WriteStatText(stats) + WriteResultText(items));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].docid, "item");
}

TEST(ResultTextTest, ValuesAreTrimmed) {
  std::vector<DocumentRecord> read = ReadBack(
      "<?xml version=\"1.0\" ?>\r\n<result>\r\n<item>\r\n"
      "<docid> \t a b \r\n</docid>"
      "<rank>\r\n 0.25 \r\n</rank><ord> 7\t</ord><parent_handle>\n-2\n</parent_handle>"
      "<uri href=\"  http://x  \"></uri>"
      "<buri href=\"b\"></buri><buri></buri>"
      "<bcuri \r\nhref=\"\r\nhttp://c\r\n\"\r\n>\r\nignored\r\n</bcuri>"
      "<keyphrases><i w=\" 2 \" c=\" 3 \">\r\n two words \r\n</i></keyphrases>"
      "<obj_handle>5</obj_handle>"
      "</item>\r\n</result>\r\n");
  ASSERT_EQ(read.size(), 1u);
  const DocumentRecord& r = read[0];
  EXPECT_EQ(r.docid, "a b");
  EXPECT_EQ(r.rank, 0.25);
  EXPECT_EQ(r.ord, 7);
  EXPECT_EQ(r.parent_handle, -2);
  EXPECT_EQ(r.obj_handle, 0);
  EXPECT_EQ(r.uri, "http://x");
  EXPECT_EQ(r.buri, "b");
  EXPECT_EQ(r.bcuri, "http://c");
  ASSERT_EQ(r.keyphrases.size(), 1u);
  EXPECT_EQ(r.keyphrases[0].text, "two words");
  EXPECT_EQ(r.keyphrases[0].weight, 2);
  EXPECT_EQ(r.keyphrases[0].count, 3);
}

TEST(ResultTextTest, EntriesOutsideListsAndElementsOutsideItemsDropped) {
  std::vector<DocumentRecord> read = ReadBack(
      "<docid>outside</docid><result><item><i w=\"1\" c=\"1\">loose</i>"
      "<keywords><i w=\"1\" c=\"1\">k</i></keywords>"
      "<keypassages><i w=\"2\" c=\"2\">p</i></keypassages></item></result>");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].docid, "");
  ASSERT_EQ(read[0].keywords.size(), 1u);
  EXPECT_EQ(read[0].keywords[0].text, "k");
  EXPECT_TRUE(read[0].keyphrases.empty());
  ASSERT_EQ(read[0].keypassages.size(), 1u);
  EXPECT_EQ(read[0].keypassages[0].text, "p");
}

TEST(ResultTextTest, ReadingAppendsToTheList) {
  std::vector<DocumentRecord> records(1);
  records[0].docid = "existing";
  ResultList list;
  list.Append(Record("new", 1));
  ReadResultText(WriteResultText(list), &records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].docid, "existing");
  EXPECT_EQ(records[1].docid, "new");
}

TEST(ResultTextTest, MalformedTextDoesNotCrash) {
  for (const char* text : {"", "<", "<result>", "<result><item>", "<item><docid>x</docid>",
                           "</item><item><docid>x</docid></item", "<<item>>", "<item/>"}) {
    EXPECT_TRUE(ReadBack(text).empty()) << text;
  }
  EXPECT_EQ(ReadBack("<item><docid>x</docid><bad></item>").size(), 1u);
}

TEST(TrimWhiteSpaceTest, BothEnds) {
  EXPECT_EQ(TrimWhiteSpace(" \t\r\n a b \r\n\t "), "a b");
  EXPECT_EQ(TrimWhiteSpace(" \n "), "");
  EXPECT_EQ(TrimWhiteSpace(""), "");
  EXPECT_EQ(TrimWhiteSpace("x"), "x");
}

}  // namespace
}  // namespace qora
