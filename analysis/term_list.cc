#include "analysis/term_list.h"

#include <algorithm>

namespace qora {

void TermList::Tokenize(TermDictionary* dictionary, const DelimiterSet& delimiters,
                        StemMap* stems) {
  ids_.clear();
  const char* p = text_.data();
  const char* const end = p + text_.size();
  while (p < end) {
    while (p < end && delimiters.Contains(*p)) ++p;
    const char* start = p;
    while (p < end && !delimiters.Contains(*p)) ++p;
    if (p == start) break;
    const std::string_view token(start, static_cast<size_t>(p - start));
    const int32_t id = dictionary->AddWord(token);
    ids_.push_back(id);
    stems->StemWordWithId(dictionary, id, token);
  }
}

void TermList::RemoveStopWords(const StopWordSet& stop_words) {
  ids_.erase(std::remove_if(ids_.begin(), ids_.end(),
                            [&](int32_t id) { return stop_words.IsStopWord(id); }),
             ids_.end());
}

void TermList::MapToStems(StemMap* stems) {
  for (int32_t& id : ids_) id = stems->StemOf(id);
}

bool TermList::Contains(int32_t id) const {
  return std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

void TermList::RebuildText(const TermDictionary& dictionary) {
  text_.clear();
  for (int32_t id : ids_) {
    text_ += dictionary.WordText(id);
    text_ += ' ';
  }
}

void PrepareTermList(std::string_view text, TermDictionary* dictionary,
                     const DelimiterSet& delimiters, StemMap* stems, const StopWordSet& stop_words,
                     TermList* list) {
  list->SetText(text);
  list->Tokenize(dictionary, delimiters, stems);
  list->RemoveStopWords(stop_words);
}

}  // namespace qora
