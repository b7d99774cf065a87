// The term pairs of a vector, in insertion order, with a hash index by ids.
#ifndef QORA_ANALYSIS_PAIR_TABLE_H_
#define QORA_ANALYSIS_PAIR_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/term_pair.h"

namespace qora {

// Positions are indexes into insertion order. Copying copies the pairs and
// the index. Appending a pair whose ids are already present adds a second
// element and makes Find return the newer one; callers that want one element
// per pair look it up first.
//
// The index is brought up to date by the first lookup after appends, so a
// table that is only filled and walked (a document's vector read for
// scoring) never builds one. A lookup therefore changes the index of a const
// table: a table may not be searched from two threads at once.
class PairTable {
 public:
  PairTable() = default;

  // The position of the pair (first, second), or -1 when absent.
  int32_t Find(int32_t first, int32_t second) const;

  // The position of (first, second), else that of (second, first) with
  // `*reversed` set, else -1. One search serves both orientations.
  int32_t FindEither(int32_t first, int32_t second, bool* reversed) const;

  // As FindEither for the ids of `pair`; when neither orientation is
  // present, appends `pair` instead, sets `*appended` and returns its
  // position. One probe sequence serves the search and the indexing of the
  // new pair.
  int32_t FindEitherOrAppend(const TermPair& pair, bool* reversed, bool* appended);

  // The pair (first, second), or nullptr when absent. The pointer is valid
  // until the next change of the table.
  TermPair* FindPair(int32_t first, int32_t second) {
    const int32_t position = Find(first, second);
    return position < 0 ? nullptr : &pairs_[static_cast<size_t>(position)];
  }
  const TermPair* FindPair(int32_t first, int32_t second) const {
    const int32_t position = Find(first, second);
    return position < 0 ? nullptr : &pairs_[static_cast<size_t>(position)];
  }

  // Adds `pair` at the end.
  void Append(const TermPair& pair);

  // Keeps the pairs for which `keep(pair)` is true, in their order. `keep`
  // is called once for every pair, in order.
  template <typename Keep>
  void RetainIf(Keep keep) {
    size_t kept = 0;
    for (size_t i = 0; i < pairs_.size(); ++i) {
      if (keep(static_cast<const TermPair&>(pairs_[i]))) pairs_[kept++] = pairs_[i];
    }
    if (kept == pairs_.size()) return;
    pairs_.resize(kept);
    indexed_ = 0;
  }

  // Makes room for `count` pairs without reallocating, and sizes the index
  // for that many when it is next built, so that filling the table up to
  // `count` pairs with lookups in between never rebuilds the index.
  void Reserve(size_t count);

  // Removes every pair; the memory is kept for reuse.
  void Clear();

  size_t size() const { return pairs_.size(); }
  bool empty() const { return pairs_.empty(); }

  // The pair at `position`, which must be below size(). Changing the ids of
  // a pair through the non-const form would corrupt the index: callers
  // change weights only.
  const TermPair& at(size_t position) const { return pairs_[position]; }
  TermPair& at(size_t position) { return pairs_[position]; }

  std::vector<TermPair>::const_iterator begin() const { return pairs_.begin(); }
  std::vector<TermPair>::const_iterator end() const { return pairs_.end(); }

 private:
  // One slot of the index: a position in pairs_ (kFreeSlot when unused) and
  // the low half of the couple hash of the pair there, which settles most
  // mismatches without reading the pair itself.
  struct Slot {
    uint32_t tag;
    int32_t position;
  };
  static constexpr int32_t kFreeSlot = -1;
  static constexpr size_t kMinSlots = 16;

  // The slot where the search for `hash` starts.
  size_t HomeSlot(uint64_t hash) const { return static_cast<size_t>(hash >> shift_); }
  static uint32_t TagOf(uint64_t hash) { return static_cast<uint32_t>(hash); }

  // Slots needed for `pairs` indexed pairs.
  static size_t SlotsNeeded(size_t pairs) { return pairs + pairs / 2; }

  // One probe sequence of the up-to-date index for the couple of (first,
  // second), whose couple hash is `hash`: the position of (first, second);
  // else -1, with `*reverse` the position of (second, first) or -1 and
  // `*end_slot` the free slot that ended the sequence.
  int32_t Probe(int32_t first, int32_t second, uint64_t hash, int32_t* reverse,
                size_t* end_slot) const;

  // Indexes the pairs appended since the last lookup, in order.
  void CatchUpIndex() const {
    if (indexed_ != pairs_.size()) IndexNewPairs();
  }
  void IndexNewPairs() const;

  // Points the index entry of pairs_[position]'s ids at `position`.
  void IndexPosition(int32_t position) const;

  std::vector<TermPair> pairs_;
  // Open addressing with linear probing over couple hashes, so that a pair
  // and its reverse share one probe sequence. The size is a power of two (or
  // zero) and at least 3/2 of the number of indexed pairs; pairs_[0,
  // indexed_) are indexed.
  mutable std::vector<Slot> slots_;
  mutable int shift_ = 64;
  mutable size_t indexed_ = 0;
  size_t reserved_ = 0;  // pairs the index is sized for at least
};

}  // namespace qora

#endif  // QORA_ANALYSIS_PAIR_TABLE_H_
