#include "shell/startup.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

TEST(StartupTest, TheDataFolderComesFromTheLineTheEnvironmentOrTheSettings) {
  const char* saved = std::getenv("QORA_DATA");
  const std::string kept = saved != nullptr ? saved : "";
  unsetenv("QORA_DATA");
  SettingsStore settings;
  EXPECT_EQ(ConfiguredDataFolder("", settings), "");  // "does_not_exist": a first start
  settings.WriteString("Main", "rootFolder", "/home/me/qoralibs/");
  EXPECT_EQ(ConfiguredDataFolder("", settings), "/home/me/qoralibs/");
  setenv("QORA_DATA", "/env/data", 1);
  EXPECT_EQ(ConfiguredDataFolder("", settings), "/env/data/");
  EXPECT_EQ(ConfiguredDataFolder("/given", settings), "/given/");
  if (saved != nullptr) {
    setenv("QORA_DATA", kept.c_str(), 1);
  } else {
    unsetenv("QORA_DATA");
  }
}

TEST(StartupTest, AFirstStartMakesQoralibsInTheChosenFolder) {
  EXPECT_EQ(FirstStartFolder("/home/me"), "/home/me/qoralibs/");
  EXPECT_EQ(FirstStartFolder("/home/me/"), "/home/me/qoralibs/");
  EXPECT_EQ(FirstStartFolder("C:\\data\\mine"), "C:/data/mine/qoralibs/");
  EXPECT_EQ(FirstStartFolder("  "), "");

  test::TempDir dir;
  const std::string folder = FirstStartFolder(dir.path() + "new/place");
  ASSERT_EQ(MakeUserDataFolder(test::SourceDataFolder(), folder), "");
  EXPECT_EQ(test::FolderSnapshot(folder), test::FolderSnapshot(test::SourceDataFolder()));

  // A folder that cannot be made is refused with the start's own text, and
  // an installed folder that lacks its files leaves nothing behind.
  test::WriteFile(dir.path() + "file", "x");
  EXPECT_EQ(MakeUserDataFolder(test::SourceDataFolder(), FirstStartFolder(dir.path() + "file")),
            kCreateFolderFailed);
  fs::create_directories(dir.path() + "empty-install");
  EXPECT_NE(MakeUserDataFolder(dir.path() + "empty-install", dir.path() + "other/qoralibs/"), "");
  EXPECT_FALSE(fs::exists(dir.path() + "other"));
}

TEST(StartupTest, TemplatesAreRefreshedFromANewerInstalledVersion) {
  test::TempDir dir;
  const std::string installed = dir.path() + "installed/";
  fs::copy(test::SourceDataFolder(), installed, fs::copy_options::recursive);
  EXPECT_EQ(InstalledTemplateVersion(installed), 1);
  test::WriteFile(installed + "libversion", " 7\n");
  EXPECT_EQ(InstalledTemplateVersion(installed), 7);
  test::WriteFile(installed + "libversion", "seven");
  EXPECT_EQ(InstalledTemplateVersion(installed), -3);
  fs::remove(installed + "libversion");
  EXPECT_EQ(InstalledTemplateVersion(installed), -2);

  EXPECT_EQ(CompareTemplateVersions(7, 6), 1);
  EXPECT_EQ(CompareTemplateVersions(7, 7), 0);
  EXPECT_EQ(CompareTemplateVersions(7, 8), -1);
  EXPECT_EQ(CompareTemplateVersions(-2, 0), -2);

  const std::string user = dir.path() + "user/";
  fs::copy(test::SourceDataFolder(), user, fs::copy_options::recursive);
  test::WriteFile(user + "main.ini", "old");
  test::WriteFile(user + "libraries/mine.ini", "kept");
  test::WriteFile(user + "tmpdoc.ini", "[environment]\n temp_docstore = ds1\n");
  fs::remove_all(user + "template");
  ASSERT_EQ(RefreshTemplates(installed, user), "");
  EXPECT_EQ(test::ReadFile(user + "main.ini"), test::ReadFile(installed + "main.ini"));
  EXPECT_EQ(test::ReadFile(user + "template/__IDENT.ini"),
            test::ReadFile(installed + "template/__IDENT.ini"));
  EXPECT_EQ(test::ReadFile(user + "libraries/mine.ini"), "kept");
  // The temporary library's name stays, or the library would be orphaned.
  EXPECT_EQ(test::ReadFile(user + "tmpdoc.ini"), "[environment]\n temp_docstore = ds1\n");
}

}  // namespace
}  // namespace qora
