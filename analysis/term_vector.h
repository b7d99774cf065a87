// The term vector of a text: the ordered pairs of terms that occur near each
// other within its sentences, with direction-aware weights, and the number of
// occurrences of each term.
#ifndef QORA_ANALYSIS_TERM_VECTOR_H_
#define QORA_ANALYSIS_TERM_VECTOR_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <ostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/pair_table.h"
#include "analysis/stem_map.h"
#include "analysis/term_list.h"
#include "analysis/term_pair.h"

namespace qora {

// A value type: copies are independent. A finalized vector holds each
// unordered couple of terms at most once, in the orientation met first, and no
// pair whose weights are both negligible. The weight is 0 except for the
// vectors of concepts.
class TermVector {
 public:
  using TermCounts = std::unordered_map<int32_t, int32_t>;

  // Pairs whose forward and backward weights are both below this are dropped
  // by Finalize.
  static constexpr double kNegligibleWeight = 1e-8;

  TermVector() = default;

  // Removes every pair and term count and sets the weight to 0.
  void Clear();

  // Makes this a copy of `other`.
  void Assign(const TermVector& other) { *this = other; }

  // Replaces the pairs and term counts by those of the sentence `list`: each
  // later term less than `window` positions after a different term adds
  // window minus the distance to the pair of the two, and every position
  // counts one occurrence of its term. The result is finalized; the weight
  // is left as it is.
  void Build(const TermList& list, int window);

  // Adds `other` to this: each of its pairs (in its order) to the same pair,
  // else reversed to the reverse pair, else as a new pair at the end; then
  // its weight and its term counts. A vector without pairs adds nothing, not
  // even its term counts. A sum of counts beyond the int32 range (only a
  // damaged index file holds such counts) stays at the nearest end of it.
  void Merge(const TermVector& other);

  // Merge restricted to the pairs of `other` for which `keep(pair)` is true
  // (called once for every pair, in order); the weight and every term count
  // of `other` are still added. A vector without pairs adds nothing.
  template <typename Keep>
  void MergeIf(const TermVector& other, Keep keep) {
    if (other.pairs_.empty()) return;
    // Indexes and copies keep this safe when `other` is this vector.
    const size_t size = other.pairs_.size();
    for (size_t i = 0; i < size; ++i) {
      const TermPair pair(other.pairs_.at(i));
      if (keep(pair)) MergePair(&pairs_, pair);
    }
    weight_ += other.weight_;
    for (const auto& [id, count] : other.counts_) AddCount(&counts_[id], count);
  }

  // Folds each pair into the pair of the same two terms met first (reversed
  // when needed) and drops the pairs of negligible weight, keeping the order
  // of the rest. Term counts and weight stay as they are.
  void Finalize();

  // Multiplies the weights of every pair by `factor`. The vector's own
  // weight is not changed.
  void Scale(double factor);

  // The sum of both weights of every pair; 0 without pairs.
  double TotalWeight() const;

  // The pairs that this and `other` share, each in this vector's orientation
  // with the products of the weights (those of `other` reversed when it holds
  // the pair reversed), in the order of `other`. A term of a shared pair
  // counts the smaller of its counts in the two vectors, when that is at
  // least 1. The weight of the result is 0.
  TermVector Intersect(const TermVector& other) const;

  // Keeps the pairs of which at least one term occurs in `list`. Both terms
  // of every dropped pair lose their term count, even when a kept pair holds
  // one of them.
  void RestrictToTerms(const TermList& list);

  // Replaces this by the finalized copy of `source` in which every term is
  // replaced by its stem from `stems` (which records the terms it did not
  // know). Pairs of two terms with the same stem become pairs of the stem
  // with itself, and the counts of terms with the same stem add up as Merge
  // adds them. The weight becomes 0.
  void StemmedCopyOf(const TermVector& source, StemMap* stems);

  // The number of occurrences of `id`, or -1 when it has no count.
  int32_t TermCount(int32_t id) const;
  void SetTermCount(int32_t id, int32_t count) { counts_[id] = count; }
  // Removes the count of every term for which `drop(id)` is true.
  template <typename Drop>
  void EraseTermCountsIf(Drop drop) {
    std::erase_if(counts_, [&](const auto& entry) { return drop(entry.first); });
  }

  // The pair (first, second), or nullptr when absent; valid until this changes.
  const TermPair* FindPair(int32_t first, int32_t second) const {
    return pairs_.FindPair(first, second);
  }

  // The pair at `position`, which must be below pair_count().
  const TermPair& PairAt(size_t position) const { return pairs_.at(position); }

  // Adds `pair` at the end of the pairs, as it is.
  void AppendPair(const TermPair& pair) {
    pairs_.Append(pair);
    couples_may_repeat_ = true;
  }

  // Appends the first min(count, pair_count()) pairs to `target`, in order.
  void CopyFirstPairs(PairTable* target, size_t count) const;

  // Writes the binary form of this vector to `out`. A vector without pairs is
  // written as the pair count 0 alone (its term counts are lost) and gives -1;
  // otherwise returns 0, or -1 when the stream fails.
  int WriteVector(std::ostream& out) const;

  // Replaces this by the vector read from `in`. Returns 0, or -1 when the
  // pair count read is not positive (the stream then stands after it) or the
  // data is cut short or damaged; this is then empty.
  int ReadVector(std::istream& in);

  // ReadVector from bytes in memory: reads the vector at the front of
  // `*bytes` and moves `*bytes` past what ReadVector would take from a
  // stream holding them (to the end when the data is cut short).
  int ReadVector(std::string_view* bytes);

  // Reads the pairs of the binary vector at the front of `*bytes` into
  // `pairs` (when not null) without its term counts, and moves `*bytes` past
  // what ReadVector would take from a stream holding them (to the end when
  // the data is cut short). Returns false, with `pairs` empty, when ReadVector
  // would give an empty vector. Lets ranking read a document's pairs without
  // building a vector.
  static bool ReadPairs(std::string_view* bytes, std::vector<TermPair>* pairs);

  size_t pair_count() const { return pairs_.size(); }
  size_t term_count() const { return counts_.size(); }
  const PairTable& pairs() const { return pairs_; }
  const TermCounts& term_counts() const { return counts_; }
  double weight() const { return weight_; }
  void set_weight(double weight) { weight_ = weight; }

 private:
  // Adds `pair` to the pair of `table` with the same ids, else reversed to
  // the reverse pair, else appends it.
  static void MergePair(PairTable* table, const TermPair& pair);

  // Adds `weight` to the forward weight of (first, second), or to the
  // backward weight of (second, first), or appends (first, second).
  void AddOccurrence(int32_t first, int32_t second, double weight);

  // Adds `count` to `*total`, staying at the nearest end of the int32 range
  // when the sum lies beyond it.
  static void AddCount(int32_t* total, int32_t count) {
    const int64_t sum = int64_t{*total} + count;
    *total = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
  }

  // Removes the pairs whose weights are both below kNegligibleWeight.
  void DropNegligiblePairs();

  // Reads the pairs and term counts that follow the pair count `pairs`.
  bool ReadBody(std::istream& in, int32_t pairs);

  PairTable pairs_;
  TermCounts counts_;
  double weight_ = 0.0;
  // False while no two pairs share a couple (in either orientation): true
  // once pairs came in without being folded (read, appended, intersected),
  // until Finalize folds them. Finalizing a vector without repeats needs no
  // fold.
  bool couples_may_repeat_ = false;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_TERM_VECTOR_H_
