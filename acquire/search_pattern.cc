#include "acquire/search_pattern.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <iostream>
#include <new>
#include <string>
#include <utility>

namespace qora {
namespace {

// Backtracking steps one search may take. Searches of the installed
// patterns over result pages of megabytes take a few hundred; patterns that
// nest repetitions can take exponentially many on a page made for it, and
// stop here after some milliseconds.
constexpr uint32_t kMatchLimit = 1000000;
// Nested backtracking points one search may hold: each takes memory until
// the search ends, and a repeated group adds one per repetition.
constexpr uint32_t kDepthLimit = 10000;

// "." takes line feeds as any other byte, and "$" matches only at the very
// end, as in the extended regular expressions the patterns are written in.
constexpr uint32_t kCompileOptions = PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY;

std::string CompileErrorText(int code) {
  PCRE2_UCHAR reason[256];
  if (pcre2_get_error_message(code, reason, sizeof reason) < 0) return "unknown error";
  return reinterpret_cast<const char*>(reason);
}

}  // namespace

struct SearchPattern::Compiled {
  pcre2_code* code = nullptr;
  pcre2_match_context* bounds = nullptr;
  pcre2_match_data* match = nullptr;

  ~Compiled() {
    pcre2_match_data_free(match);
    pcre2_match_context_free(bounds);
    pcre2_code_free(code);
  }
};

SearchPattern::SearchPattern(std::string_view text) {
  auto compiled = std::make_unique<Compiled>();
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  compiled->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                 kCompileOptions, &error, &error_offset, nullptr);
  if (compiled->code == nullptr) {
    std::cerr << "regcomp() error\n  pattern \"" << text << "\": " << CompileErrorText(error)
              << " at offset " << error_offset << std::endl;
    return;
  }
  compiled->bounds = pcre2_match_context_create(nullptr);
  compiled->match = pcre2_match_data_create(1, nullptr);
  if (compiled->bounds == nullptr || compiled->match == nullptr) throw std::bad_alloc();
  pcre2_set_match_limit(compiled->bounds, kMatchLimit);
  pcre2_set_depth_limit(compiled->bounds, kDepthLimit);
  compiled_ = std::move(compiled);
}

SearchPattern::~SearchPattern() = default;

bool SearchPattern::Search(std::string_view text, size_t* begin, size_t* end) const {
  if (!ok()) return false;
  // The library refuses a null subject even when it is empty.
  const char* data = text.empty() ? "" : text.data();
  const int found = pcre2_match(compiled_->code, reinterpret_cast<PCRE2_SPTR>(data), text.size(), 0,
                                0, compiled_->match, compiled_->bounds);
  // Below 0: no match, or a bound reached (which counts as none).
  if (found < 0) return false;
  const PCRE2_SIZE* match = pcre2_get_ovector_pointer(compiled_->match);
  *begin = static_cast<size_t>(match[0]);
  *end = static_cast<size_t>(match[1]);
  return true;
}

}  // namespace qora
