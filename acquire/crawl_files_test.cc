#include "acquire/crawl_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

TEST(CrawlFilesTest, MoveReplacesTheTargetOrLeavesItAbsent) {
  test::TempDir dir;
  WriteFile(dir.path() + "new.dml", "new");
  WriteFile(dir.path() + "old.dml", "old");
  ASSERT_TRUE(MoveFile(dir.path() + "new.dml", dir.path() + "old.dml"));
  EXPECT_EQ(ReadFile(dir.path() + "old.dml"), "new");
  EXPECT_FALSE(fs::exists(dir.path() + "new.dml"));
  // No source: the target does not keep an older file that would pass for
  // the moved one.
  EXPECT_FALSE(MoveFile(dir.path() + "absent.dml", dir.path() + "old.dml"));
  EXPECT_FALSE(fs::exists(dir.path() + "old.dml"));
  RemoveFile(dir.path() + "absent.dml");  // a missing file is no error
}

TEST(CrawlFilesTest, EveryStagingFolderIsNewAndEndsWithASlash) {
  const std::string first = MakeStagingFolder();
  const std::string second = MakeStagingFolder();
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.back(), '/');
  EXPECT_TRUE(fs::is_directory(first));
  EXPECT_TRUE(fs::is_empty(first));
  fs::remove_all(first);
  fs::remove_all(second);
}

}  // namespace
}  // namespace qora
