#include "shell/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_util.h"

namespace qora {
namespace {

using test::FolderSnapshot;
using test::ReadFile;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

TEST(DataFolderTest, CopiesTheWholeInstalledTree) {
  TempDir dir;
  const std::string target = dir.path() + "users/me/qoralibs";
  EXPECT_EQ(InitDataFolder(SourceDataFolder(), target), "");
  EXPECT_EQ(FolderSnapshot(target), FolderSnapshot(SourceDataFolder()));
  EXPECT_EQ(ReadFile(target + "/main.ini"), ReadFile(SourceDataFolder() + "main.ini"));
}

TEST(DataFolderTest, FillsAnEmptyFolderButNeverOverwrites) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() + "empty");
  EXPECT_EQ(InitDataFolder(SourceDataFolder(), dir.path() + "empty"), "");

  WriteFile(dir.path() + "empty/main.ini", "mine");
  const std::string failure = InitDataFolder(SourceDataFolder(), dir.path() + "empty");
  EXPECT_NE(failure.find("is not empty"), std::string::npos) << failure;
  EXPECT_EQ(ReadFile(dir.path() + "empty/main.ini"), "mine");
}

TEST(DataFolderTest, RefusesClearlyWhenTheFolderCannotBeMade) {
  TempDir dir;
  WriteFile(dir.path() + "file", "x");
  std::string failure = InitDataFolder(SourceDataFolder(), dir.path() + "file");
  EXPECT_NE(failure.find("is not a folder"), std::string::npos) << failure;
  failure = InitDataFolder(SourceDataFolder(), dir.path() + "file/sub");
  EXPECT_NE(failure.find("could not create"), std::string::npos) << failure;
  failure = InitDataFolder(dir.path() + "missing/", dir.path() + "new");
  EXPECT_NE(failure.find("installed data folder"), std::string::npos) << failure;
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "new"));
}

// An installed folder that holds only part of the tree (or nothing, as a
// build that made only the command line once had) makes no data folder.
TEST(DataFolderTest, AnIncompleteInstalledFolderMakesNothing) {
  TempDir dir;
  const std::string installed = dir.path() + "installed/";
  std::filesystem::create_directories(installed);
  std::string failure = InitDataFolder(installed, dir.path() + "new");
  EXPECT_NE(failure.find("lacks main.ini, crawl.ini"), std::string::npos) << failure;
  EXPECT_NE(failure.find("template/, libraries/"), std::string::npos) << failure;
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "new"));

  std::filesystem::copy(SourceDataFolder(), installed, std::filesystem::copy_options::recursive);
  std::filesystem::remove(installed + "stopword.txt");
  std::filesystem::create_directory(dir.path() + "empty");
  failure = InitDataFolder(installed, dir.path() + "empty");
  EXPECT_NE(failure.find("lacks stopword.txt ("), std::string::npos) << failure;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "empty"));
  EXPECT_EQ(MissingDataFiles(SourceDataFolder()), "");
}

TEST(DataFolderTest, AddsTheTrailingSeparatorOnce) {
  EXPECT_EQ(WithTrailingSeparator("/a/b"), "/a/b/");
  EXPECT_EQ(WithTrailingSeparator("/a/b/"), "/a/b/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

}  // namespace
}  // namespace qora
