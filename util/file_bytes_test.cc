#include "util/file_bytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "tests/test_util.h"

namespace qora {
namespace {

std::string Sample(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) % 251);
  return bytes;
}

TEST(FileBytesTest, ReadsAndMapsWholeFiles) {
  test::TempDir dir;
  for (size_t size : {size_t{0}, size_t{1}, size_t{4096}, size_t{300001}}) {
    const std::string path = dir.path() + "f" + std::to_string(size);
    test::WriteFile(path, Sample(size));
    std::string read = "old";
    EXPECT_TRUE(ReadWholeFile(path, &read));
    EXPECT_EQ(Sample(size), read);
    FileBytes mapped;
    EXPECT_TRUE(mapped.Open(path));
    EXPECT_EQ(Sample(size), mapped.bytes());
  }
}

TEST(FileBytesTest, MissingFilesAndFoldersGiveNoBytes) {
  test::TempDir dir;
  std::string read = "old";
  EXPECT_FALSE(ReadWholeFile(dir.path() + "missing", &read));
  EXPECT_EQ("", read);
  EXPECT_FALSE(ReadWholeFile(dir.path(), &read));  // a folder cannot be read
  FileBytes file;
  test::WriteFile(dir.path() + "f", "abc");
  ASSERT_TRUE(file.Open(dir.path() + "f"));
  EXPECT_FALSE(file.Open(dir.path() + "missing"));
  EXPECT_EQ("", file.bytes());
  EXPECT_FALSE(file.Open(dir.path()));
  EXPECT_EQ("", file.bytes());
}

TEST(FileBytesTest, APipeIsReadToItsEnd) {
  test::TempDir dir;
  const std::string path = dir.path() + "pipe";
  ASSERT_EQ(0, ::mkfifo(path.c_str(), 0600));
  const std::string content = Sample(100000);  // more than a pipe holds at once
  std::thread writer([&] { test::WriteFile(path, content); });
  FileBytes file;
  EXPECT_TRUE(file.Open(path));
  writer.join();
  EXPECT_EQ(content, file.bytes());
}

TEST(WriteNewFileTest, FileHoldsEveryByteOrIsNotThere) {
  test::TempDir dir;
  const std::string bytes("page\0with\xff bytes", 16);
  ASSERT_TRUE(WriteNewFile(dir.path() + "p.htm", bytes));
  EXPECT_EQ(test::ReadFile(dir.path() + "p.htm"), bytes);
  ASSERT_TRUE(WriteNewFile(dir.path() + "p.htm", "x"));  // replaced, not appended
  EXPECT_EQ(test::ReadFile(dir.path() + "p.htm"), "x");
  EXPECT_FALSE(WriteNewFile(dir.path() + "missing/p.htm", "x"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "missing/p.htm"));
}

}  // namespace
}  // namespace qora
