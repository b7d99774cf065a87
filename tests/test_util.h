// Small helpers shared by the unit tests.
#ifndef QORA_TESTS_TEST_UTIL_H_
#define QORA_TESTS_TEST_UTIL_H_

#include <string>
#include <vector>

namespace qora::test {

// A fresh folder under the system's temporary folder, removed with its
// contents on destruction. path() ends with "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes `bytes` to the file at `path`, replacing it; aborts the test
// program when the file cannot be written.
void WriteFile(const std::string& path, const std::string& bytes);

// The whole file at `path`, or "" when it cannot be read.
std::string ReadFile(const std::string& path);

// The lines of the file at `path` without their line ends; none when the
// file is missing or empty.
std::vector<std::string> FileLines(const std::string& path);

// Every file below `folder` as "relative path:size:contents hash" lines, in
// sorted order, to compare a folder before and after an operation.
std::string FolderSnapshot(const std::string& folder);

// `text` with every byte but ASCII letters and digits percent-encoded, for
// addresses built in tests.
std::string PercentEncoded(const std::string& text);

// A free port of 127.0.0.1 as the system hands one out (the socket that
// asked is closed again); 0 when none could be had.
int FreePort();

// The folder of the installed data files in the source tree, ending in "/".
std::string SourceDataFolder();

// Writes a small data folder into `folder` (which ends in "/"): "main.ini"
// with a pair window of 5, 30 and 6 pairs per concept and sub-concept, the
// libraries in "libs/" and the given stemming switch; an empty "tmpdoc.ini";
// the stop words "the a of and to into"; and the installed library template.
void WriteSmallDataFolder(const std::string& folder, int stemmed_model);

}  // namespace qora::test

#endif  // QORA_TESTS_TEST_UTIL_H_
