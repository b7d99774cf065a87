// Tests of page processing with the real page cleaner and PDF converter,
// on libraries in temporary data folders.
#include "acquire/page_processor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquire/page_text.h"
#include "store/document_id.h"
#include "store/document_reader.h"
#include "tests/test_environment.h"
#include "tests/pdf_builder.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The banner the archived copy must open with.
std::string ExpectedBanner(const std::string& base, const std::string& address) {
  return "<base href=\"" + base +
         "\">\n"
         "<script language=\"Javascript\">\n"
         "<!--\n"
         "document.write(\"<font size = \\\"1\\\" face = \\\"verdana\\\">\");\n"
         "document.write (\"Archived by <a href=\\\"https://qora.example.org/\\\"> QORA</a>.\");\n"
         "document.write(\"Original at: <a href=\\\"" +
         address + "\\\">" + address +
         "</a>\");\n"
         "document.write(\"</font>\");\n"
         "//-->\n"
         "</script>\n";
}

// A one-page PDF whose Info dictionary holds `title` and whose page shows
// `text`.
std::string MakePdf(const std::string& title, const std::string& text) {
  return test::OnePagePdf(title, text);
}

// `words` words of filler text in sentences.
std::string Filler(int words) {
  std::string text;
  for (int i = 0; i < words; ++i) {
    text += "word";
    text += (i % 10 == 9) ? ". " : " ";
  }
  return text;
}

// The page of an HTML file with `title` and the body `body`.
std::string Html(const std::string& title, const std::string& body) {
  return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

// An engine environment on a small data folder with the built helper
// programs, and one library.
class PageProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override { Prepare("data/", true, true); }

  // Makes the data folder `folder_name` under the temporary folder, with or
  // without the two helper programs, and a library in it.
  void Prepare(const std::string& folder_name, bool with_cleaner, bool with_converter) {
    data_ = dir_.path() + folder_name;
    fs::create_directories(data_);
    test::WriteSmallDataFolder(data_, 0);
    if (with_cleaner) fs::copy_file(QORA_PAGE_CLEANER, data_ + "cln.exe");
    if (with_converter) fs::copy_file(QORA_PDF_CONVERTER, data_ + "hlp22.exe");
    environment_ = std::make_unique<test::TestEnvironment>();
    environment_->Load(data_, "main.ini");
    store_ = std::make_unique<DocumentStore>(environment_.get());
    ASSERT_EQ(CreateStore(store_.get(), "Pages", environment_.get()), 0);
    settings_ = std::make_unique<CrawlSettings>();
    settings_->BuildFilterLists();
    processor_ =
        std::make_unique<PageProcessor>(store_.get(), settings_.get(), environment_.get(), &lock_);
  }

  std::string WebCache() const { return store_->web().cache_folder; }
  std::string LocalCache() const { return store_->local().cache_folder; }

  // Writes `content` as the raw file of `address` in the web (or local)
  // cache folder and processes it; the links land in links_ and kinds_.
  int Page(const std::string& address, const std::string& content, bool local = false) {
    const std::string id = MakeDocumentId(address);
    const std::string raw = (local ? LocalCache() : WebCache()) + id + ".htm";
    WriteFile(raw, content);
    links_.clear();
    kinds_.clear();
    frames_ = -7;
    return processor_->ProcessPage(address, raw, id, &links_, &kinds_, &frames_, local);
  }

  int Pdf(const std::string& address, const std::string& content, bool local = true) {
    const std::string id = MakeDocumentId(address);
    const std::string base = (local ? LocalCache() : WebCache()) + id;
    WriteFile(base + ".pdf", content);
    return processor_->ProcessPdf(address, base + ".pdf", base, id, local);
  }

  // The names of the files in `folder` other than the template's ".keep".
  static std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name != ".keep") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The DML file of `address`.
  std::string Dml(const std::string& address, bool local = false) {
    return ReadFile((local ? LocalCache() : WebCache()) + MakeDocumentId(address) + ".dml");
  }

  // The body and anchor section of a DML text: what follows "</stat>".
  static std::string BodyOf(const std::string& dml) {
    const size_t stat_end = dml.find("</stat>");
    const size_t document_end = dml.rfind("</document>");
    if (stat_end == std::string::npos || document_end == std::string::npos) return "<none>";
    return dml.substr(stat_end + 7, document_end - stat_end - 7);
  }

  DocumentRecord Record(const std::string& address, bool local = false) {
    DocumentRecord record;
    ReadDocumentRecord((local ? LocalCache() : WebCache()) + MakeDocumentId(address) + ".dml",
                       &record);
    return record;
  }

  // Checks that nothing of a rejected page is left and nothing was entered.
  void ExpectNothingLeft(const std::string& folder) {
    EXPECT_TRUE(Files(folder).empty()) << ::testing::PrintToString(Files(folder));
    EXPECT_EQ(store_->DocumentCount(), 0u);
    EXPECT_EQ(settings_->docsDone, 0);
  }

  // The length of the extracted text of a stored page (its table size).
  int StoredSize(const std::string& address, bool local = false) {
    const CacheEntry& entry =
        (local ? store_->local() : store_->web()).table.Find(MakeDocumentId(address));
    EXPECT_TRUE(entry.found()) << address;
    return entry.found() ? std::stoi(entry.size) : -1;
  }

  TempDir dir_;
  std::string data_;
  std::unique_ptr<test::TestEnvironment> environment_;
  std::unique_ptr<DocumentStore> store_;
  std::unique_ptr<CrawlSettings> settings_;
  std::mutex lock_;
  std::unique_ptr<PageProcessor> processor_;
  std::vector<std::string> links_;
  std::vector<int> kinds_;
  int frames_ = 0;
};

// ---------------------------------------------------------------------------
// Stored pages.

TEST_F(PageProcessorTest, PageIsArchivedAndStored) {
  const std::string address = "http://www.example.com/dir/page.htm";
  const std::string page =
      Html("Tides &amp; Power",
           "<p>Tidal power is old. It is clean!</p>\n<p>Second paragraph here.</p>\n"
           "<p><a href=\"other.htm\">Other <b>page</b></a> and "
           "<a href=\"http://elsewhere.org/x\">Away</a></p>"
           "<script>var hidden = 1;</script><style>p { color: red }</style><!-- secret note -->");
  const std::string header =
      "HTTP/1.1 200 OK\nLast-Modified: Tue, 15 Nov 1994 08:12:31 GMT\nServer: x\n\n";
  ASSERT_EQ(Page(address, header + page), 0);

  const std::string id = MakeDocumentId(address);
  EXPECT_EQ(Files(WebCache()), (std::vector<std::string>{id + ".dml", id + ".htm"}));
  EXPECT_TRUE(Files(LocalCache()).empty());
  // The archived copy: the banner, then the page without the header part.
  EXPECT_EQ(ReadFile(WebCache() + id + ".htm"), ExpectedBanner(address, address) + page);

  EXPECT_EQ(links_, (std::vector<std::string>{"http://www.example.com/dir/other.htm",
                                              "http://elsewhere.org/x"}));
  EXPECT_EQ(kinds_, (std::vector<int>{kLinkSameHost, kLinkOtherHost}));
  EXPECT_EQ(frames_, 0);

  const std::string dml = Dml(address);
  EXPECT_EQ(dml.find("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n"), 0u);
  EXPECT_TRUE(dml.ends_with("</document>"));
  EXPECT_EQ(BodyOf(dml),
            "<title>Tides &amp; Power\n</title>\n"
            "<p><s>Tidal power is old.</s><s>It is clean!</s><s>Second paragraph here.</s>"
            "<s>Other page and Away\n.</s></p><p></p>"
            "<anc><a href=\"http://www.example.com/dir/other.htm\">Other page</a>"
            "<a href=\"http://elsewhere.org/x\">Away</a></anc>");
  EXPECT_FALSE(Contains(dml, "hidden"));
  EXPECT_FALSE(Contains(dml, "color"));
  EXPECT_FALSE(Contains(dml, "secret"));

  const DocumentRecord record = Record(address);
  EXPECT_EQ(record.docid, " " + id + " ");
  EXPECT_EQ(record.uri, " " + address + " ");
  EXPECT_EQ(record.buri, " " + address + " ");
  EXPECT_EQ(record.bcuri, "  ");
  EXPECT_EQ(record.curi, " " + id + ".htm ");
  EXPECT_EQ(record.dmluri, " " + id + ".dml ");
  EXPECT_EQ(record.type, " .htm ");
  EXPECT_EQ(record.date_cr, "  Tue, 15 Nov 1994 08:12:31 GMT ");
  EXPECT_EQ(record.name, " Tides &amp;amp; Power ");
  EXPECT_EQ(record.header, record.name);
  EXPECT_GT(record.date_ret.size(), 10u);
  EXPECT_TRUE(Contains(record.date_ret, "M "));

  // The table entry, in the web half, made from the record.
  ASSERT_EQ(store_->web().table.size(), 1u);
  const CacheEntry& entry = store_->web().table.at(0);
  EXPECT_EQ(entry.id, id);
  EXPECT_EQ(entry.address, address);
  EXPECT_EQ(" " + entry.size + " ", record.size);
  EXPECT_GT(std::stoi(entry.size), 60);
  EXPECT_LT(std::stoi(entry.size), 200);
  EXPECT_EQ(entry.field, 0);
  EXPECT_EQ(entry.processed, 0);
  EXPECT_EQ(store_->local().table.size(), 0u);
  EXPECT_EQ(settings_->docsDone, 1);
}

TEST_F(PageProcessorTest, PageAlreadyInTheTableIsNotStoredAgain) {
  const std::string address = "http://h/again.htm";
  ASSERT_EQ(Page(address, Html("First", "<p>First version.</p>")), 0);
  const std::string dml = Dml(address);

  const std::string second = Html("Second", "<p>Second version <a href=\"x.htm\">x</a>.</p>");
  EXPECT_EQ(Page(address, second), -1);
  EXPECT_EQ(Dml(address), dml);
  EXPECT_TRUE(links_.empty());
  EXPECT_EQ(frames_, 0);
  EXPECT_EQ(store_->web().table.size(), 1u);
  EXPECT_EQ(settings_->docsDone, 1);
  // The stored document keeps an archived copy: what the caller wrote.
  EXPECT_EQ(ReadFile(WebCache() + MakeDocumentId(address) + ".htm"), second);
}

TEST_F(PageProcessorTest, LocalPageGoesToTheLocalHalf) {
  const std::string address = dir_.path() + "my docs/Q&A <1>.htm";
  ASSERT_EQ(Page(address, "<html><body><p>Local text.</p></body></html>", true), 0);
  const std::string id = MakeDocumentId(address);
  EXPECT_EQ(Files(LocalCache()), (std::vector<std::string>{id + ".dml", id + ".htm"}));
  EXPECT_TRUE(Files(WebCache()).empty());
  ASSERT_TRUE(store_->local().table.Find(id).found());
  EXPECT_EQ(store_->local().table.Find(id).address, EscapeXml(address));
  EXPECT_EQ(store_->web().table.size(), 0u);
  // Without a head the name is the address after its last "/", and the "<"
  // in it cannot open an element in the DML record.
  const DocumentRecord record = Record(address, true);
  EXPECT_EQ(record.name, " Q&A &lt;1>.htm ");
  EXPECT_EQ(record.uri, " " + EscapeXml(address) + " ");
  EXPECT_EQ(record.date_cr, "  ");
}

TEST_F(PageProcessorTest, NameComesFromTheAddressWithoutTitle) {
  ASSERT_EQ(Page("C:\\docs\\sub/x.htm", "<p>No head at all.</p>", true), 0);
  // The smaller of the positions of the last "/" and the last "\".
  EXPECT_EQ(Record("C:\\docs\\sub/x.htm", true).name, " sub/x.htm ");

  ASSERT_EQ(Page("http://h/a/b/doc.htm", "<title>Lost</title><p>Title outside a head.</p>"), 0);
  EXPECT_EQ(Record("http://h/a/b/doc.htm").name, " doc.htm ");
}

TEST_F(PageProcessorTest, TitleAmpersandsAndLessThanAreEscaped) {
  ASSERT_EQ(Page("http://h/t1", Html("A & B", "<p>x</p>")), 0);
  EXPECT_EQ(Record("http://h/t1").name, " A &amp; B ");
  ASSERT_EQ(Page("http://h/t2", Html("1 < 2 > 0", "<p>y</p>")), 0);
  EXPECT_EQ(Record("http://h/t2").name, " 1 &lt; 2 > 0 ");
}

TEST_F(PageProcessorTest, BaseTagInTheHeadIsTheBase) {
  const std::string address = "http://h/page.htm";
  const std::string page =
      "<html><HEAD><BASE HREF=\"http://Base.example/sub/x?a=1&b=2\"><title>B</title></head>"
      "<body><p><a href=\"rel.htm\">rel</a></p></body></html>";
  ASSERT_EQ(Page(address, page), 0);
  const std::string id = MakeDocumentId(address);
  EXPECT_EQ(ReadFile(WebCache() + id + ".htm"),
            ExpectedBanner("http://Base.example/sub/x?a=1&b=2", address) + page);
  EXPECT_EQ(Record(address).buri, " http://Base.example/sub/x?a=1&amp;b=2 ");
  // Links are resolved against the base, and their host compared with its.
  EXPECT_EQ(links_, (std::vector<std::string>{"http://Base.example/sub/rel.htm"}));
  EXPECT_EQ(kinds_, (std::vector<int>{kLinkSameHost}));
}

TEST_F(PageProcessorTest, BaseAfterTheHeadIsIgnored) {
  const std::string address = "http://h/d/page.htm";
  const std::string page =
      "<html><head><title>T</title></head><body><base href=\"http://other/\">"
      "<p><a href=\"rel.htm\">rel</a></p></body></html>";
  ASSERT_EQ(Page(address, page), 0);
  EXPECT_EQ(ReadFile(WebCache() + MakeDocumentId(address) + ".htm"),
            ExpectedBanner(address, address) + page);
  EXPECT_EQ(Record(address).buri, " " + address + " ");
}

TEST_F(PageProcessorTest, FramesetPageListsFramesBeforeAnchors) {
  const std::string address = "http://h/site/index.htm";
  const std::string page =
      "<html><head><title>Frames</title></head>"
      "<frameset cols=\"30%,70%\"><frame src=\"menu.htm\"><frame src=\"main.htm\">"
      "<noframes><body><p>See <a href=\"plain.htm\">the plain page</a>.</p></body></noframes>"
      "</frameset></html>";
  ASSERT_EQ(Page(address, page), 0);
  EXPECT_EQ(frames_, 2);
  ASSERT_GE(links_.size(), 2u);
  EXPECT_EQ(links_[0], "http://h/site/menu.htm");
  EXPECT_EQ(links_[1], "http://h/site/main.htm");
  EXPECT_EQ(kinds_[0], kLinkFrame);
  EXPECT_EQ(kinds_[1], kLinkFrame);
  // The anchor in the no-frames text follows the frames.
  EXPECT_EQ(links_, (std::vector<std::string>{"http://h/site/menu.htm", "http://h/site/main.htm",
                                              "http://h/site/plain.htm"}));
  EXPECT_EQ(kinds_.back(), kLinkSameHost);
}

// ---------------------------------------------------------------------------
// Awkward input.

TEST_F(PageProcessorTest, MalformedHtmlIsStored) {
  const std::string address = "http://h/bad.htm";
  ASSERT_EQ(Page(address,
                 "<html><body><p>Hello <a href=x.html>link <b>bold</p><table><tr><td>cell<td>"
                 "<div>unclosed</table>after <unknowntag>custom</unknowntag></i></i>"),
            0);
  const std::string body = BodyOf(Dml(address));
  for (const char* part : {"Hello", "bold", "cell", "unclosed", "after", "custom"}) {
    EXPECT_TRUE(Contains(body, part)) << part << " missing from " << body;
  }
  EXPECT_EQ(links_, (std::vector<std::string>{"http://h/x.html"}));
  // The cleaner closes the anchor where it can; its text lost its tags.
  EXPECT_TRUE(Contains(body, "<anc><a href=\"http://h/x.html\">link bold")) << body;
  EXPECT_TRUE(body.ends_with("</a></anc>")) << body;
}

TEST_F(PageProcessorTest, TruncatedHtmlIsStored) {
  const std::string address = "http://h/cut.htm";
  ASSERT_EQ(Page(address,
                 "<html><head><title>Cut short</title></head><body><p>Text that is "
                 "cut off in the mid<a hre"),
            0);
  EXPECT_EQ(Record(address).name, " Cut short ");
  EXPECT_TRUE(Contains(BodyOf(Dml(address)), "<s>Text that is cut off in the mid")) << Dml(address);
}

TEST_F(PageProcessorTest, BinaryFileNamedHtmLeavesAConsistentState) {
  std::string binary;
  unsigned state = 2024;
  for (int i = 0; i < 30000; ++i) {
    state = state * 1103515245u + 12345u;
    binary += static_cast<char>((state >> 16) & 0xFF);
  }
  const std::string address = "http://h/blob.htm";
  const std::string id = MakeDocumentId(address);
  const int result = Page(address, binary);
  if (result == 0) {
    EXPECT_EQ(Files(WebCache()), (std::vector<std::string>{id + ".dml", id + ".htm"}));
    EXPECT_TRUE(store_->web().table.Find(id).found());
    // The record reads back whole: no value of it opened an element.
    const DocumentRecord record = Record(address);
    EXPECT_EQ(record.docid, " " + id + " ");
    EXPECT_EQ(record.curi, " " + id + ".htm ");
    EXPECT_EQ(settings_->docsDone, 1);
  } else {
    ExpectNothingLeft(WebCache());
  }
  // Either way the tool output is gone.
  EXPECT_FALSE(fs::exists(WebCache() + id + ".htm_"));
}

TEST_F(PageProcessorTest, EmptyFileGivesABannerOnlyCopy) {
  const std::string address = "http://h/empty/";
  ASSERT_EQ(Page(address, ""), 0);
  const std::string id = MakeDocumentId(address);
  EXPECT_EQ(ReadFile(WebCache() + id + ".htm"), ExpectedBanner(address, address));
  EXPECT_EQ(BodyOf(Dml(address)), "<anc></anc>");
  EXPECT_EQ(Record(address).name, "  ");  // nothing after the last "/"
  EXPECT_TRUE(links_.empty());
}

TEST_F(PageProcessorTest, TextWithoutTagsIsAllHeader) {
  const std::string address = "http://h/plain";
  ASSERT_EQ(Page(address, "Last-Modified: 7/4/2003 9:05 PM\nplain words & no tags"), 0);
  EXPECT_EQ(ReadFile(WebCache() + MakeDocumentId(address) + ".htm"),
            ExpectedBanner(address, address));
  EXPECT_EQ(Record(address).date_cr, "  7/4/2003 9:05 PM ");
  EXPECT_FALSE(Contains(Dml(address), "plain words"));
}

TEST_F(PageProcessorTest, LastModifiedNeedsALineFeed) {
  const std::string address = "http://h/nolf";
  ASSERT_EQ(Page(address, "Last-Modified: never ends<p>x</p>"), 0);
  EXPECT_EQ(Record(address).date_cr, "  ");
}

// ---------------------------------------------------------------------------
// Limits and filters.

TEST_F(PageProcessorTest, TextOverMaxContentSizeIsRejected) {
  const std::string page = Html("Long", "<p>" + Filler(300) + "</p>");
  ASSERT_EQ(Page("http://h/measure", page), 0);
  const int n = StoredSize("http://h/measure");
  ASSERT_GT(n, 1500);

  settings_->maxContentSize = n;
  EXPECT_EQ(Page("http://h/fits", page), 0);
  EXPECT_EQ(StoredSize("http://h/fits"), n);

  settings_->maxContentSize = n - 1;
  const std::string id = MakeDocumentId("http://h/over");
  EXPECT_EQ(Page("http://h/over", page), -1);
  EXPECT_FALSE(fs::exists(WebCache() + id + ".htm"));
  EXPECT_FALSE(fs::exists(WebCache() + id + ".htm_"));
  EXPECT_FALSE(fs::exists(WebCache() + id + ".dml"));
  EXPECT_FALSE(store_->web().table.Find(id).found());
  EXPECT_EQ(settings_->docsDone, 2);
}

TEST_F(PageProcessorTest, NegativeWordRejectsCaseSensitively) {
  settings_->negativeWords = "casino, lottery";
  settings_->BuildFilterLists();
  EXPECT_EQ(Page("http://h/bad", Html("Fun", "<p>Win the lottery now.</p>")), -1);
  ExpectNothingLeft(WebCache());
  EXPECT_EQ(Page("http://h/case", Html("Fun", "<p>The Lottery, a story.</p>")), 0);
  // A word in the title is in the text too.
  EXPECT_EQ(Page("http://h/title", Html("casino guide", "<p>Nothing else.</p>")), -1);
  EXPECT_EQ(store_->web().table.size(), 1u);
}

TEST_F(PageProcessorTest, BodyAndAnchorsOverMaxDmlSizeAreRejected) {
  const std::string page =
      Html("Dml", "<p>" + Filler(50) + "</p><a href=\"a.htm\">A</a><a href=\"b.htm\">B</a>");
  ASSERT_EQ(Page("http://h/measure", page), 0);
  const size_t length = BodyOf(Dml("http://h/measure")).size();

  settings_->maxDmlSize = static_cast<int>(length);
  EXPECT_EQ(Page("http://h/fits", page), 0);
  settings_->maxDmlSize = static_cast<int>(length) - 1;
  EXPECT_EQ(Page("http://h/over", page), -1);
  EXPECT_EQ(Files(WebCache()).size(), 4u);
  EXPECT_EQ(store_->web().table.size(), 2u);
  // A rejected page still hands out its links.
  EXPECT_EQ(links_, (std::vector<std::string>{"http://h/a.htm", "http://h/b.htm"}));
}

TEST_F(PageProcessorTest, HubSelectionKeepsPagesWithEnoughLinksToOtherHosts) {
  settings_->selectHubs = true;
  settings_->hubMinLinks = 2;
  settings_->BuildFilterLists();
  const std::string two =
      "<p>Links: <a href=\"http://a.org/\">a</a> <a href=\"http://b.org/\">b</a> "
      "<a href=\"local.htm\">local</a></p>";
  const std::string one = "<p>Links: <a href=\"http://a.org/\">a</a> <a href=\"x.htm\">x</a></p>";
  EXPECT_EQ(Page("http://h/hub", Html("Hub", two)), 0);
  EXPECT_EQ(Page("http://h/nohub", Html("No hub", one)), -1);
  EXPECT_FALSE(fs::exists(WebCache() + MakeDocumentId("http://h/nohub") + ".htm"));
  EXPECT_EQ(links_, (std::vector<std::string>{"http://a.org/", "http://h/x.htm"}));
  EXPECT_EQ(store_->web().table.size(), 1u);
  EXPECT_EQ(settings_->docsDone, 1);
}

TEST_F(PageProcessorTest, AuthoritySelectionKeepsTextsOfTwoToSixThousandCharacters) {
  settings_->selectAuthorities = true;
  settings_->authorityMinPages = 1;
  settings_->authorityMaxPages = 3;
  settings_->BuildFilterLists();
  // About 5 characters a word.
  EXPECT_EQ(Page("http://h/short", Html("S", "<p>" + Filler(300) + "</p>")), -1);
  EXPECT_EQ(Page("http://h/middle", Html("M", "<p>" + Filler(800) + "</p>")), 0);
  EXPECT_EQ(Page("http://h/long", Html("L", "<p>" + Filler(1600) + "</p>")), -1);
  EXPECT_EQ(Files(WebCache()).size(), 2u);
  const int n = StoredSize("http://h/middle");
  EXPECT_GE(n, 2000);
  EXPECT_LE(n, 6000);

  // A short page that is a hub is kept.
  settings_->selectHubs = true;
  settings_->hubMinLinks = 1;
  settings_->BuildFilterLists();
  EXPECT_EQ(Page("http://h/shorthub",
                 Html("SH", "<p>" + Filler(300) + "<a href=\"http://o.org/\">o</a></p>")),
            0);
}

TEST_F(PageProcessorTest, AuthorityBoundsAreInclusive) {
  // Pages whose text has exactly 3999, 4000 and 4001 characters: the
  // filler's length is measured once, then padded inside its last word.
  const std::string filler = Filler(500) + "x";  // the cleaner drops a final blank
  ASSERT_EQ(Page("http://h/measure", Html("Bounds", "<p>" + filler + "</p>")), 0);
  const int measured = StoredSize("http://h/measure");
  ASSERT_GT(measured, 2000);
  ASSERT_LT(measured, 3990);
  auto sized = [&](int n) {
    return Html("Bounds", "<p>" + filler + std::string(n - measured, 'y') + "</p>");
  };
  settings_->selectAuthorities = true;
  settings_->authorityMinPages = 2;
  settings_->authorityMaxPages = 2;
  settings_->BuildFilterLists();
  EXPECT_EQ(Page("http://h/exact", sized(4000)), 0);
  EXPECT_EQ(StoredSize("http://h/exact"), 4000);
  EXPECT_EQ(Page("http://h/below", sized(3999)), -1);
  EXPECT_EQ(Page("http://h/above", sized(4001)), -1);
  EXPECT_EQ(store_->web().table.size(), 2u);
}

// ---------------------------------------------------------------------------
// Missing helpers and PDF files.

TEST_F(PageProcessorTest, MissingCleanerRejectsWithoutTrace) {
  Prepare("nocleaner/", false, true);
  const std::string page = Html("T", "<frameset><frame src=\"f.htm\"></frameset>");
  EXPECT_EQ(Page("http://h/page", page), -1);
  ExpectNothingLeft(WebCache());
}

TEST_F(PageProcessorTest, StaleCleanerOutputIsNotTaken) {
  Prepare("nocleaner/", false, true);
  const std::string address = "http://h/stale.htm";
  WriteFile(WebCache() + MakeDocumentId(address) + ".htm_",
            "<html><head><title>Stale</title></head><body>Old output.</body></html>");
  EXPECT_EQ(Page(address, Html("Fresh", "<p>New page.</p>")), -1);
  ExpectNothingLeft(WebCache());
}

TEST_F(PageProcessorTest, StaleConverterOutputIsNotTaken) {
  Prepare("noconverter/", true, false);
  const std::string address = "http://h/stale.pdf";
  WriteFile(LocalCache() + MakeDocumentId(address) + ".html",
            "<html><head><title>Stale</title></head><body>Old output.</body></html>");
  EXPECT_EQ(Pdf(address, MakePdf("Fresh", "New text.")), -1);
  ExpectNothingLeft(LocalCache());
}

TEST_F(PageProcessorTest, PdfIsStoredWithItsTitle) {
  const std::string address = dir_.path() + "papers/tidal.pdf";
  const std::string pdf = MakePdf("Tidal Report", "Tidal power is clean.");
  ASSERT_EQ(Pdf(address, pdf), 0);
  const std::string id = MakeDocumentId(address);
  EXPECT_EQ(Files(LocalCache()), (std::vector<std::string>{id + ".dml", id + ".pdf"}));
  EXPECT_EQ(ReadFile(LocalCache() + id + ".pdf"), pdf);

  const DocumentRecord record = Record(address, true);
  EXPECT_EQ(record.name, " Tidal Report ");
  EXPECT_EQ(record.header, " Tidal Report ");
  EXPECT_EQ(record.curi, " " + id + ".pdf ");
  EXPECT_EQ(record.type, " .pdf ");
  EXPECT_EQ(record.buri, " " + address + " ");
  const std::string body = BodyOf(Dml(address, true));
  EXPECT_TRUE(Contains(body, "<s>Tidal power is clean.</s>")) << body;
  EXPECT_FALSE(Contains(body, "<anc>"));
  ASSERT_TRUE(store_->local().table.Find(id).found());
  EXPECT_EQ(settings_->docsDone, 1);
}

TEST_F(PageProcessorTest, PdfTextAndTitleAreEscaped) {
  const std::string address = "http://h/sym.pdf";
  ASSERT_EQ(Pdf(address, MakePdf("Caf\\351 & Co", "Prices: 5 < 6 & \"quoted\"."), false), 0);
  const DocumentRecord record = Record(address);
  // The converter writes the title's "&" as "&amp;", which gets escaped once
  // more.
  EXPECT_EQ(record.name, " Caf\xe9 &amp;amp; Co ");
  // The converter writes the text's "<" as "&lt;" so that it survives the
  // tag stripping; the text is then escaped, and the ";" of each entity
  // ends a sentence.
  EXPECT_TRUE(Contains(BodyOf(Dml(address)),
                       "<p><s>Prices: 5 &amp;lt;</s><s>6 &amp;</s><s>&quot;quoted&quot;</s></p>"))
      << BodyOf(Dml(address));
  EXPECT_TRUE(store_->web().table.Find(MakeDocumentId(address)).found());
}

TEST_F(PageProcessorTest, PdfLastModifiedComesBeforeItsMarker) {
  const std::string address = "http://h/dated.pdf";
  ASSERT_EQ(Pdf(address, "Last-modified: 7/4/2003 9:05 PM\n" + MakePdf("Dated", "Some text.")), 0);
  EXPECT_EQ(Record(address, true).date_cr, "  7/4/2003 9:05 PM ");
}

TEST_F(PageProcessorTest, CorruptPdfIsRejectedWithoutTrace) {
  EXPECT_EQ(Pdf("http://h/junk.pdf", "%PDF-1.4\nthis is not really a PDF\n"), -1);
  const std::string whole = MakePdf("Half", "Only half of it.");
  EXPECT_EQ(Pdf("http://h/half.pdf", whole.substr(0, whole.size() / 2)), -1);
  ExpectNothingLeft(LocalCache());
}

TEST_F(PageProcessorTest, PdfAlreadyInTheTableIsNotStoredAgain) {
  const std::string address = "http://h/twice.pdf";
  ASSERT_EQ(Pdf(address, MakePdf("Once", "First.")), 0);
  EXPECT_EQ(Pdf(address, MakePdf("Twice", "Second.")), -1);
  EXPECT_EQ(Record(address, true).name, " Once ");
  EXPECT_EQ(settings_->docsDone, 1);
}

TEST_F(PageProcessorTest, MissingConverterRejectsWithoutTrace) {
  Prepare("noconverter/", true, false);
  EXPECT_EQ(Pdf("http://h/x.pdf", MakePdf("X", "Text.")), -1);
  ExpectNothingLeft(LocalCache());
}

TEST_F(PageProcessorTest, PdfSelectionAndLimitsApply) {
  settings_->maxContentSize = 5;
  EXPECT_EQ(Pdf("http://h/big.pdf", MakePdf("Big", "More than five characters.")), -1);
  settings_->maxContentSize = 50000;
  settings_->selectHubs = true;  // a PDF has no links, so it is never a hub
  settings_->BuildFilterLists();
  EXPECT_EQ(Pdf("http://h/hub.pdf", MakePdf("Hub", "No links.")), -1);
  ExpectNothingLeft(LocalCache());
}

// ---------------------------------------------------------------------------
// Paths, the crawl lock and threads.

TEST_F(PageProcessorTest, PathsWithBlanksAndNonAsciiBytes) {
  Prepare("da ta \xe9*x/", true, true);
  ASSERT_TRUE(Contains(WebCache(), "da ta \xe9*x/"));
  const std::string address = "http://h/odd.htm";
  ASSERT_EQ(Page(address, Html("Odd folder", "<p>Stored anyway.</p>")), 0);
  EXPECT_EQ(Record(address).name, " Odd folder ");
  ASSERT_EQ(Pdf("http://h/odd.pdf", MakePdf("Odd PDF", "Also stored.")), 0);
  EXPECT_EQ(Record("http://h/odd.pdf", true).name, " Odd PDF ");
  EXPECT_EQ(settings_->docsDone, 2);
}

TEST_F(PageProcessorTest, CrawlLockGuardsTheTable) {
  const std::string address = "http://h/locked.htm";
  const std::string id = MakeDocumentId(address);
  const std::string page = Html("Locked", "<p>Waits for the lock.</p>");
  WriteFile(WebCache() + id + ".htm", page);
  std::atomic<int> result{1};
  std::vector<std::string> links;
  std::vector<int> kinds;
  int frames = 0;
  std::unique_lock<std::mutex> hold(lock_);
  std::thread worker([&] {
    result = processor_->ProcessPage(address, WebCache() + id + ".htm", id, &links, &kinds, &frames,
                                     false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Still waiting for the table lookup: the raw file is not yet archived.
  EXPECT_EQ(result.load(), 1);
  EXPECT_EQ(ReadFile(WebCache() + id + ".htm"), page);
  hold.unlock();
  worker.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_TRUE(store_->web().table.Find(id).found());
}

TEST_F(PageProcessorTest, WorkersProcessPagesAtOnce) {
  constexpr int kPages = 8;
  std::vector<std::thread> workers;
  std::vector<int> results(kPages, 1);
  for (int i = 0; i < kPages; ++i) {
    const std::string address = "http://h/p" + std::to_string(i) + ".htm";
    WriteFile(WebCache() + MakeDocumentId(address) + ".htm",
              Html("Page " + std::to_string(i), "<p>Text " + std::to_string(i) + ".</p>"));
  }
  for (int i = 0; i < kPages; ++i) {
    workers.emplace_back([this, i, &results] {
      const std::string address = "http://h/p" + std::to_string(i) + ".htm";
      const std::string id = MakeDocumentId(address);
      std::vector<std::string> links;
      std::vector<int> kinds;
      int frames = 0;
      results[i] = processor_->ProcessPage(address, WebCache() + id + ".htm", id, &links, &kinds,
                                           &frames, false);
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(results, std::vector<int>(kPages, 0));
  EXPECT_EQ(settings_->docsDone, kPages);
  EXPECT_EQ(store_->web().table.size(), static_cast<size_t>(kPages));
  for (int i = 0; i < kPages; ++i) {
    EXPECT_EQ(Record("http://h/p" + std::to_string(i) + ".htm").name,
              " Page " + std::to_string(i) + " ");
  }
}

TEST_F(PageProcessorTest, WithoutALockTheLocalImportWorks) {
  PageProcessor unlocked(store_.get(), settings_.get(), environment_.get(), nullptr);
  const std::string address = dir_.path() + "file.htm";
  const std::string id = MakeDocumentId(address);
  WriteFile(LocalCache() + id + ".htm", Html("Unlocked", "<p>Fine.</p>"));
  std::vector<std::string> links;
  std::vector<int> kinds;
  int frames = 5;
  EXPECT_EQ(
      unlocked.ProcessPage(address, LocalCache() + id + ".htm", id, &links, &kinds, &frames, true),
      0);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(settings_->docsDone, 1);
}

}  // namespace
}  // namespace qora
