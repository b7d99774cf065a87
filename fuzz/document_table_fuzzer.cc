// The document table reader ("cache.chx"): any bytes load without a crash,
// and a table that was loaded is written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "store/cache_table.h"

namespace {

bool SameEntry(const qora::CacheEntry& a, const qora::CacheEntry& b) {
  return a.id == b.id && a.address == b.address && a.size == b.size && a.field == b.field &&
         a.processed == b.processed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The table is synced to disk when written: a scratch file in memory keeps
  // that cheap.
  static const std::string input = qora::fuzz::ScratchPath(".chx");
  static const std::string rewritten = qora::fuzz::ScratchPath("-rewritten.chx");
  if (!qora::fuzz::WriteFile(input, std::string_view(reinterpret_cast<const char*>(data), size))) {
    std::abort();
  }

  qora::CacheTable table;
  if (table.Load(input) != 0) std::abort();
  if (table.Rewrite(rewritten) != 0) std::abort();

  qora::CacheTable again;
  if (again.Load(rewritten) != 0) std::abort();
  if (again.size() != table.size()) {
    std::fprintf(stderr, "%zu entries loaded, %zu read back\n", table.size(), again.size());
    std::abort();
  }
  for (size_t i = 0; i < table.size(); ++i) {
    if (!SameEntry(table.at(i), again.at(i))) {
      std::fprintf(stderr, "entry %zu changed: %s|%s|%s\n", i, table.at(i).id.c_str(),
                   table.at(i).address.c_str(), table.at(i).size.c_str());
      std::abort();
    }
  }
  return 0;
}
