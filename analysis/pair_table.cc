#include "analysis/pair_table.h"

#include <algorithm>
#include <bit>

namespace qora {

int32_t PairTable::Find(int32_t first, int32_t second) const {
  if (pairs_.empty()) return -1;
  CatchUpIndex();
  const uint64_t hash = TermPair(first, second).CoupleHash();
  const uint32_t tag = TagOf(hash);
  const size_t mask = slots_.size() - 1;
  for (size_t slot = HomeSlot(hash);; slot = (slot + 1) & mask) {
    const Slot& entry = slots_[slot];
    if (entry.position == kFreeSlot) return -1;
    if (entry.tag == tag && pairs_[static_cast<size_t>(entry.position)].Is(first, second)) {
      return entry.position;
    }
  }
}

// The reverse pair may sit before the pair itself in the probe sequence, so
// the search only settles for it at the end of the sequence.
int32_t PairTable::Probe(int32_t first, int32_t second, uint64_t hash, int32_t* reverse,
                         size_t* end_slot) const {
  const uint32_t tag = TagOf(hash);
  const size_t mask = slots_.size() - 1;
  *reverse = -1;
  size_t slot = HomeSlot(hash);
  for (;; slot = (slot + 1) & mask) {
    const Slot& entry = slots_[slot];
    if (entry.position == kFreeSlot) break;
    if (entry.tag != tag) continue;
    const TermPair& held = pairs_[static_cast<size_t>(entry.position)];
    if (held.Is(first, second)) return entry.position;
    if (held.Is(second, first)) *reverse = entry.position;
  }
  *end_slot = slot;
  return -1;
}

int32_t PairTable::FindEither(int32_t first, int32_t second, bool* reversed) const {
  *reversed = false;
  if (pairs_.empty()) return -1;
  CatchUpIndex();
  int32_t reverse = -1;
  size_t end_slot = 0;
  const int32_t same =
      Probe(first, second, TermPair(first, second).CoupleHash(), &reverse, &end_slot);
  if (same >= 0) return same;
  *reversed = reverse >= 0;
  return reverse;
}

int32_t PairTable::FindEitherOrAppend(const TermPair& pair, bool* reversed, bool* appended) {
  *reversed = false;
  *appended = false;
  if (pairs_.empty()) {
    pairs_.push_back(pair);  // indexed by the next lookup
    *appended = true;
    return 0;
  }
  CatchUpIndex();
  const uint64_t hash = pair.CoupleHash();
  int32_t reverse = -1;
  size_t end_slot = 0;
  const int32_t same = Probe(pair.first(), pair.second(), hash, &reverse, &end_slot);
  if (same >= 0) return same;
  if (reverse >= 0) {
    *reversed = true;
    return reverse;
  }
  const int32_t position = static_cast<int32_t>(pairs_.size());
  pairs_.push_back(pair);
  *appended = true;
  // The search ended at the free slot where the new pair belongs; when the
  // slots must grow, the next lookup indexes afresh instead.
  if (SlotsNeeded(pairs_.size()) <= slots_.size()) {
    slots_[end_slot] = Slot{TagOf(hash), position};
    indexed_ = pairs_.size();
  }
  return position;
}

void PairTable::Append(const TermPair& pair) { pairs_.push_back(pair); }

void PairTable::Reserve(size_t count) {
  pairs_.reserve(count);
  reserved_ = count;
}

void PairTable::Clear() {
  pairs_.clear();
  indexed_ = 0;
  reserved_ = 0;
}

void PairTable::IndexNewPairs() const {
  const size_t needed = SlotsNeeded(std::max(pairs_.size(), reserved_));
  if (indexed_ == 0 || needed > slots_.size()) {
    // Start afresh: the table was emptied or shrank, or outgrew its slots.
    const size_t size = std::bit_ceil(std::max(kMinSlots, needed + 1));
    slots_.assign(size, Slot{0, kFreeSlot});
    shift_ = 64 - std::countr_zero(size);
    indexed_ = 0;
  }
  for (; indexed_ < pairs_.size(); ++indexed_) IndexPosition(static_cast<int32_t>(indexed_));
}

void PairTable::IndexPosition(int32_t position) const {
  const TermPair& pair = pairs_[static_cast<size_t>(position)];
  const uint64_t hash = pair.CoupleHash();
  const uint32_t tag = TagOf(hash);
  const size_t mask = slots_.size() - 1;
  size_t slot = HomeSlot(hash);
  while (slots_[slot].position != kFreeSlot &&
         !(slots_[slot].tag == tag &&
           pairs_[static_cast<size_t>(slots_[slot].position)].SamePairAs(pair))) {
    slot = (slot + 1) & mask;
  }
  slots_[slot] = Slot{tag, position};
}

}  // namespace qora
