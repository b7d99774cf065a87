#include "shell/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/test_util.h"

namespace qora {
namespace {

TEST(InstanceLockTest, OneHolderAtATimeAndASecondStartFindsTheFirst) {
  test::TempDir dir;
  const std::string path = dir.path() + "run/qora/instance.lock";
  InstanceLock first;
  ASSERT_EQ(first.Acquire(path), "");
  ASSERT_TRUE(first.RecordAddress("http://127.0.0.1:8311/"));
  EXPECT_EQ(std::filesystem::status(dir.path() + "run/qora").permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_all);

  // Another process cannot take it (a lock of this process would be shared
  // by its descriptors, so the second start runs in a child).
  const pid_t child = ::fork();
  if (child == 0) {
    InstanceLock second;
    const bool refused = second.Acquire(path) == "Application already running!";
    const bool found = RunningAddress(path) == "http://127.0.0.1:8311/";
    ::_exit(refused && found ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // The lock goes with the first copy, and so does its address.
  first.Release();
  EXPECT_EQ(RunningAddress(path), "");
  InstanceLock again;
  EXPECT_EQ(again.Acquire(path), "");
}

TEST(InstanceLockTest, AFolderThatCannotBeMadeIsSaid) {
  test::TempDir dir;
  test::WriteFile(dir.path() + "file", "x");
  InstanceLock lock;
  const std::string failure = lock.Acquire(dir.path() + "file/qora/instance.lock");
  EXPECT_NE(failure.find("cannot open the lock file"), std::string::npos) << failure;
  EXPECT_FALSE(lock.held());
}

}  // namespace
}  // namespace qora
