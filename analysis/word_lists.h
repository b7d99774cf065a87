// The stop-word file and the archive file that carries the term dictionary
// and the stem map from one run to the next.
//
// Archive layout (little-endian, no header, no padding): int32 word count n,
// then n times int32 byte length L and L bytes of lowercase word (entry i is
// the word of id i); then int32 entry count m, and m times int32 word id and
// int32 stem id.
#ifndef QORA_ANALYSIS_WORD_LISTS_H_
#define QORA_ANALYSIS_WORD_LISTS_H_

#include <istream>
#include <ostream>
#include <string>

#include "analysis/stem_map.h"
#include "analysis/stop_word_set.h"
#include "analysis/term_dictionary.h"

namespace qora {

// Registers every white-space separated word of the file at `path` in
// `dictionary` and adds its id to `stop_words`. Returns false, changing
// nothing, when the file cannot be opened.
bool ReadStopWords(const std::string& path, TermDictionary* dictionary, StopWordSet* stop_words);

// Reads the dictionary part and then the stem map part of an archive.
// Returns false when the stream ends early or holds an impossible length;
// what was read before that point stays registered.
bool ReadArchive(std::istream& in, TermDictionary* dictionary, StemMap* stems);

// Writes the dictionary in id order and then the stem map. Returns false when
// the stream reports a write failure.
bool WriteArchive(std::ostream& out, const TermDictionary& dictionary, const StemMap& stems);

}  // namespace qora

#endif  // QORA_ANALYSIS_WORD_LISTS_H_
