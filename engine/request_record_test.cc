#include "engine/request_record.h"

#include <gtest/gtest.h>

#include <climits>

namespace qora {
namespace {

TEST(RequestRecordTest, StartsWithTheInitialValues) {
  const RequestRecord record;
  EXPECT_EQ(record.workspace_handle, -1);
  EXPECT_EQ(record.query_handle, -1);
  EXPECT_EQ(record.number1, -1);
  EXPECT_EQ(record.byte_limit, -1);
  EXPECT_FALSE(record.flag);
  EXPECT_EQ(record.passage, "");
}

TEST(RequestRecordTest, ParsesTheConceptMapRequestOfTheShell) {
  RequestRecord record;
  ParseRequestParameters("&wkspc_h=3&qry_h=17&number1=8&number2=4", &record);
  EXPECT_EQ(record.workspace_handle, 3);
  EXPECT_EQ(record.query_handle, 17);
  EXPECT_EQ(record.number1, 8);
  EXPECT_EQ(record.number2, 4);
}

TEST(RequestRecordTest, SplitsPairsAtAmpersands) {
  RequestRecord record;
  // The last pair needs no trailing "&"; a key given twice keeps its second
  // value; a value keeps every "=" after the first.
  ParseRequestParameters("qry_h=1&name=a=b=c&qry_h=2&number2=9", &record);
  EXPECT_EQ(record.query_handle, 2);
  EXPECT_EQ(record.name, "a=b=c");
  EXPECT_EQ(record.number2, 9);

  // A segment without "=" is skipped and the pair after it still counts.
  ParseRequestParameters("junk&number1=5&&dpth=2&", &record);
  EXPECT_EQ(record.number1, 5);
  EXPECT_EQ(record.depth, 2);

  // A text with no "=" at all sets nothing.
  ParseRequestParameters("number1", &record);
  EXPECT_EQ(record.number1, 5);
}

TEST(RequestRecordTest, KeepsValuesOfEarlierRequests) {
  RequestRecord record;
  ParseRequestParameters("qry_h=7&keywords=solar power", &record);
  ParseRequestParameters("wkspc_h=2", &record);
  EXPECT_EQ(record.query_handle, 7);
  EXPECT_EQ(record.keywords, "solar power");
  EXPECT_EQ(record.workspace_handle, 2);
}

TEST(RequestRecordTest, ConvertsIntegersLikeTheStandardConversion) {
  RequestRecord record;
  ParseRequestParameters("qry_h=abc&wkspc_h=&number1=  -12xyz&number2=+8&bias=99999999999",
                         &record);
  EXPECT_EQ(record.query_handle, 0);
  EXPECT_EQ(record.workspace_handle, 0);
  EXPECT_EQ(record.number1, -12);
  EXPECT_EQ(record.number2, 8);
  EXPECT_EQ(record.bias, INT_MAX);
  ParseRequestParameters("bias=-99999999999", &record);
  EXPECT_EQ(record.bias, INT_MIN);
}

TEST(RequestRecordTest, MatchesKeysExactlyAndUnescapesNothing) {
  RequestRecord record;
  ParseRequestParameters("QRY_H=4&qry_h =5& qry_h=6&passage=a%20b+c&bool1=2", &record);
  EXPECT_EQ(record.query_handle, -1);
  EXPECT_EQ(record.passage, "a%20b+c");
  EXPECT_TRUE(record.flag);
  ParseRequestParameters("bool1=0", &record);
  EXPECT_FALSE(record.flag);
}

TEST(RequestRecordTest, SetsEveryField) {
  RequestRecord record;
  ParseRequestParameters(
      "wkspc_h=1&stgsfile=s.ini&docset_h=2&docstr_rcpt_h=3&docstr_src_h=4&docstr_h=5"
      "&docstore_id=id&name=n&docid_list=l&doc_id=d&tempdoc_url=t&folder_url=f&qry_h=6"
      "&qry_src_h=7&qry_rcpt_h=8&bias=9&number1=10&number2=11&start_pos=12&passage=p"
      "&keywords=k&model_list=m&bool1=1&hex_url_list=h&file_list=fl&dpth=13&maxbytes=14",
      &record);
  EXPECT_EQ(record.workspace_handle, 1);
  EXPECT_EQ(record.settings_file, "s.ini");
  EXPECT_EQ(record.document_set_handle, 2);
  EXPECT_EQ(record.receiving_store_handle, 3);
  EXPECT_EQ(record.source_store_handle, 4);
  EXPECT_EQ(record.store_handle, 5);
  EXPECT_EQ(record.store_id, "id");
  EXPECT_EQ(record.name, "n");
  EXPECT_EQ(record.document_id_list, "l");
  EXPECT_EQ(record.document_id, "d");
  EXPECT_EQ(record.temp_document_url, "t");
  EXPECT_EQ(record.folder_url, "f");
  EXPECT_EQ(record.query_handle, 6);
  EXPECT_EQ(record.source_query_handle, 7);
  EXPECT_EQ(record.receiving_query_handle, 8);
  EXPECT_EQ(record.bias, 9);
  EXPECT_EQ(record.number1, 10);
  EXPECT_EQ(record.number2, 11);
  EXPECT_EQ(record.start_position, 12);
  EXPECT_EQ(record.passage, "p");
  EXPECT_EQ(record.keywords, "k");
  EXPECT_EQ(record.model_list, "m");
  EXPECT_TRUE(record.flag);
  EXPECT_EQ(record.hex_url_list, "h");
  EXPECT_EQ(record.file_list, "fl");
  EXPECT_EQ(record.depth, 13);
  EXPECT_EQ(record.byte_limit, 14);
}

}  // namespace
}  // namespace qora
