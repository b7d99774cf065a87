#include "engine/environment.h"

#include <gtest/gtest.h>

#include "analysis/cfg_file.h"
#include "tests/test_util.h"

namespace qora {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(EnvironmentTest, WritesTheTemporaryStoreNameExactly) {
  TempDir dir;
  EngineEnvironment::EnvironmentWriteTempStoreName(dir.path(), "temp3");
  EXPECT_EQ(ReadFile(dir.path() + "tmpdoc.ini"), "[environment] \n temp_docstore = temp3");
  // The reader finds the name again.
  EXPECT_EQ(CfgFile::CfgLoad(dir.path() + "tmpdoc.ini").CfgGet("environment", "temp_docstore"),
            "temp3");
}

TEST(EnvironmentTest, MissingKeysReadAsZeroAndEmpty) {
  TempDir dir;
  WriteFile(dir.path() + "main.ini", "[environment]\nrel_per_sec=3\nrel_per_subsec=2\n");
  WriteFile(dir.path() + "tmpdoc.ini", "[environment] \n temp_docstore = t1");
  EngineEnvironment env;
  env.EnvironmentLoad(dir.path(), "main.ini");
  EXPECT_EQ(env.pair_window(), 0);
  EXPECT_EQ(env.stemming(), 0);
  EXPECT_EQ(env.stopword_file(), "");
  EXPECT_EQ(env.temp_store_name(), "t1");
  EXPECT_EQ(env.dictionary()->size(), 0);  // no archive and no stop words
}

TEST(EnvironmentTest, ADamagedArchiveKeepsWhatCouldBeRead) {
  TempDir dir;
  WriteFile(dir.path() + "main.ini",
            "[environment]\nrel_per_sec=3\nrel_per_subsec=2\ndb_archive=w.arc\n");
  WriteFile(dir.path() + "tmpdoc.ini", "[environment] \n temp_docstore = ");
  // Two words announced, one present.
  WriteFile(dir.path() + "w.arc", std::string("\2\0\0\0\3\0\0\0sun\7\0\0\0ab", 17));
  EngineEnvironment env;
  testing::internal::CaptureStderr();
  env.EnvironmentLoad(dir.path(), "main.ini");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("ends early"), std::string::npos);
  EXPECT_EQ(env.dictionary()->size(), 1);
  EXPECT_EQ(env.dictionary()->WordText(0), "sun");
}

}  // namespace
}  // namespace qora
