// A set of term ids, fast for the dense ids a term dictionary hands out.
#ifndef QORA_ANALYSIS_ID_SET_H_
#define QORA_ANALYSIS_ID_SET_H_

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace qora {

// Ids from 0 below kMaxDenseId live in a bitmap that grows to the largest
// one inserted; any other id (negative, or from a damaged file) in a hash set.
class IdSet {
 public:
  IdSet() = default;
  explicit IdSet(const std::vector<int32_t>& ids) {
    for (int32_t id : ids) Insert(id);
  }

  void Insert(int32_t id) {
    const uint32_t i = static_cast<uint32_t>(id);
    if (i >= kMaxDenseId) {
      far_.insert(id);
      return;
    }
    if (i >= dense_.size()) dense_.resize(static_cast<size_t>(i) + 1 + dense_.size() / 2);
    dense_[i] = true;
  }

  bool Contains(int32_t id) const {
    const uint32_t i = static_cast<uint32_t>(id);
    if (i < dense_.size()) return dense_[i];
    return i >= kMaxDenseId && far_.count(id) != 0;
  }

 private:
  static constexpr uint32_t kMaxDenseId = 1u << 24;  // a bitmap of at most 2 MB

  std::vector<bool> dense_;
  std::unordered_set<int32_t> far_;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_ID_SET_H_
