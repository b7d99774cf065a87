// One pattern of a search-engine definition ("se.ini"), compiled once and
// searched for in result pages.
//
// Syntax: the extended regular expressions the definition files are written
// in: "." any byte (line feeds included), "[...]" and "[^...]" sets with
// ranges and classes such as "[[:digit:]]", "*", "+", "?" and "{m,n}" after an
// atom, "|" alternatives, "(...)" groups, "^" and "$" anchors at the start
// and the very end of the searched text, and "\" before a punctuation
// character to take it literally. Text is 8-bit, without Unicode handling;
// matching is case-sensitive. (The patterns are compiled by PCRE2, so "\"
// before a letter or digit has that library's meaning, e.g. "\d" a digit.)
//
// Matching: a match is the leftmost one; alternatives are tried from left to
// right and repetitions are greedy, so "\"|\">" matches only the quote of
// "\">" (the first alternative that fits), not the longest text.
//
// Bounds: the definition files may be downloaded and result pages come from
// outside, so a search is bounded: it gives up after a fixed number of
// backtracking steps or at a fixed backtracking depth. A search that reaches
// either bound counts as no match, as if the pattern did not occur.
#ifndef QORA_ACQUIRE_SEARCH_PATTERN_H_
#define QORA_ACQUIRE_SEARCH_PATTERN_H_

#include <cstddef>
#include <memory>
#include <string_view>

namespace qora {

class SearchPattern {
 public:
  // Compiles `text`. When it does not compile, writes "regcomp() error", a
  // line end and the reason to std::cerr, and ok() is false. The empty
  // pattern compiles and matches the empty text at the start of any text.
  explicit SearchPattern(std::string_view text);
  ~SearchPattern();

  SearchPattern(const SearchPattern&) = delete;
  SearchPattern& operator=(const SearchPattern&) = delete;

  bool ok() const { return compiled_ != nullptr; }

  // Finds the leftmost match in `text` (which may hold zero bytes) and sets
  // [*begin, *end) to it. False when there is none, when the search reached
  // its bounds, or when !ok(). One object must not search in two threads at
  // once (it keeps its match buffer between searches).
  bool Search(std::string_view text, size_t* begin, size_t* end) const;

 private:
  struct Compiled;  // the library's compiled code, match bounds and buffer
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_SEARCH_PATTERN_H_
