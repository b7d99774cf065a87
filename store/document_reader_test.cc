#include "store/document_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "store/dml_writer.h"
#include "tests/test_util.h"

namespace qora {
namespace {

class DocumentReaderTest : public ::testing::Test {
 protected:
  // Writes `text` to a file and reads a record from it into `record`.
  void Read(const std::string& text, DocumentRecord* record) {
    const std::string path = dir_.path() + "doc.dml";
    test::WriteFile(path, text);
    EXPECT_EQ(ReadDocumentRecord(path, record), 0);
  }

  // A record read from a DML file holding WriteStat(written).
  DocumentRecord RoundTrip(const DocumentRecord& written) {
    DocumentRecord read;
    Read(WriteDocument(WriteStat(written) + "\n"), &read);
    return read;
  }

  test::TempDir dir_;
};

std::vector<std::string> TextFields(const DocumentRecord& r) {
  return {r.docid, r.parid, r.group, r.buri,     r.uri,     r.bcuri,    r.curi,  r.dmluri,
          r.size,  r.type,  r.lang,  r.char_enc, r.date_cr, r.date_ret, r.name,  r.header,
          r.sdesc, r.ldesc, r.note,  r.owner,    r.status,  r.fetcher,  r.source};
}

TEST_F(DocumentReaderTest, EmptyRecordReadsAsTwoBlanks) {
  DocumentRecord read = RoundTrip(DocumentRecord());
  for (const std::string& field : TextFields(read)) EXPECT_EQ(field, "  ");
  EXPECT_TRUE(read.keywords.empty());
  EXPECT_TRUE(read.keyphrases.empty());
  EXPECT_TRUE(read.keypassages.empty());
}

TEST_F(DocumentReaderTest, FilledRecordReadsWithSurroundingBlanks) {
  DocumentRecord written;
  written.rank = 0.5;
  written.ord = 4;
  written.obj_handle = 9;
  written.parent_handle = 2;
  written.docid = "D1";
  written.uri = "http://u/";
  written.buri = "http://b/";
  written.bcuri = "http://c/";
  written.date_cr = "7/4/2003 9:05 PM";
  written.header = "A Title";
  written.source = "src";
  DocumentRecord read = RoundTrip(written);
  EXPECT_EQ(read.docid, " D1 ");
  EXPECT_EQ(read.uri, " http://u/ ");
  EXPECT_EQ(read.buri, " http://b/ ");
  EXPECT_EQ(read.bcuri, " http://c/ ");
  EXPECT_EQ(read.date_cr, " 7/4/2003 9:05 PM ");
  EXPECT_EQ(read.header, " A Title ");
  EXPECT_EQ(read.source, " src ");
  EXPECT_EQ(read.parid, "  ");
  // Numbers are not read back.
  EXPECT_EQ(read.rank, 0);
  EXPECT_EQ(read.ord, 0);
  EXPECT_EQ(read.obj_handle, 0);
  EXPECT_EQ(read.parent_handle, 0);
}

TEST_F(DocumentReaderTest, KeywordRoundTrip) {
  DocumentRecord written;
  written.keywords = {{"x", 0.5, 3}};
  written.keypassages = {{"a long passage", 0.1, -2}};
  DocumentRecord read = RoundTrip(written);
  ASSERT_EQ(read.keywords.size(), 1u);
  EXPECT_EQ(read.keywords[0].text, " x ");
  EXPECT_EQ(read.keywords[0].weight, 0.5);
  EXPECT_EQ(read.keywords[0].count, 3);
  EXPECT_TRUE(read.keyphrases.empty());
  ASSERT_EQ(read.keypassages.size(), 1u);
  EXPECT_EQ(read.keypassages[0].text, " a long passage ");
  EXPECT_EQ(read.keypassages[0].weight, static_cast<double>(0.1f));
  EXPECT_EQ(read.keypassages[0].count, -2);
}

TEST_F(DocumentReaderTest, EntriesGoToTheOpenList) {
  DocumentRecord read;
  Read(
      "<stat><i w=\"1\" c=\"1\">out</i>"
      "<keywords><i w=\"2\" c=\"2\">k</i></keywords>"
      "<i w=\"9\" c=\"9\">between</i>"
      "<keyphrases><i w=\"3\" c=\"3\">p</i><i>bare</i></keyphrases></stat>",
      &read);
  ASSERT_EQ(read.keywords.size(), 1u);
  EXPECT_EQ(read.keywords[0].text, "k");
  EXPECT_EQ(read.keywords[0].count, 2);
  ASSERT_EQ(read.keyphrases.size(), 2u);
  EXPECT_EQ(read.keyphrases[0].text, "p");
  EXPECT_EQ(read.keyphrases[0].weight, 3);
  EXPECT_EQ(read.keyphrases[1].text, "bare");
  EXPECT_EQ(read.keyphrases[1].weight, 0);
  EXPECT_EQ(read.keyphrases[1].count, 0);
  EXPECT_TRUE(read.keypassages.empty());
}

TEST_F(DocumentReaderTest, OnlyTheFirstStatBlockIsRead) {
  DocumentRecord read;
  Read(
      "<stat><docid>1</docid><sdesc>s</sdesc></stat>"
      "<stat><docid>2</docid><note>n</note></stat>",
      &read);
  EXPECT_EQ(read.docid, "1");
  EXPECT_EQ(read.note, "");
}

TEST_F(DocumentReaderTest, ElementsOutsideStatAreIgnored) {
  DocumentRecord read;
  Read(
      "<document><docid>out</docid><keywords><i w=\"1\" c=\"1\">k</i></keywords>"
      "<stat><name>in</name></stat></document>",
      &read);
  EXPECT_EQ(read.docid, "");
  EXPECT_EQ(read.name, "in");
  EXPECT_TRUE(read.keywords.empty());
}

TEST_F(DocumentReaderTest, LinksTakeTheFirstAttribute) {
  DocumentRecord read;
  read.uri = "kept";
  Read(
      "<stat><bcuri href=\"A\" x=\"B\">C</bcuri><uri></uri><buri rel=\"r\" href=\"h\"></buri>"
      "<docid>d</docid></stat>",
      &read);
  EXPECT_EQ(read.bcuri, "A");
  EXPECT_EQ(read.uri, "kept");
  EXPECT_EQ(read.buri, "r");
  EXPECT_EQ(read.docid, "d");
}

TEST_F(DocumentReaderTest, DeclarationAfterTheStatBlockHidesIt) {
  DocumentRecord read;
  read.docid = "untouched";
  DocumentRecord written;
  written.docid = "D";
  Read(WriteDocument(WriteStat(written) + "\n<!-- trailing note -->\n"), &read);
  EXPECT_EQ(read.docid, "untouched");
}

TEST_F(DocumentReaderTest, UnterminatedInstructionScansFromTheBeginning) {
  DocumentRecord read;
  Read("<stat><docid>d</docid></stat>\n<?broken\n", &read);
  EXPECT_EQ(read.docid, "d");

  DocumentRecord hidden;
  Read("<stat><docid>d</docid></stat>\n<?done?>\n", &hidden);
  EXPECT_EQ(hidden.docid, "");
}

TEST_F(DocumentReaderTest, CarriageReturnsAreDropped) {
  DocumentRecord read;
  Read("<stat>\r\n<docid>\r\nD\r\n</docid>\r\n</stat>\r\n", &read);
  EXPECT_EQ(read.docid, " D ");
}

TEST_F(DocumentReaderTest, MissingFileLeavesRecordUntouched) {
  DocumentRecord record;
  record.docid = "before";
  record.keywords = {{"k", 1, 1}};
  EXPECT_EQ(ReadDocumentRecord(dir_.path() + "missing.dml", &record), 0);
  EXPECT_EQ(record.docid, "before");
  EXPECT_EQ(record.keywords.size(), 1u);
}

TEST_F(DocumentReaderTest, MalformedFilesDoNotCrash) {
  struct Case {
    const char* text;
    const char* docid;
  };
  const Case cases[] = {
      {"", ""},
      {"<", ""},
      {"<?", ""},
      {"<!", ""},
      {"<stat>", ""},
      {"<stat><docid>x</stat>", ""},
      {"<stat><i w=\"1>x</i><docid>y</docid></stat>", "y"},
      {"</stat><stat><docid>y</docid></stat>", ""},
      {"<stat><docid>z</docid><<>><name>n</name></stat>", "z"},
      {"<stat><keywords><i w=\"\" c=\"\"></i></keywords><docid>w</docid></stat>", "w"},
  };
  for (const Case& c : cases) {
    DocumentRecord read;
    Read(c.text, &read);
    EXPECT_EQ(read.docid, c.docid) << c.text;
    EXPECT_EQ(read.name, "") << c.text;
  }
}

}  // namespace
}  // namespace qora
