// Search-engine patterns and the result pages they cut up. The first byte
// chooses (modulo 3):
//  0: the first line is a pattern (as a downloaded "se.ini" may hold one),
//     the rest a page it is searched for in and splits;
//  1: the rest is a result page, cut into hits (CutResultPage, as a search
//     thread does) by the patterns of one of the installed engines;
//  2: five lines are an engine's patterns (start marks, hit separator,
//     address and text ends), the rest a result page they cut.
// Neither a pattern nor a page may crash the search, exhaust the stack or
// run unbounded (the bounds of acquire/search_pattern.h); a match lies
// inside its text, and the pieces of a split are the text's own pieces, in
// order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/page_text.h"
#include "acquire/search_engines.h"
#include "acquire/search_pattern.h"
#include "fuzz/fuzz_input.h"

namespace {

void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

// The patterns of the engines in data/se.ini: start mark, hit separator,
// end of the address, end of the text.
struct InstalledEngine {
  const char* cue;
  const char* hit;
  const char* address_end;
  const char* text_end;
};
constexpr InstalledEngine kInstalledEngines[] = {
    {"id=\"links\"", "class=\"result__a\" href=\"[^\"]*uddg=", "&amp;rut=[^\"]*\">|\">", "</a>"},
    {"class=\"results-standard\"", "<a class=\"title\" href=\"", "\"[^>]*>", "</a>"},
    {"<ol id=\"b_results\"", "<h2[^>]*><a [^>]*href=\"", "\"[^>]*>", "</a>"},
};

void CheckMatch(const qora::SearchPattern& pattern, std::string_view text) {
  size_t begin = 0;
  size_t end = 0;
  if (pattern.Search(text, &begin, &end) && (begin > end || end > text.size())) {
    Fail("a match outside its text", text);
  }
}

void CheckSplit(std::string_view text, std::string_view pattern) {
  const std::vector<std::string> pieces = qora::SplitByPattern(text, pattern);
  if (!pieces.empty() && pieces.back().empty()) Fail("a trailing empty piece", pattern);
  size_t position = 0;
  for (const std::string& piece : pieces) {
    const size_t at = text.find(piece, position);
    if (at == std::string_view::npos) Fail("a piece that is not the text's", piece);
    position = at + piece.size();
  }
  if (pattern.empty() && pieces.size() != text.size()) Fail("the empty pattern's split", text);
}

void CheckFreePattern(std::string_view pattern, std::string_view page) {
  const qora::SearchPattern compiled(pattern);
  if (pattern.empty()) {
    size_t begin = 1;
    size_t end = 1;
    if (!compiled.Search(page, &begin, &end) || begin != 0 || end != 0) {
      Fail("the empty pattern must match at the start", page);
    }
  }
  if (compiled.ok()) CheckMatch(compiled, page);
  CheckSplit(page, pattern);
}

// The hits of `page` as a search thread cuts them with `engine`'s patterns:
// each is a piece of the page, its address decoded from one.
void CheckResultPage(const qora::SearchEngineDefinition& engine, std::string_view page) {
  std::vector<qora::ResultPageHit> hits;
  qora::CutResultPage(engine, page, &hits);
  for (const qora::ResultPageHit& hit : hits) {
    if (hit.address.size() > page.size()) Fail("an address longer than its page", hit.address);
    if (page.find(hit.text) == std::string_view::npos) Fail("a hit text not of its page", hit.text);
    qora::StripTags(hit.text);
    qora::HitType(hit.address);
  }
}

qora::SearchEngineDefinition Installed(const InstalledEngine& installed) {
  qora::SearchEngineDefinition engine;
  engine.cue1 = installed.cue;
  engine.hit = installed.hit;
  engine.sep1 = installed.address_end;
  engine.sep2 = installed.text_end;
  return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A pattern that does not compile is reported on std::cerr, with its
  // bytes; that report is no contract checked here, and writing it for
  // every such input would slow the search down and garble the log.
  static const bool quiet = (std::cerr.rdbuf(nullptr), true);
  (void)quiet;
  qora::FuzzInput input(data, size);
  const uint8_t choice = input.Byte();
  if (choice % 3 == 0) {
    const std::string_view pattern = input.Text();
    CheckFreePattern(pattern, input.Rest());
  } else if (choice % 3 == 1) {
    constexpr size_t kEngines = sizeof(kInstalledEngines) / sizeof(kInstalledEngines[0]);
    CheckResultPage(Installed(kInstalledEngines[choice / 3 % kEngines]), input.Rest());
  } else {
    qora::SearchEngineDefinition engine;
    engine.cue1 = std::string(input.Text());
    engine.cue2 = std::string(input.Text());
    engine.hit = std::string(input.Text());
    engine.sep1 = std::string(input.Text());
    engine.sep2 = std::string(input.Text());
    CheckResultPage(engine, input.Rest());
  }
  return 0;
}
