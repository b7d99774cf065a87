// Cleaning cost of the page cleaner's work in-process (no program start):
// every HTML page under a folder, cleaned once per iteration.
//
//   page_cleaning_bench [--benchmark options]
//
// The pages come from $QORA_BENCH_PAGES when set, else from Debian's Python
// documentation (/usr/share/doc/python3.11/html, package python3.11-doc)
// when installed, else from the bundled sample folder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/attribute_quoting.h"
#include "tools/charset_conversion.h"
#include "tools/page_cleaning.h"
#include "util/file_bytes.h"

namespace {

std::string PageFolder() {
  if (const char* folder = std::getenv("QORA_BENCH_PAGES")) return folder;
  const std::string python_docs = "/usr/share/doc/python3.11/html";
  if (std::filesystem::is_directory(python_docs)) return python_docs;
  return std::string(QORA_SOURCE_DIR) + "/samples";
}

// At most 200 pages, in name order, so runs compare.
const std::vector<std::string>& Pages() {
  static const std::vector<std::string> pages = [] {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(PageFolder())) {
      const std::string path = entry.path().string();
      if (entry.is_regular_file() && path.ends_with(".html")) paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    if (paths.size() > 200) paths.resize(200);
    std::vector<std::string> loaded;
    for (const std::string& path : paths) {
      std::string bytes;
      qora::ReadWholeFile(path, &bytes);
      loaded.push_back(std::move(bytes));
    }
    return loaded;
  }();
  return pages;
}

void BM_CleanPages(benchmark::State& state) {
  const std::vector<std::string>& pages = Pages();
  size_t bytes = 0;
  for (const std::string& page : pages) bytes += page.size();
  for (auto _ : state) {
    for (const std::string& page : pages) {
      std::string cleaned;
      std::string error;
      benchmark::DoNotOptimize(qora::tools::CleanPage(page, &cleaned, &error));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pages.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_CleanPages)->Unit(benchmark::kMillisecond);

void BM_NormalizeAttributes(benchmark::State& state) {
  const std::vector<std::string>& pages = Pages();
  for (auto _ : state) {
    for (const std::string& page : pages) {
      benchmark::DoNotOptimize(qora::tools::NormalizeAttributes(page));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pages.size()));
}
BENCHMARK(BM_NormalizeAttributes)->Unit(benchmark::kMillisecond);

void BM_PageAsUtf8(benchmark::State& state) {
  const std::vector<std::string>& pages = Pages();
  for (auto _ : state) {
    for (const std::string& page : pages) benchmark::DoNotOptimize(qora::tools::PageAsUtf8(page));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * pages.size()));
}
BENCHMARK(BM_PageAsUtf8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
