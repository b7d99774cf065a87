#include "acquire/program_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

constexpr char kShell[] = "/bin/sh";

TEST(ProgramRunnerTest, ArgumentsArriveExactlyAsGiven) {
  TempDir dir;
  const std::string out = dir.path() + "args.txt";
  const std::vector<std::string> odd = {"a b", "*", "x\\y", "\"quoted\"", "\xe9t\xe9", "", "$(no)"};
  std::vector<std::string> argv = {"sh", "-c",
                                   "for a in \"$@\"; do printf '[%s]' \"$a\"; done > \"$0\""};
  argv.push_back(out);  // $0 of the script
  argv.insert(argv.end(), odd.begin(), odd.end());
  ASSERT_TRUE(RunProgramAndWait(kShell, argv));
  EXPECT_EQ(ReadFile(out), "[a b][*][x\\y][\"quoted\"][\xe9t\xe9][][$(no)]");
}

TEST(ProgramRunnerTest, WaitsForTheProgramToEnd) {
  TempDir dir;
  const std::string out = dir.path() + "late.txt";
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunProgramAndWait(kShell, {"sh", "-c", "sleep 0.3; echo done > \"$0\"", out}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(ReadFile(out), "done\n");
}

TEST(ProgramRunnerTest, ExitStatusIsNotExamined) {
  EXPECT_TRUE(RunProgramAndWait(kShell, {"sh", "-c", "exit 3"}));
  EXPECT_TRUE(RunProgramAndWait(kShell, {"sh", "-c", "kill -9 $$"}));
}

TEST(ProgramRunnerTest, MissingProgramIsNotStarted) {
  TempDir dir;
  EXPECT_FALSE(RunProgramAndWait(dir.path() + "cln.exe", {"dummyarg"}));
  EXPECT_FALSE(RunProgramAndWait(kShell, {}));
  EXPECT_FALSE(RunProgramAndWait("", {"x"}));
  // A file that is not executable cannot be started either.
  const std::string plain = dir.path() + "plain";
  test::WriteFile(plain, "#!/bin/sh\nexit 0\n");
  EXPECT_FALSE(RunProgramAndWait(plain, {"plain"}));
}

TEST(ProgramRunnerTest, ProgramOutputDoesNotReachOurStreams) {
  TempDir dir;
  const std::string capture = dir.path() + "capture.txt";
  std::fflush(nullptr);
  const int saved_out = dup(STDOUT_FILENO);
  const int saved_err = dup(STDERR_FILENO);
  const int file = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, STDOUT_FILENO);
  dup2(file, STDERR_FILENO);
  const bool ran = RunProgramAndWait(kShell, {"sh", "-c", "echo to-out; echo to-err >&2; read x"});
  dup2(saved_out, STDOUT_FILENO);
  dup2(saved_err, STDERR_FILENO);
  close(saved_out);
  close(saved_err);
  close(file);
  EXPECT_TRUE(ran);  // "read" ended at once: its input is /dev/null
  EXPECT_EQ(ReadFile(capture), "");
}

TEST(ProgramRunnerTest, SeveralThreadsRunProgramsAtOnce) {
  TempDir dir;
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&dir, i] {
      const std::string out = dir.path() + "t" + std::to_string(i);
      RunProgramAndWait(
          kShell, {"sh", "-c", "sleep 0.05; printf '%s' \"$1\" > \"$0\"", out, std::to_string(i)});
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(ReadFile(dir.path() + "t" + std::to_string(i)), std::to_string(i));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 8);
}

}  // namespace
}  // namespace qora
