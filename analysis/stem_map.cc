#include "analysis/stem_map.h"

#include <array>
#include <cstring>

#include "analysis/porter_stemmer.h"

namespace qora {

void StemMap::StemWord(TermDictionary* dictionary, std::string_view word) {
  StemWordWithId(dictionary, dictionary->AddWord(word), word);
}

void StemMap::StemWordWithId(TermDictionary* dictionary, int32_t id, std::string_view word) {
  if (Covers(id)) return;
  if (word.size() > kMaxStemmedLength) {
    SetStem(id, id);
    return;
  }
  std::array<char, kMaxStemmedLength + 1> buffer;
  std::memcpy(buffer.data(), word.data(), word.size());
  const size_t stem_length = PorterStem(buffer.data(), word.size());
  SetStem(id, dictionary->AddWord(std::string_view(buffer.data(), stem_length)));
}

int32_t StemMap::StemOfUncached(int32_t id) {
  const auto found = stems_.find(id);
  if (found != stems_.end()) return found->second;
  SetStem(id, 0);
  return 0;
}

void StemMap::SetStem(int32_t id, int32_t stem_id) {
  const uint32_t i = static_cast<uint32_t>(id);
  // Ids far beyond those seen so far (or negative) stay out of the mirror.
  if (i >= dense_.size() && i < kMaxDenseId && i <= 2 * dense_.size() + 1024) {
    GrowDense(static_cast<size_t>(i) + 1);
  }
  const bool inserted = stems_.insert_or_assign(id, stem_id).second;
  if (i < dense_.size()) {
    dense_[i] = stem_id;
  } else if (inserted) {
    ++far_count_;
  }
}

void StemMap::GrowDense(size_t size) {
  size_t i = dense_.size();
  dense_.resize(size, kAbsent);
  for (; far_count_ != 0 && i < size; ++i) {
    const auto found = stems_.find(static_cast<int32_t>(i));
    if (found == stems_.end()) continue;
    dense_[i] = found->second;
    --far_count_;
  }
}

}  // namespace qora
