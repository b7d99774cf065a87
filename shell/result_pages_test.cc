#include "shell/result_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_util.h"

namespace qora {
namespace {

using test::FolderSnapshot;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

namespace fs = std::filesystem;

const std::string kEmpty(kEmptyPageText);

// A data folder whose five templates name their kind and show both
// placeholders, so a page tells which template and which values made it.
class ResultPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"map", "csum", "csumry", "sumry", "sum"}) {
      fs::create_directory(data() + name);
      WriteFile(
          data() + name + "/" + name + ".htm",
          std::string("[") + name + "] dml=<!-- XML FILE PATH --> src=<!-- SOURCE FOLDER PATH -->");
    }
  }

  const std::string& data() const { return dir_.path(); }
  std::string Page(const std::string& name) const { return ReadFile(data() + "html/" + name); }
  bool HasPage(const std::string& name) const { return fs::exists(data() + "html/" + name); }

  std::string Expected(const std::string& name, const std::string& dml) const {
    return "[" + name + "] dml=" + dml + " src=" + data() + name + "/";
  }

 private:
  TempDir dir_;
};

TEST(ResultPageKindTest, NamesTheThreeKinds) {
  EXPECT_EQ(ResultPageKindNamed("map"), ResultPageKind::kMap);
  EXPECT_EQ(ResultPageKindNamed("csum"), ResultPageKind::kCombinedSummary);
  EXPECT_EQ(ResultPageKindNamed("sumry"), ResultPageKind::kSingleSummary);
  EXPECT_EQ(ResultPageKindNamed("sum"), std::nullopt);
  EXPECT_EQ(ResultPageKindNamed("csumry"), std::nullopt);
  EXPECT_EQ(ResultPageKindNamed(""), std::nullopt);
}

TEST(FillPageTemplateTest, ReplacesEveryPlaceholder) {
  EXPECT_EQ(FillPageTemplate("a<!-- XML FILE PATH -->b<!-- SOURCE FOLDER PATH -->c"
                             "<!-- XML FILE PATH --><!-- SOURCE FOLDER PATH -->",
                             "/d/x.dml", "/d/map/"),
            "a/d/x.dmlb/d/map/c/d/x.dml/d/map/");
  EXPECT_EQ(FillPageTemplate("no placeholder", "/p", "/s"), "no placeholder");
  EXPECT_EQ(FillPageTemplate("", "/p", "/s"), "");
  EXPECT_EQ(FillPageTemplate("<!-- XML FILE PATH -->", "", "/s"), "");
}

// The scan goes on after the inserted text: a path that holds a placeholder
// keeps it literally, whichever placeholder it is.
TEST(FillPageTemplateTest, NeverReplacesInsertedText) {
  EXPECT_EQ(FillPageTemplate("<!-- XML FILE PATH -->|<!-- SOURCE FOLDER PATH -->",
                             "/a<!-- SOURCE FOLDER PATH -->b<!-- XML FILE PATH -->", "/src/"),
            "/a<!-- SOURCE FOLDER PATH -->b<!-- XML FILE PATH -->|/src/");
  EXPECT_EQ(FillPageTemplate("<!-- SOURCE FOLDER PATH -->|<!-- XML FILE PATH -->", "/p.dml",
                             "/s<!-- XML FILE PATH -->/"),
            "/s<!-- XML FILE PATH -->/|/p.dml");
}

// A placeholder cut short or spelt otherwise stays as it is.
TEST(FillPageTemplateTest, LeavesNearMissesAlone) {
  EXPECT_EQ(FillPageTemplate("<!-- XML FILE PATH ->|<!--XML FILE PATH-->|<!-- xml file path -->",
                             "/p", "/s"),
            "<!-- XML FILE PATH ->|<!--XML FILE PATH-->|<!-- xml file path -->");
}

TEST(SummaryDmlPathTest, CutsTheFileScheme) {
  EXPECT_EQ(SummaryDmlPath("file:///d/x_.dml"), "/d/x_.dml");
  EXPECT_EQ(SummaryDmlPath("/d/x_.dml"), "/d/x_.dml");
  // The cut is at the first "file://" wherever it stands.
  EXPECT_EQ(SummaryDmlPath("xyfile:///d/a.dml"), "/d/a.dml");
  EXPECT_EQ(SummaryDmlPath("file://file:///d"), "file:///d");
  EXPECT_EQ(SummaryDmlPath("file://"), "");
}

TEST_F(ResultPagesTest, MapWritesOnePageWithBothPlaceholdersFilled) {
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kMap, "/tmp/t/map1.dml", &first), "");
  EXPECT_EQ(first, "map_.htm");
  EXPECT_EQ(Page("map_.htm"), Expected("map", "/tmp/t/map1.dml"));
  EXPECT_FALSE(HasPage("csum_.htm"));
  EXPECT_FALSE(HasPage("sumry_.htm"));
}

// The concept map passes its path on unchanged, "file://" included.
TEST_F(ResultPagesTest, MapKeepsAFileScheme) {
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kMap, "file:///t/m.dml", &first), "");
  EXPECT_EQ(Page("map_.htm"), Expected("map", "file:///t/m.dml"));
}

TEST_F(ResultPagesTest, SingleSummaryWritesSumryAndSum) {
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kSingleSummary, "file:///t/d_.dml", &first),
            "");
  EXPECT_EQ(first, "sumry_.htm");
  EXPECT_EQ(Page("sumry_.htm"), Expected("sumry", "/t/d_.dml"));
  EXPECT_EQ(Page("sum_.htm"), Expected("sum", "/t/d_.dml"));
  EXPECT_FALSE(HasPage("csum_.htm"));
  EXPECT_FALSE(HasPage("map_.htm"));
}

TEST_F(ResultPagesTest, CombinedSummaryWritesCsumAndCsumry) {
  std::string first;
  EXPECT_EQ(
      WriteResultPages(data(), ResultPageKind::kCombinedSummary, "file:///t/csummary.dml", &first),
      "");
  EXPECT_EQ(first, "csum_.htm");
  EXPECT_EQ(Page("csum_.htm"), Expected("csum", "/t/csummary.dml"));
  EXPECT_EQ(Page("csumry_.htm"), Expected("csumry", "/t/csummary.dml"));
  EXPECT_FALSE(HasPage("sumry_.htm"));
}

// The data folder may be given without its trailing separator.
TEST_F(ResultPagesTest, TakesTheDataFolderWithoutItsSeparator) {
  std::string data_folder = data();
  data_folder.pop_back();
  std::string first;
  EXPECT_EQ(WriteResultPages(data_folder, ResultPageKind::kMap, "/m.dml", &first), "");
  EXPECT_EQ(Page("map_.htm"), Expected("map", "/m.dml"));
}

TEST_F(ResultPagesTest, AnEmptyPathWritesNoPageOfAnyKind) {
  fs::create_directories(data() + "html");
  WriteFile(data() + "html/map_.htm", "previous map");
  const std::string before = FolderSnapshot(data());
  for (ResultPageKind kind :
       {ResultPageKind::kMap, ResultPageKind::kCombinedSummary, ResultPageKind::kSingleSummary}) {
    std::string first = "stale";
    EXPECT_EQ(WriteResultPages(data(), kind, "", &first), "");
    EXPECT_EQ(first, "");
  }
  EXPECT_EQ(FolderSnapshot(data()), before);
  EXPECT_EQ(Page("map_.htm"), "previous map");
}

// A path that is nothing but the scheme is empty once cut: the pages say so.
TEST_F(ResultPagesTest, ASummaryPathOfOnlyTheSchemeShowsEmptyPages) {
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kSingleSummary, "file://", &first), "");
  EXPECT_EQ(first, "sumry_.htm");
  EXPECT_EQ(Page("sumry_.htm"), kEmpty);
  EXPECT_EQ(Page("sum_.htm"), kEmpty);
}

TEST_F(ResultPagesTest, AMissingTemplateGivesTheEmptyPage) {
  fs::remove(data() + "sum/sum.htm");
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kSingleSummary, "/t/d_.dml", &first), "");
  EXPECT_EQ(first, "sumry_.htm");
  EXPECT_EQ(Page("sumry_.htm"), Expected("sumry", "/t/d_.dml"));
  EXPECT_EQ(Page("sum_.htm"), kEmpty);
}

// A template that is a folder cannot be read either.
TEST_F(ResultPagesTest, AnUnreadableTemplateGivesTheEmptyPage) {
  fs::remove(data() + "map/map.htm");
  fs::create_directory(data() + "map/map.htm");
  std::string first;
  EXPECT_EQ(WriteResultPages(data(), ResultPageKind::kMap, "/m.dml", &first), "");
  EXPECT_EQ(Page("map_.htm"), kEmpty);
}

TEST_F(ResultPagesTest, ReplacesAnEarlierPageWhole) {
  std::string first;
  ASSERT_EQ(WriteResultPages(data(), ResultPageKind::kMap, "/first-and-much-longer.dml", &first),
            "");
  ASSERT_EQ(WriteResultPages(data(), ResultPageKind::kMap, "/b.dml", &first), "");
  EXPECT_EQ(Page("map_.htm"), Expected("map", "/b.dml"));
  EXPECT_FALSE(fs::exists(data() + "html/map_.htm.partial"));
}

TEST_F(ResultPagesTest, FailsClearlyWhenThePageFolderCannotBeMade) {
  WriteFile(data() + "html", "a file where the page folder belongs");
  std::string first = "stale";
  const std::string failure = WriteResultPages(data(), ResultPageKind::kMap, "/m.dml", &first);
  EXPECT_NE(failure.find("could not make the page folder"), std::string::npos) << failure;
  EXPECT_EQ(first, "");
  EXPECT_EQ(ReadFile(data() + "html"), "a file where the page folder belongs");
}

// When the first page cannot be written the second is not written either,
// and no page is named to be shown.
TEST_F(ResultPagesTest, StopsAtThePageThatCannotBeWritten) {
  fs::create_directories(data() + "html/csum_.htm/occupied");
  std::string first = "stale";
  const std::string failure =
      WriteResultPages(data(), ResultPageKind::kCombinedSummary, "/c.dml", &first);
  EXPECT_NE(failure.find("could not write the page"), std::string::npos) << failure;
  EXPECT_NE(failure.find("csum_.htm"), std::string::npos) << failure;
  EXPECT_EQ(first, "");
  EXPECT_FALSE(HasPage("csumry_.htm"));
  EXPECT_TRUE(fs::is_directory(data() + "html/csum_.htm/occupied"));
}

TEST(WriteResultPageTest, WritesTheEmptyPageForAnEmptyPath) {
  TempDir dir;
  WriteFile(dir.path() + "t.htm", "<!-- XML FILE PATH -->");
  EXPECT_EQ(WriteResultPage(dir.path() + "t.htm", dir.path() + "p.htm", "/s/", ""), "");
  EXPECT_EQ(ReadFile(dir.path() + "p.htm"), kEmpty);
  EXPECT_EQ(WriteResultPage(dir.path() + "t.htm", dir.path() + "p.htm", "/s/", "/x.dml"), "");
  EXPECT_EQ(ReadFile(dir.path() + "p.htm"), "/x.dml");
}

// The installed templates carry both placeholders, and a page made from
// each keeps none of them.
TEST(InstalledTemplatesTest, EachShowsItsDmlFile) {
  for (const char* name : {"map", "csum", "csumry", "sumry", "sum"}) {
    const std::string text = ReadFile(test::SourceDataFolder() + name + "/" + name + ".htm");
    EXPECT_NE(text.find(kDmlPathPlaceholder), std::string::npos) << name;
    EXPECT_NE(text.find(kSourceFolderPlaceholder), std::string::npos) << name;
    const std::string page = FillPageTemplate(text, "/d/x.dml", "/d/" + std::string(name) + "/");
    EXPECT_EQ(page.find("<!-- XML FILE PATH -->"), std::string::npos) << name;
    EXPECT_EQ(page.find("<!-- SOURCE FOLDER PATH -->"), std::string::npos) << name;
    EXPECT_NE(page.find(">/d/x.dml<"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace qora
