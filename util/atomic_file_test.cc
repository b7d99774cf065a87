#include "util/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "tests/test_util.h"

namespace qora {
namespace {

TEST(ReplaceFileTest, ReplacesWholeOrKeepsTheOldFileAndLeavesNoPartialFile) {
  test::TempDir dir;
  const std::string path = dir.path() + "table.chx";
  for (Durability durability : {Durability::kRenamed, Durability::kSynced}) {
    test::WriteFile(path, "old");
    ASSERT_TRUE(ReplaceFileWith(path, "new content", durability));
    EXPECT_EQ(test::ReadFile(path), "new content");

    // A writer that gives up leaves the old file.
    EXPECT_FALSE(ReplaceFile(
        path, [](std::ostream& out) { return static_cast<bool>(out << "half"), false; },
        durability));
    EXPECT_EQ(test::ReadFile(path), "new content");
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

    // A writer that throws: the exception goes on, the old file stays.
    EXPECT_THROW(ReplaceFile(
                     path,
                     [](std::ostream& out) -> bool {
                       out << "half";
                       throw std::bad_alloc();
                     },
                     durability),
                 std::bad_alloc);
    EXPECT_EQ(test::ReadFile(path), "new content");
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  }
}

TEST(ReplaceFileTest, FailsWhenThePartialFileOrTheRenameCannotBeMade) {
  test::TempDir dir;
  // No folder to write in.
  EXPECT_FALSE(ReplaceFileWith(dir.path() + "missing/file", "x", Durability::kSynced));
  // A folder stands where the file must go: the rename fails, nothing is left behind.
  const std::string occupied = dir.path() + "master.idx";
  std::filesystem::create_directory(occupied);
  std::filesystem::create_directory(occupied + "/inside");
  EXPECT_FALSE(ReplaceFileWith(occupied, "x", Durability::kSynced));
  EXPECT_TRUE(std::filesystem::is_directory(occupied + "/inside"));
  EXPECT_FALSE(std::filesystem::exists(occupied + ".partial"));
  EXPECT_TRUE(SyncFolder(dir.path()));
  EXPECT_FALSE(SyncFolder(dir.path() + "missing"));
}

}  // namespace
}  // namespace qora
