#include "shell/web_requests.h"

#include <limits>

#include "qora/engine.h"
#include "shell/engine_string.h"
#include "shell/library_commands.h"
#include "util/gcc_warnings.h"
#include "util/result_text_reader.h"

namespace qora {

// ---- Web crawl ------------------------------------------------------------

namespace {

constexpr char kNoCrawlSettings[] =
    "The crawler settings file crawl.ini in the data folder cannot be read.";

}  // namespace

std::string CrawlParameters(int depth, int kilobytes, int max_sites, int max_docs,
                            bool internal_only) {
  std::string text = "dpth=" + std::to_string(depth);
  text += "&maxbytes=" + std::to_string(static_cast<long long>(kilobytes) * 1000);
  text += "&maxsites=" + std::to_string(depth == 0 ? 1 : max_sites);
  text += "&maxdocs=" + std::to_string(max_docs);
  text += "&docmaxpages=0&docminpages=0&minlinks=0&hub=0&auth=0&negurl=&negwords=";
  text += "&se_ctrl=0+0+0+0+0&se_num=0+0+0+0+0";
  text += internal_only ? "&crwl_rule=1" : "&crwl_rule=0";
  return text;
}

std::string CrawlIntoLibrary(const std::string& library, const std::vector<std::string>& addresses,
                             int depth, int kilobytes, int max_sites, int max_docs,
                             bool internal_only) {
  std::string start;
  for (const std::string& address : addresses) {
    if (address.empty()) continue;
    start += (start.empty() ? "" : "\n") + address;
  }
  if (start.empty()) return "Please enter start addresses";
  if (kilobytes < 0 || kilobytes > std::numeric_limits<int>::max() / 1000) {
    return "The kilobyte limit must lie between 0 and " +
           std::to_string(std::numeric_limits<int>::max() / 1000) + ".";
  }
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const std::string parameters =
      CrawlParameters(depth, kilobytes, max_sites, max_docs, internal_only);
  int result = -1;
  EngineAddFromWeb(handle, start.c_str(), parameters.c_str(), &result);
  if (result == 1) return "Cannot do this now.";
  if (result < 0) return kNoCrawlSettings;
  return IndexLibrary(handle, /*full=*/false);
}

// ---- Internet search ------------------------------------------------------

namespace {

constexpr char kNoSearchSettings[] =
    "The search settings files crawl.ini, se.ini and se_ctrl.ini in the data folder cannot be "
    "read.";
constexpr char kSearchWorkspaceFile[] = "wkspc.ini";
constexpr int kSearchEngines = 5;

// The engine numbers of `engines` ("1,3") as five switches.
std::string ParseEngineList(const std::string& engines, bool on[kSearchEngines]) {
  for (int i = 0; i < kSearchEngines; ++i) on[i] = false;
  bool any = false;
  size_t start = 0;
  while (start <= engines.size()) {
    size_t end = engines.find(',', start);
    if (end == std::string::npos) end = engines.size();
    std::string piece = engines.substr(start, end - start);
    piece.erase(0, piece.find_first_not_of(" \t"));
    piece.erase(piece.find_last_not_of(" \t") + 1);
    if (!piece.empty()) {
      if (piece.size() != 1 || piece[0] < '1' || piece[0] > '5') {
        return "Search engines are numbered 1 to 5; \"" + piece + "\" is none of them.";
      }
      on[piece[0] - '1'] = true;
      any = true;
    }
    start = end + 1;
  }
  return any ? "" : "Please choose search engines (numbers 1 to 5).";
}

}  // namespace

QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
std::string SearchEngineParameters(const std::string& engines, int results, std::string* part) {
  bool on[kSearchEngines];
  std::string failure = ParseEngineList(engines, on);
  if (!failure.empty()) return failure;
  if (results < 0) return "The number of hits per engine cannot be negative.";
  std::string control = "&se_ctrl=";
  std::string counts = "&se_num=";
  for (int i = 0; i < kSearchEngines; ++i) {
    const char* joint = i == 0 ? "" : "+";
    control += joint + std::to_string(on[i] ? 1 : 0);
    counts += joint + std::to_string(results);
  }
  *part = control + counts;
  return "";
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

std::string BasicSearchParameters(const std::string& engine_part) {
  return "dpth=0&maxbytes=2000000&maxsites=500&maxdocs=200"
         "&docmaxpages=0&docminpages=0&minlinks=0&hub=0&auth=0&negurl=&negwords=" +
         engine_part + "&crwl_rule=0";
}

std::string SearchIntoLibrary(const std::string& library, const std::string& words,
                              const std::string& engines, int results) {
  if (words.find_first_not_of(" \t\n") == std::string::npos) return "Please enter keywords";
  std::string engine_part;
  std::string failure = SearchEngineParameters(engines, results, &engine_part);
  if (!failure.empty()) return failure;
  int handle = -1;
  failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  const std::string parameters = BasicSearchParameters(engine_part);
  int result = -1;
  EngineSearchIntoStore(handle, words.c_str(), parameters.c_str(), &result);
  if (result == 1) return "Cannot do this now.";
  if (result < 0) return kNoSearchSettings;
  return IndexLibrary(handle, /*full=*/false);
}

std::string QuickSearchHits(const std::string& words, const std::string& engines,
                            std::vector<DocumentRecord>* hits, int results) {
  hits->clear();
  if (words.find_first_not_of(" \t\n") == std::string::npos) return "Please enter keywords";
  std::string parameters;
  std::string failure = SearchEngineParameters(engines, results, &parameters);
  if (!failure.empty()) return failure;
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
