#include "analysis/pair_table.h"

#include <algorithm>
#include <bit>

namespace qora {

int32_t PairTable::Find(int32_t first, int32_t second) const {
  if (pairs_.empty()) return -1;
  CatchUpIndex();
  const size_t mask = slots_.size() - 1;
  for (size_t slot = HomeSlot(TermPair(first, second).Hash());; slot = (slot + 1) & mask) {
    const int32_t position = slots_[slot];
    if (position == kFreeSlot) return -1;
    if (pairs_[static_cast<size_t>(position)].Is(first, second)) return position;
  }
}

void PairTable::Append(const TermPair& pair) { pairs_.push_back(pair); }

void PairTable::Reserve(size_t count) { pairs_.reserve(count); }

void PairTable::Clear() {
  pairs_.clear();
  indexed_ = 0;
}

void PairTable::CatchUpIndex() const {
  if (indexed_ == pairs_.size()) return;
  if (indexed_ == 0 || 2 * pairs_.size() > slots_.size()) {
    // Start afresh: the table was emptied or shrank, or outgrew its slots.
    const size_t size = std::bit_ceil(std::max(kMinSlots, 2 * pairs_.size()));
    slots_.assign(size, kFreeSlot);
    shift_ = 64 - std::countr_zero(size);
    indexed_ = 0;
  }
  for (; indexed_ < pairs_.size(); ++indexed_) IndexPosition(static_cast<int32_t>(indexed_));
}

void PairTable::IndexPosition(int32_t position) const {
  const TermPair& pair = pairs_[static_cast<size_t>(position)];
  const size_t mask = slots_.size() - 1;
  size_t slot = HomeSlot(pair.Hash());
  while (slots_[slot] != kFreeSlot && !pairs_[static_cast<size_t>(slots_[slot])].SamePairAs(pair)) {
    slot = (slot + 1) & mask;
  }
  slots_[slot] = position;
}

}  // namespace qora
