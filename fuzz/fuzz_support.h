// Helpers shared by the fuzz harnesses: a scratch file of the process for
// readers that take a path, and the checks' failure report.
#ifndef QORA_FUZZ_FUZZ_SUPPORT_H_
#define QORA_FUZZ_FUZZ_SUPPORT_H_

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "analysis/term_vector.h"
#include "util/document_record.h"

namespace qora::fuzz {

// A file of this process's own, named by `suffix`, in $TMPDIR, else in
// /dev/shm when there is one (a file in memory costs no disk writes on every
// input), else in /tmp.
// The scratch files are removed when the process exits normally.
inline std::string ScratchPath(const char* suffix) {
  static std::vector<std::string>* const made = [] {
    static std::vector<std::string> paths;
    std::atexit([] {
      std::error_code ignored;
      for (const std::string& path : paths) std::filesystem::remove_all(path, ignored);
    });
    return &paths;
  }();
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr) folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string path = std::string(folder) + "/qora-fuzz-" + std::to_string(getpid()) + suffix;
  made->push_back(path);
  return path;
}

// Replaces the file at `path` with `bytes`; false when it cannot be written.
inline bool WriteFile(const std::string& path, std::string_view bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Reports a broken contract and ends the run, so that libFuzzer keeps the
// input.
[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
  std::fprintf(stderr, "contract broken: %s\n", what);
  if (!detail.empty()) {
    std::fprintf(stderr, "  [%.*s]\n", static_cast<int>(detail.size()), detail.data());
  }
  std::abort();
}

inline void Check(bool holds, const char* what, std::string_view detail = {}) {
  if (!holds) Fail(what, detail);
}

// `value` as the DML writer prints a rank or weight ("%g").
inline std::string FormatG(double value) {
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof(buffer), "%g", value);
  return std::string(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Fails unless `vector` holds each couple of terms at most once and no
// negligible pair, as finalized and indexed vectors must.
inline void CheckFinalized(const TermVector& vector) {
  std::unordered_set<uint64_t> couples;
  for (size_t i = 0; i < vector.pair_count(); ++i) {
    const TermPair& pair = vector.PairAt(i);
    const uint64_t low = static_cast<uint32_t>(std::min(pair.first(), pair.second()));
    const uint64_t high = static_cast<uint32_t>(std::max(pair.first(), pair.second()));
    Check(couples.insert(low << 32 | high).second, "a finished vector holds a couple twice");
    Check(!(pair.forward() < TermVector::kNegligibleWeight &&
            pair.backward() < TermVector::kNegligibleWeight),
          "a finished vector holds a negligible pair");
  }
}

// Every text value of `r`: the fields, the link values and the list
// entries' texts.
inline std::vector<const std::string*> RecordTexts(const DocumentRecord& r) {
  std::vector<const std::string*> values = {
      &r.docid, &r.parid, &r.group, &r.buri,     &r.uri,     &r.bcuri,    &r.curi,  &r.dmluri,
      &r.size,  &r.type,  &r.lang,  &r.char_enc, &r.date_cr, &r.date_ret, &r.name,  &r.header,
      &r.sdesc, &r.ldesc, &r.note,  &r.owner,    &r.status,  &r.fetcher,  &r.source};
  for (const auto* list : {&r.keywords, &r.keyphrases, &r.keypassages}) {
    for (const WeightedTerm& term : *list) values.push_back(&term.text);
  }
  return values;
}

}  // namespace qora::fuzz

#endif  // QORA_FUZZ_FUZZ_SUPPORT_H_
