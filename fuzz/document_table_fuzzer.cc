// The document table reader ("cache.chx"): any bytes load without a crash,
// and a table that was loaded is written and read back unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/cache_table.h"

namespace {

// A file of this process's own that each input is written to: the reader
// takes a path.
std::string ScratchPath(const char* suffix) {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder != nullptr ? folder : "/tmp") + "/qora-fuzz-" +
         std::to_string(getpid()) + suffix;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

bool SameEntry(const qora::CacheEntry& a, const qora::CacheEntry& b) {
  return a.id == b.id && a.address == b.address && a.size == b.size && a.field == b.field &&
         a.processed == b.processed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchPath(".chx");
  static const std::string rewritten = ScratchPath("-rewritten.chx");
  if (!WriteFile(input, data, size)) std::abort();

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
