// The cached mapping from a word's term id to the term id of its stem.
#ifndef QORA_ANALYSIS_STEM_MAP_H_
#define QORA_ANALYSIS_STEM_MAP_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/term_dictionary.h"

namespace qora {

class StemMap {
 public:
  // Longest word the stemmer works on; longer words are their own stem.
  static constexpr size_t kMaxStemmedLength = 998;

  StemMap() = default;
  StemMap(const StemMap&) = delete;
  StemMap& operator=(const StemMap&) = delete;

  // Registers `word` in `dictionary` and, unless the map already covers its
  // id, stems it in the letter case given here, registers the stem and
  // records word id -> stem id.
  void StemWord(TermDictionary* dictionary, std::string_view word);

  // As StemWord, for a caller that has just registered `word` as `id`.
  void StemWordWithId(TermDictionary* dictionary, int32_t id, std::string_view word);

  // The stem id of `id`. An id without entry gets the entry (id, 0) and 0.
  int32_t StemOf(int32_t id) {
    const uint32_t i = static_cast<uint32_t>(id);
    if (i < dense_.size() && dense_[i] != kAbsent) return static_cast<int32_t>(dense_[i]);
    return StemOfUncached(id);
  }

  // True when `id` has an entry.
  bool Covers(int32_t id) const {
    const uint32_t i = static_cast<uint32_t>(id);
    if (i < dense_.size()) return dense_[i] != kAbsent;
    return far_count_ != 0 && stems_.count(id) != 0;
  }

  // Stores or overwrites one entry.
  void SetStem(int32_t id, int32_t stem_id);

  void ClearStemMap() {
    stems_.clear();
    dense_.clear();
    far_count_ = 0;
  }

  size_t size() const { return stems_.size(); }

  // Every entry, in no promised order.
  const std::unordered_map<int32_t, int32_t>& entries() const { return stems_; }

 private:
  static constexpr int64_t kAbsent = INT64_MIN;
  // Ids below this bound may be mirrored in `dense_` (at most 32 MB of it).
  static constexpr uint32_t kMaxDenseId = 1u << 22;

  int32_t StemOfUncached(int32_t id);

  // Extends `dense_` to `size` ids, taking over the entries of `stems_` that
  // the new part covers.
  void GrowDense(size_t size);

  // Every entry. The ids below dense_.size() are mirrored in `dense_`, indexed
  // by id, with kAbsent for an id without entry: dictionary ids are dense, so
  // the hot lookups need no hashing. `far_count_` entries lie beyond it.
  std::unordered_map<int32_t, int32_t> stems_;
  std::vector<int64_t> dense_;
  size_t far_count_ = 0;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_STEM_MAP_H_
