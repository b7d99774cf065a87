#include "shell/web_requests.h"

#include <algorithm>

#include "qora/engine.h"
#include "shell/engine_string.h"
#include "shell/library_commands.h"
#include "util/result_text_reader.h"

namespace qora {

// ---- Web crawl ------------------------------------------------------------

namespace {

constexpr char kNoCrawlSettings[] =
    "The crawler settings file crawl.ini in the data folder cannot be read.";

// Indexes the new documents of `handle`, which held `before` documents,
// and sets `*added` (when given) to the number it gained. The count is taken
// after indexing, when the library lists what the operation stored.
std::string IndexedAndCounted(int handle, int before, int* added) {
  const std::string failure = IndexLibrary(handle, /*full=*/false);
  if (added != nullptr) *added = std::max(0, LibraryDocumentCount(handle) - before);
  return failure;
}

}  // namespace

std::string CrawlIntoLibrary(const std::string& library, const std::vector<std::string>& addresses,
                             const std::string& parameters, int* added) {
  std::string start;
  for (const std::string& address : addresses) {
    if (address.empty()) continue;
    start += (start.empty() ? "" : "\n") + address;
  }
  if (start.empty()) return "Please enter start addresses";
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const int before = added != nullptr ? LibraryDocumentCount(handle) : 0;
  int result = -1;
  EngineAddFromWeb(handle, start.c_str(), parameters.c_str(), &result);
  if (result == 1) return "Cannot do this now.";
  if (result < 0) return kNoCrawlSettings;
  return IndexedAndCounted(handle, before, added);
}

// ---- Internet search ------------------------------------------------------

namespace {

constexpr char kNoSearchSettings[] =
    "The search settings files crawl.ini, se.ini and se_ctrl.ini in the data folder cannot be "
    "read.";
constexpr char kSearchWorkspaceFile[] = "wkspc.ini";

}  // namespace

std::string SearchIntoLibrary(const std::string& library, const std::string& words,
                              const std::string& parameters, int* added) {
  if (words.find_first_not_of(" \t\n") == std::string::npos) return "Please enter keywords";
  int handle = -1;
  const std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const int before = added != nullptr ? LibraryDocumentCount(handle) : 0;
  int result = -1;
  EngineSearchIntoStore(handle, words.c_str(), parameters.c_str(), &result);
  if (result == 1) return "Cannot do this now.";
  if (result < 0) return kNoSearchSettings;
  return IndexedAndCounted(handle, before, added);
}

std::string QuickSearchHits(const std::string& words, const std::string& parameters,
                            std::vector<DocumentRecord>* hits) {
  hits->clear();
  if (words.find_first_not_of(" \t\n") == std::string::npos) return "Please enter keywords";
  std::string failure;
  int workspace = -1;
  EngineOpenWorkspace(kSearchWorkspaceFile, &workspace);
  if (workspace < 0) return "The workspace file wkspc.ini cannot be read.";
  int list = -1;
  EngineQuickSearch(words.c_str(), parameters.c_str(), workspace, &list);
  // Handle 1 is the temporary store made at start, so a list is never 1.
  if (list == 1) {
    failure = "Cannot do this now.";
  } else if (list < 0) {
    failure = kNoSearchSettings;
  } else {
    char* text = nullptr;
    int result = -1;
    EngineWriteResultList(&text, list, workspace, &result);
    ReadResultText(TakeEngineString(text), hits);
  }
  int result = -1;
  EngineDeleteHandle(workspace, &result);
  return failure;
}

}  // namespace qora
