#include "shell/upload_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_util.h"

namespace qora {
namespace {

TEST(UploadStoreTest, KeepsEachFileInAFolderOfItsOwn) {
  test::TempDir dir;
  std::string first;
  std::string second;
  ASSERT_EQ(SaveUpload(dir.path(), "Report.PDF", "%PDF-1.4 one", &first), "");
  ASSERT_EQ(SaveUpload(dir.path(), "Report.PDF", "%PDF-1.4 two", &second), "");
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(dir.path() + "uploads/", 0), 0u) << first;
  EXPECT_EQ(std::filesystem::path(first).filename(), "Report.PDF");
  EXPECT_EQ(test::ReadFile(first), "%PDF-1.4 one");
  EXPECT_EQ(test::ReadFile(second), "%PDF-1.4 two");
}

TEST(UploadStoreTest, RefusesPathsAndKindsALibraryDoesNotTake) {
  test::TempDir dir;
  for (const char* name : {"", ".", "..", "../escape.html", "a/b.html", "a\\b.html", "notes.txt",
                           "page.html.exe", ".html"}) {
    std::string path = "unchanged";
    EXPECT_NE(SaveUpload(dir.path(), name, "<p>x</p>", &path), "") << name;
    EXPECT_EQ(path, "unchanged");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "escape.html"));
  // A data folder that cannot hold the uploads folder.
  test::WriteFile(dir.path() + "file", "");
  std::string path;
  EXPECT_NE(SaveUpload(dir.path() + "file", "a.html", "<p>x</p>", &path), "");
}

}  // namespace
}  // namespace qora
