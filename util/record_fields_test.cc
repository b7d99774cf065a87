#include "util/record_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace qora {
namespace {

TEST(TermListStateTest, KeywordsBeforeKeyphrasesBeforeKeypassages) {
  DocumentRecord record;
  TermListState lists;
  EXPECT_EQ(lists.Target(&record), nullptr);
  EXPECT_TRUE(lists.Open("keypassages"));
  EXPECT_EQ(lists.Target(&record), &record.keypassages);
  EXPECT_TRUE(lists.Open("keyphrases"));
  EXPECT_EQ(lists.Target(&record), &record.keyphrases);
  EXPECT_TRUE(lists.Open("keywords"));
  EXPECT_EQ(lists.Target(&record), &record.keywords);
  EXPECT_TRUE(lists.Close("keywords"));
  EXPECT_EQ(lists.Target(&record), &record.keyphrases);
  EXPECT_FALSE(lists.Open("stat"));
  EXPECT_FALSE(lists.Close("keyword"));
}

TEST(FieldNameTest, EveryTextFieldHasItsElement) {
  DocumentRecord record;
  EXPECT_EQ(FindTextField(&record, "docid"), &record.docid);
  EXPECT_EQ(FindTextField(&record, "char_enc"), &record.char_enc);
  EXPECT_EQ(FindTextField(&record, "source"), &record.source);
  EXPECT_EQ(FindTextField(&record, "uri"), nullptr);
  EXPECT_EQ(FindTextField(&record, "rank"), nullptr);
  EXPECT_EQ(FindTextField(&record, "Docid"), nullptr);
  EXPECT_EQ(FindLinkField(&record, "bcuri"), &record.bcuri);
  EXPECT_EQ(FindLinkField(&record, "curi"), nullptr);
  int found = 0;
  for (const char* name : {"docid", "parid",    "group",   "curi",     "dmluri",  "size",   "type",
                           "lang",  "char_enc", "date_cr", "date_ret", "name",    "header", "sdesc",
                           "ldesc", "note",     "owner",   "status",   "fetcher", "source"}) {
    std::string* field = FindTextField(&record, name);
    ASSERT_NE(field, nullptr) << name;
    *field = name;
    ++found;
  }
  EXPECT_EQ(found, 20);
  EXPECT_EQ(record.curi, "curi");
  EXPECT_EQ(record.date_ret, "date_ret");
  EXPECT_EQ(record.header, "header");
  EXPECT_EQ(record.uri, "");
}

TEST(ParseFloatTest, SinglePrecisionWidened) {
  EXPECT_EQ(ParseFloat(" 0.5 "), 0.5);
  EXPECT_EQ(ParseFloat("\n0.1\n"), static_cast<double>(0.1f));
  EXPECT_NE(ParseFloat("0.1"), 0.1);
  EXPECT_EQ(ParseFloat("abc"), 0);
  EXPECT_EQ(ParseFloat(""), 0);
  EXPECT_EQ(ParseFloat("-2.5e1x"), -25);
}

}  // namespace
}  // namespace qora
