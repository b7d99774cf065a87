// Term vectors as comparable values, for test expectations.
#ifndef QORA_TESTS_VECTOR_TEXT_H_
#define QORA_TESTS_VECTOR_TEXT_H_

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/term_vector.h"

namespace qora::test {

// The pairs of `vector` in table order, as "(first,second) forward/backward".
inline std::vector<std::string> PairsOf(const TermVector& vector) {
  std::vector<std::string> pairs;
  for (const TermPair& pair : vector.pairs()) {
    std::ostringstream text;
    text << "(" << pair.first() << "," << pair.second() << ") " << pair.forward() << "/"
         << pair.backward();
    pairs.push_back(text.str());
  }
  return pairs;
}

// The term counts of `vector`, ordered by term id.
inline std::map<int32_t, int32_t> CountsOf(const TermVector& vector) {
  return std::map<int32_t, int32_t>(vector.term_counts().begin(), vector.term_counts().end());
}

}  // namespace qora::test

#endif  // QORA_TESTS_VECTOR_TEXT_H_
