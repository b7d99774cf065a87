// The sequence of term ids of one piece of text, and the tokenizer that makes it.
#ifndef QORA_ANALYSIS_TERM_LIST_H_
#define QORA_ANALYSIS_TERM_LIST_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/delimiter_set.h"
#include "analysis/stem_map.h"
#include "analysis/stop_word_set.h"
#include "analysis/term_dictionary.h"

namespace qora {

class TermList {
 public:
  TermList() = default;

  // Replaces the text; the ids stay until the next Tokenize.
  void SetText(std::string_view text) { text_.assign(text.data(), text.size()); }

  // Replaces the ids by those of the text's tokens, the maximal runs of
  // non-delimiter bytes, registering each token in `dictionary` and making
  // sure `stems` covers it (stemmed in the letter case of the text).
  void Tokenize(TermDictionary* dictionary, const DelimiterSet& delimiters, StemMap* stems);

  // Removes every stop word, keeping the order of the rest.
  void RemoveStopWords(const StopWordSet& stop_words);

  // Replaces every id by the id of its stem.
  void MapToStems(StemMap* stems);

  // True when `id` occurs in the list.
  bool Contains(int32_t id) const;

  void Append(int32_t id) { ids_.push_back(id); }
  void Prepend(int32_t id) { ids_.insert(ids_.begin(), id); }

  // Sets the text to each id's word followed by one blank, in list order.
  void RebuildText(const TermDictionary& dictionary);

  // True when both lists hold the same ids in the same order.
  bool SameIds(const TermList& other) const { return ids_ == other.ids_; }

  const std::string& text() const { return text_; }
  const std::vector<int32_t>& ids() const { return ids_; }
  double score() const { return score_; }
  void set_score(double score) { score_ = score; }

 private:
  std::string text_;
  std::vector<int32_t> ids_;
  double score_ = 0.0;
};

// The standard preparation of a text: tokenize it and drop its stop words.
// Callers that work on stems map the result with MapToStems afterwards.
void PrepareTermList(std::string_view text, TermDictionary* dictionary,
                     const DelimiterSet& delimiters, StemMap* stems, const StopWordSet& stop_words,
                     TermList* list);

}  // namespace qora

#endif  // QORA_ANALYSIS_TERM_LIST_H_
