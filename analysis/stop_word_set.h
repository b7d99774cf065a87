// The set of term ids that the analysis ignores.
#ifndef QORA_ANALYSIS_STOP_WORD_SET_H_
#define QORA_ANALYSIS_STOP_WORD_SET_H_

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace qora {

// Membership is by term id, so it follows the dictionary's lowercasing.
class StopWordSet {
 public:
  StopWordSet() = default;
  StopWordSet(const StopWordSet&) = delete;
  StopWordSet& operator=(const StopWordSet&) = delete;

  bool IsStopWord(int32_t id) const {
    const uint32_t bit = static_cast<uint32_t>(id);
    if (bit < bits_.size() * 64) return (bits_[bit / 64] >> (bit % 64)) & 1;
    return !far_.empty() && far_.count(id) != 0;
  }

  void AddStopWord(int32_t id) {
    const uint32_t bit = static_cast<uint32_t>(id);
    if (bit >= kMaxBitmapId) {
      if (far_.insert(id).second) ++size_;
      return;
    }
    if (bit >= bits_.size() * 64) bits_.resize(bit / 64 + 1);
    const uint64_t mask = uint64_t{1} << (bit % 64);
    if ((bits_[bit / 64] & mask) == 0) ++size_;
    bits_[bit / 64] |= mask;
  }

  void ClearStopWords() {
    bits_.clear();
    far_.clear();
    size_ = 0;
  }

  size_t size() const { return size_; }

 private:
  // Ids below this bound live in the bitmap (at most 2 MB of it); any other
  // value, negative ones included, in `far_`.
  static constexpr uint32_t kMaxBitmapId = 1u << 24;

  std::vector<uint64_t> bits_;
  std::unordered_set<int32_t> far_;
  size_t size_ = 0;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_STOP_WORD_SET_H_
