#include "shell/acquisition_requests.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "qora/engine.h"
#include "shell/library_commands.h"

namespace qora {
namespace {

constexpr char kNoSettings[] =
    "The crawler settings file crawl.ini in the data folder cannot be read.";

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

// The end of an import into `handle`, which held `before` documents: its
// result said, the new documents indexed and counted into `*added`.
std::string Outcome(int result, int handle, int before, int* added) {
  if (result == 1) return "Cannot do this now.";
  if (result < 0) return kNoSettings;
  const std::string failure = IndexLibrary(handle, /*full=*/false);
  if (added != nullptr) *added = std::max(0, LibraryDocumentCount(handle) - before);
  return failure;
}

}  // namespace

std::string AddFilesToLibrary(const std::string& library, const std::vector<std::string>& files,
                              int* added) {
  std::string list;
  for (const std::string& file : files) {
    if (file.empty()) continue;
    // The engine's file list separates paths by "|", so such a name cannot pass.
    if (file.find('|') != std::string::npos) return "A file name holds \"|\": " + file;
    // The engine passes over what it cannot read; a file the user named
    // that is not there is said, before anything is imported.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return "There is no file " + file + ".";
    list += AbsolutePath(file) + "|";
  }
  if (list.empty()) return "Please choose files";
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const int before = added != nullptr ? LibraryDocumentCount(handle) : 0;
  int result = -1;
  EngineAddFiles(handle, list.c_str(), "", &result);
  return Outcome(result, handle, before, added);
}

std::string AddFolderToLibrary(const std::string& library, const std::string& folder, int depth,
                               int kilobytes, int documents, int* added) {
  if (folder.empty()) return "Please choose a folder";
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return "There is no folder " + folder + ".";
  if (kilobytes < 0 || kilobytes > std::numeric_limits<int>::max() / 1000) {
    return "The kilobyte limit must lie between 0 and " +
           std::to_string(std::numeric_limits<int>::max() / 1000) + ".";
  }
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const int before = added != nullptr ? LibraryDocumentCount(handle) : 0;
  int result = -1;
  EngineCrawlIntoStore(handle, AbsolutePath(folder).c_str(), depth, kilobytes * 1000, documents,
                       &result);
  return Outcome(result, handle, before, added);
}

}  // namespace qora
