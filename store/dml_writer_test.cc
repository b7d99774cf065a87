#include "store/dml_writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "tests/filled_record.h"

namespace qora {
namespace {

// The shared filled record with a header and a note of its own, a second
// key phrase of a weight below the threshold of zero, and no key passages.
DocumentRecord FilledRecord() {
  DocumentRecord r = test::FilledRecord();
  r.header = "hd";
  r.keyphrases.push_back({"delta", 1e-7, 0});
  r.keypassages.clear();
  r.note = "n & <b>";
  return r;
}

TEST(DmlWriterTest, FilledRecordBody) {
  const std::string expected =
      "<rank>\n0.75\n</rank>\n"
      "<ord>\n2\n</ord>\n"
      "<obj_handle>\n7\n</obj_handle>\n"
      "<parent_handle>\n-3\n</parent_handle>\n"
      "<docid>\nD1\n</docid>\n"
      "<parid>\nP1\n</parid>\n"
      "<group>\ng\n</group>\n"
      "<uri \nhref=\"\nhttp://u/\n\">\n</uri>\n"
      "<buri \nhref=\"\nhttp://b/\n\">\n</buri>\n"
      "<bcuri \nhref=\"\nhttp://c/\n\">\nhttp://c/\n</bcuri>\n"
      "<curi>\ncu\n</curi>\n"
      "<dmluri>\nd.dml\n</dmluri>\n"
      "<size>\n120\n</size>\n"
      "<type>\ntext/html\n</type>\n"
      "<lang>\nen\n</lang>\n"
      "<char_enc>\nutf-8\n</char_enc>\n"
      "<date_cr>\n7/4/2003 9:05 PM\n</date_cr>\n"
      "<date_ret>\ndr\n</date_ret>\n"
      "<name>\nnm\n</name>\n"
      "<header>\nhd\n</header>\n"
      "<keywords>\n"
      "<i \nw=\"\n1.5\n\" \nc=\"\n2\n\">\nalpha\n</i>\n"
      "</keywords>\n"
      "<keyphrases>\n"
      "<i \nw=\"\n0.25\n\" \nc=\"\n1\n\">\nbeta gamma\n</i>\n"
      "<i \nw=\"\n1e-07\n\" \nc=\"\n0\n\">\ndelta\n</i>\n"
      "</keyphrases>\n"
      "<keypassages>\n</keypassages>\n"
      "<sdesc>\ns\n</sdesc>\n"
      "<ldesc>\nl\n</ldesc>\n"
      "<note>\nn & <b>\n</note>\n"
      "<owner>\no\n</owner>\n"
      "<status>\nst\n</status>\n"
      "<fetcher>\nf\n</fetcher>\n"
      "<source>\nsrc\n</source>\n";
  EXPECT_EQ(WriteRecordBody(FilledRecord()), expected);
}

TEST(DmlWriterTest, EmptyTextFieldsGiveEmptyLines) {
  std::string body = WriteRecordBody(DocumentRecord());
  EXPECT_EQ(body.rfind("<rank>\n0\n</rank>\n<ord>\n0\n</ord>\n<obj_handle>\n0\n", 0), 0u);
  EXPECT_NE(body.find("<docid>\n\n</docid>\n<parid>\n\n</parid>\n"), std::string::npos);
  EXPECT_NE(body.find("<uri \nhref=\"\n\n\">\n</uri>\n"), std::string::npos);
  EXPECT_NE(body.find("<bcuri \nhref=\"\n\n\">\n\n</bcuri>\n"), std::string::npos);
  EXPECT_NE(body.find("<keywords>\n</keywords>\n<keyphrases>\n</keyphrases>\n"
                      "<keypassages>\n</keypassages>\n<sdesc>\n\n</sdesc>\n"),
            std::string::npos);
  const std::string tail = "<fetcher>\n\n</fetcher>\n<source>\n\n</source>\n";
  ASSERT_GE(body.size(), tail.size());
  EXPECT_EQ(body.substr(body.size() - tail.size()), tail);
}

TEST(DmlWriterTest, KeywordIsNineLines) {
  DocumentRecord r;
  r.keywords = {{"x", 0.5, 3}};
  std::string body = WriteRecordBody(r);
  EXPECT_NE(body.find("<keywords>\n<i \nw=\"\n0.5\n\" \nc=\"\n3\n\">\nx\n</i>\n</keywords>\n"),
            std::string::npos);
}

TEST(DmlWriterTest, NumbersFormattedLikeDefaultStreams) {
  DocumentRecord r;
  r.rank = 0.123456789;
  r.ord = -42;
  r.keypassages = {{"p", 123456789.0, 2147483647}};
  std::string body = WriteRecordBody(r);
  EXPECT_NE(body.find("<rank>\n0.123457\n</rank>\n"), std::string::npos);
  EXPECT_NE(body.find("<ord>\n-42\n</ord>\n"), std::string::npos);
  EXPECT_NE(body.find("w=\"\n1.23457e+08\n\" \nc=\"\n2147483647\n\">\np\n"), std::string::npos);
}

TEST(DmlWriterTest, StatWrapsBodyWithoutExtraLineEnds) {
  DocumentRecord r = FilledRecord();
  EXPECT_EQ(WriteStat(r), "<stat>" + WriteRecordBody(r) + "</stat>");
  EXPECT_EQ(WriteStat(r).substr(0, 13), "<stat><rank>\n");
}

TEST(DmlWriterTest, DocumentText) {
  EXPECT_EQ(XmlDeclaration(), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n");
  EXPECT_EQ(DoctypeLine(), "<!DOCTYPE document SYSTEM \"./template/VDMLDTD.dtd\">\n");
  EXPECT_EQ(WriteDocument("a\nb"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n"
            "<!DOCTYPE document SYSTEM \"./template/VDMLDTD.dtd\">\n"
            "<document>\na\nb</document>");
  EXPECT_EQ(WriteDocument(""), XmlDeclaration() + DoctypeLine() + "<document>\n</document>");
}

std::tm Time(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  return t;
}

TEST(DmlWriterTest, DatesOnTwelveHourDial) {
  EXPECT_EQ(FormatDate(Time(2003, 7, 4, 21, 5)), "7/4/2003 9:05 PM");
  EXPECT_EQ(FormatDate(Time(1999, 12, 31, 0, 0)), "12/31/1999 12:00 AM");
  EXPECT_EQ(FormatDate(Time(2010, 1, 2, 0, 5)), "1/2/2010 12:05 AM");
  EXPECT_EQ(FormatDate(Time(2010, 1, 2, 12, 0)), "1/2/2010 12:00 AM");
  EXPECT_EQ(FormatDate(Time(2010, 1, 2, 12, 30)), "1/2/2010 12:30 AM");
  EXPECT_EQ(FormatDate(Time(2010, 1, 2, 13, 30)), "1/2/2010 1:30 PM");
  EXPECT_EQ(FormatDate(Time(2010, 1, 2, 23, 59)), "1/2/2010 11:59 PM");
  EXPECT_EQ(FormatDate(Time(2010, 10, 20, 11, 9)), "10/20/2010 11:09 AM");
}

TEST(DmlWriterTest, DateFromTimeUsesLocalZone) {
  const char* saved = getenv("TZ");
  std::string saved_value = saved ? saved : "";
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FormatDate(static_cast<std::time_t>(1057352700)), "7/4/2003 9:05 PM");
  setenv("TZ", "EST5", 1);
  tzset();
  EXPECT_EQ(FormatDate(static_cast<std::time_t>(1057352700)), "7/4/2003 4:05 PM");
  if (saved) {
    setenv("TZ", saved_value.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace qora
