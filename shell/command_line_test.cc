#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/test_util.h"

namespace qora {
namespace {

using test::FolderSnapshot;
using test::SourceDataFolder;
using test::TempDir;
using test::WriteFile;

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome Qora(const std::vector<std::string>& arguments) {
  std::ostringstream out, err;
  testing::internal::CaptureStderr();  // the engine's own messages
  const int status = RunCommandLine(arguments, out, err);
  return {status, out.str(), err.str() + testing::internal::GetCapturedStderr()};
}

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("QORA_INSTALLED_DATA", SourceDataFolder().c_str(), 1); }
  TempDir dir_;
};

TEST_F(CommandLineTest, InitThenInfoShowsTheInstalledEnvironment) {
  const std::string data = dir_.path() + "qoralibs";
  Outcome init = Qora({"init", data});
  ASSERT_EQ(init.status, 0) << init.err;
  Outcome info = Qora({"--data", data, "info"});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("pair window            5\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("stemming               on (stemmed_model = 1)"), std::string::npos);
  EXPECT_NE(info.out.find("stop words             127\n"), std::string::npos) << info.out;
  // The first start makes the temporary store.
  EXPECT_NE(info.out.find("temporary store        ds"), std::string::npos) << info.out;
  // The run ends by saving its word lists.
  EXPECT_NE(FolderSnapshot(data).find("words.arc"), std::string::npos);
}

TEST_F(CommandLineTest, BrokenEnvironmentFileFailsAndWritesNothing) {
  const std::string data = dir_.path() + "qoralibs";
  ASSERT_EQ(Qora({"init", data}).status, 0);
  WriteFile(data + "/main.ini", "%");
  const std::string before = FolderSnapshot(data);
  Outcome info = Qora({"--data", data, "info"});
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.err.find("\nfatal error: cfg file size < 5bytes (min allowed)\n"),
            std::string::npos)
      << info.err;
  EXPECT_EQ(info.out, "");
  EXPECT_EQ(FolderSnapshot(data), before);
}

TEST_F(CommandLineTest, WrongCommandLinesAreRefused) {
  EXPECT_EQ(Qora({}).status, 2);
  EXPECT_EQ(Qora({"frobnicate"}).status, 2);
  EXPECT_EQ(Qora({"--colour", "info"}).status, 2);
  EXPECT_EQ(Qora({"init"}).status, 2);
  Outcome help = Qora({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: qora"), std::string::npos);
  WriteFile(dir_.path() + "notes.txt", "mine");
  Outcome again = Qora({"init", dir_.path()});  // exists and is not empty
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("is not empty"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace qora
