// The suffix-stripping stemmer for English words.
#ifndef QORA_ANALYSIS_PORTER_STEMMER_H_
#define QORA_ANALYSIS_PORTER_STEMMER_H_

#include <cstddef>

namespace qora {

// Stems the `length` bytes at `word` in place and returns the length of the
// stem, which is a prefix of the (possibly rewritten) buffer. Words of one or
// two bytes come back unchanged. The rules compare lowercase ASCII letters
// only: every other byte, capitals included, counts as a consonant and matches
// no suffix, so a word is stemmed in the letter case it is given. The buffer
// needs no terminator; the stem is never longer than the word.
size_t PorterStem(char* word, size_t length);

}  // namespace qora

#endif  // QORA_ANALYSIS_PORTER_STEMMER_H_
