#include "acquire/local_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analysis/cfg_file.h"
#include "engine/engine.h"
#include "qora/engine.h"
#include "store/document_id.h"
#include "tests/engine_status.h"
#include "tests/pdf_builder.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

std::string Page(const std::string& title, const std::string& text) {
  return "<html><head><title>" + title + "</title></head><body><p>" + text +
         "</p><a href=\"other.html\">other</a></body></html>";
}

// A minimal PDF with one line of text, its offsets computed as it is built.
std::string Pdf(const std::string& text) {
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
      "<< /Title (Tidal power) >>"};
  const std::string stream = "BT /F1 12 Tf 72 720 Td (" + text + ") Tj ET";
  objects[3] = test::PdfStreamObject(stream);
  return test::AssemblePdf(objects, 6);
}

// An engine on a copy of the installed data folder with the built page
// cleaner and PDF converter, and one library.
class LocalImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "data/";
    fs::copy(test::SourceDataFolder(), data_, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, data_ + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, data_ + "hlp22.exe");
    files_ = dir_.path() + "my files/";
    fs::create_directories(files_);
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    char* ident = nullptr;
    EngineCreateStore("Imports", &ident, &store_);
    ASSERT_GT(store_, 0);
    EngineFreeString(ident);
  }
  void TearDown() override { EngineDestroy(); }

  DocumentStore* Store() { return CurrentEngine()->FindStore(store_); }
  EngineEnvironment* Env() { return &CurrentEngine()->environment(); }
  std::string Cache() { return Store()->local().cache_folder; }

  // The lines of the local "cache.chx".
  std::vector<std::string> TableLines() { return test::FileLines(Store()->local().TablePath()); }

  // The ids the local "cache.chx" lists, each once, with its files present.
  std::set<std::string> StoredIds() {
    std::set<std::string> ids;
    for (const std::string& line : TableLines()) {
      const std::string id = line.substr(0, line.find('|'));
      EXPECT_TRUE(ids.insert(id).second) << "listed twice: " << line;
      EXPECT_TRUE(fs::exists(Cache() + id + ".dml")) << line;
    }
    return ids;
  }

  std::string Status() { return test::EngineStatusText(); }

  test::TempDir dir_;
  std::string data_;
  std::string files_;
  int store_ = -1;
};

TEST_F(LocalImportTest, AddsListedFilesOnceEachAndLeavesNothingOfRejectedOnes) {
  const std::string html = files_ + "solar panels.html";
  const std::string upper = files_ + "TIDES.HTM";
  const std::string pdf = files_ + "tidal \xc3\xa9nergie.pdf";
  const std::string text = files_ + "notes.txt";
  const std::string binary = files_ + "binary.htm";
  const std::string broken = files_ + "broken.pdf";
  WriteFile(html, Page("Solar panels", "Solar panels convert sunlight into electricity."));
  WriteFile(upper, Page("Tides", "The tides rise and fall twice a day."));
  WriteFile(pdf, Pdf("Tidal power turns the motion of the sea into electricity."));
  WriteFile(text, "plain notes");
  WriteFile(binary, std::string("\x00\x01\x02\xff\xfe<\x00", 7) + std::string(70000, '\x07'));
  WriteFile(broken, "%PDF-1.4 this is not a document");

  int result = -2;
  const std::string list = html + "|" + upper + "||" + pdf + "|" + text + "|" + files_ + "missing.htm|" +
                           binary + "|" + broken + "|";
  EngineAddFiles(store_, list.c_str(), "dpth=9", &result);
  ASSERT_EQ(result, 0);

  // The binary page is judged on what the cleaner makes of it, a page
  // without text: it is stored, empty. The broken PDF is not.
  const std::set<std::string> ids = StoredIds();
  EXPECT_EQ(ids, (std::set<std::string>{MakeDocumentId(html), MakeDocumentId(upper),
                                         MakeDocumentId(pdf), MakeDocumentId(binary)}));
  EXPECT_EQ(ReadFile(Cache() + MakeDocumentId(binary) + ".dml").find("<s>"), std::string::npos);
  EXPECT_EQ(Store()->local().table.size(), 0u);  // emptied at the end
  const std::string dml = ReadFile(Cache() + MakeDocumentId(html) + ".dml");
  EXPECT_NE(dml.find("Solar panels convert sunlight"), std::string::npos) << dml;
  EXPECT_NE(ReadFile(Cache() + MakeDocumentId(pdf) + ".dml").find("Tidal power"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(Cache() + MakeDocumentId(pdf) + ".pdf"));
  // The archived copy opens with the page's base address.
  EXPECT_EQ(ReadFile(Cache() + MakeDocumentId(html) + ".htm").rfind("<base href=\"" + html, 0),
            0u);
  // Nothing is left of the rejected files: only the stored documents' files.
  for (const auto& entry : fs::directory_iterator(Cache())) {
    const std::string name = entry.path().filename().string();
    if (name == "cache.chx" || name == ".keep") continue;
    EXPECT_EQ(ids.count(name.substr(0, name.find('.'))), 1u) << name;
  }

  // Importing again stores nothing twice and keeps the archived copy.
  const std::string archived = ReadFile(Cache() + MakeDocumentId(html) + ".htm");
  WriteFile(html, Page("Changed", "Other words altogether."));
  LocalImporter importer(Store(), Env());
  ASSERT_EQ(importer.AddFiles(html + "|" + upper), 0);
  EXPECT_EQ(importer.settings().sitesDone, 2);
  EXPECT_EQ(StoredIds().size(), 4u);
  EXPECT_EQ(TableLines().size(), 4u);
  EXPECT_EQ(ReadFile(Cache() + MakeDocumentId(html) + ".htm"), archived);
  EXPECT_EQ(Status(), "2: TIDES.HTM");

  // The stored documents are indexed by the next processing run.
  EngineProcessStore(store_, 0, &result);
  EXPECT_TRUE(fs::exists(Store()->local().index_folder + MakeDocumentId(pdf) + ".idx"));
}

TEST_F(LocalImportTest, AListWithoutPathsImportsNothing) {
  LocalImporter importer(Store(), Env());
  EXPECT_EQ(importer.AddFiles("|||"), -1);
  EXPECT_EQ(importer.AddFiles(""), -1);
  EXPECT_FALSE(fs::exists(Store()->local().TablePath()) &&
               !ReadFile(Store()->local().TablePath()).empty());
}

TEST_F(LocalImportTest, ATableFileThatCannotBeWrittenFailsTheImport) {
  // A directory where the table file must go: the superuser cannot append
  // to it either.
  fs::remove(Store()->local().TablePath());
  fs::create_directories(Store()->local().TablePath() + "/blocked");
  const std::string html = files_ + "a.html";
  WriteFile(html, Page("A", "Some text here."));
  int result = -2;
  EngineAddFiles(store_, html.c_str(), "", &result);
  EXPECT_EQ(result, 1);
  LocalImporter importer(Store(), Env());
  EXPECT_EQ(importer.CrawlFolder(files_, 3, 1000000, 10), 1);
}

TEST_F(LocalImportTest, AMissingCrawlIniIsAnErrorAndImportsNothing) {
  fs::remove(data_ + "crawl.ini");
  const std::string html = files_ + "a.html";
  WriteFile(html, Page("A", "Some text here."));
  int result = -2;
  EngineAddFiles(store_, html.c_str(), "", &result);
  EXPECT_EQ(result, -1);
  EngineAddFiles(99999, html.c_str(), "", &result);
  EXPECT_EQ(result, 1);
  LocalImporter importer(Store(), Env());
  EXPECT_THROW(importer.CrawlFolder(files_, 3, 1000000, 10), CfgError);
  EXPECT_TRUE(StoredIds().empty());
}

// A folder tree with every kind of entry the walk must judge.
class FolderWalkTest : public LocalImportTest {
 protected:
  void SetUp() override {
    LocalImportTest::SetUp();
    for (const char* folder : {"sub", "sub/deeper", "read only", ".hidden dir"}) {
      fs::create_directories(files_ + folder);
    }
    WriteFile(files_ + "a one.html", Page("One", "The first page of the walk."));
    WriteFile(files_ + "b two.htm", Page("Two", "The second page of the walk."));
    WriteFile(files_ + "c three.html", Page("Three", "The third page of the walk."));
    WriteFile(files_ + "skip.txt", "not a page");
    WriteFile(files_ + ".hidden.html", Page("Hidden", "A hidden page."));
    WriteFile(files_ + "sub/d four.html", Page("Four", "A page one level down."));
    WriteFile(files_ + "sub/deeper/e five.html", Page("Five", "A page two levels down."));
    WriteFile(files_ + "read only/f six.html", Page("Six", "A page in a read-only folder."));
    WriteFile(files_ + ".hidden dir/g seven.html", Page("Seven", "A page in a hidden folder."));
    fs::permissions(files_ + "c three.html", fs::perms::owner_read | fs::perms::group_read);
    fs::permissions(files_ + "read only", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_symlink(files_ + "a one.html", files_ + "link.html");
    fs::create_directory_symlink(files_, files_ + "sub/loop");
    ASSERT_EQ(::mkfifo((files_ + "pipe.html").c_str(), 0600), 0);
  }
  void TearDown() override {
    fs::permissions(files_ + "read only", fs::perms::owner_all);
    LocalImportTest::TearDown();
  }

  std::set<std::string> Imported(int depth, int max_docs) {
    int result = -2;
    EngineCrawlIntoStore(store_, files_.c_str(), depth, 1000000, max_docs, &result);
    EXPECT_EQ(result, 0);
    std::set<std::string> names;
    for (const std::string& line : TableLines()) {
      const std::string address = line.substr(line.find('|') + 1);
      names.insert(address.substr(files_.size(), address.find('|') - files_.size()));
    }
    return names;
  }
};

TEST_F(FolderWalkTest, WalksVisibleFilesAndWritableFoldersToTheDepth) {
  EXPECT_EQ(Imported(3, 50), (std::set<std::string>{"a one.html", "b two.htm", "c three.html",
                                                     "sub/d four.html", "sub/deeper/e five.html"}));
  EXPECT_EQ(StoredIds().size(), 5u);
}

TEST_F(FolderWalkTest, DepthOneTakesTheFolderItselfAndDepthZeroNothing) {
  EXPECT_EQ(Imported(0, 50), std::set<std::string>{});
  EXPECT_EQ(Imported(1, 50),
            (std::set<std::string>{"a one.html", "b two.htm", "c three.html"}));
}

TEST_F(FolderWalkTest, StopsAtTheDocumentLimit) {
  EXPECT_EQ(Imported(3, 2), (std::set<std::string>{"a one.html", "b two.htm"}));
  LocalImporter importer(Store(), Env());
  importer.CrawlFolder(files_, 3, 1000000, 3);
  // The two already stored count again, the walk stops after one more.
  EXPECT_EQ(importer.settings().sitesDone, 3);
  EXPECT_EQ(StoredIds().size(), 3u);
}

TEST_F(FolderWalkTest, AStopEndsTheWalkAndKeepsWhatWasStored) {
  // A page cleaner that takes its time, so that the stop requested once the
  // first file is stored comes while the walk is still under way.
  const std::string cleaner = data_ + "cln.exe";
  fs::remove(cleaner);
  WriteFile(cleaner, std::string("#!/bin/sh\nsleep 0.3\nexec '") + QORA_PAGE_CLEANER + "' \"$@\"\n");
  fs::permissions(cleaner, fs::perms::owner_all);
  std::thread stopper([] {
    for (int i = 0; i < 2000 && test::EngineStatusText().rfind("1: ", 0) != 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int stop = -2;
    EngineSetStop(1, &stop);
  });
  const std::set<std::string> imported = Imported(3, 50);
  stopper.join();
  // The file being imported when the stop came is finished; no more.
  EXPECT_EQ(imported.count("a one.html"), 1u);
  EXPECT_LE(imported.size(), 2u);
  EXPECT_EQ(StoredIds().size(), imported.size());
  EXPECT_EQ(Status(), "Stop requested. Please wait...");
}

// The stop flag is cleared at the start of every import: a stop
// that ended an earlier operation, or that came between two, does not end
// the next one before it begins.
TEST_F(FolderWalkTest, AStopOfAnEarlierOperationDoesNotEndTheNextImport) {
  int result = -2;
  EngineSetStop(1, &result);
  EXPECT_EQ(Imported(1, 50),
            (std::set<std::string>{"a one.html", "b two.htm", "c three.html"}));
  EngineSetStop(1, &result);
  const std::string page = files_ + "sub/d four.html";
  EngineAddFiles(store_, page.c_str(), "", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(StoredIds().count(MakeDocumentId(page)), 1u);
  EXPECT_EQ(StoredIds().size(), 4u);
}

}  // namespace
}  // namespace qora
