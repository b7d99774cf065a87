#include "analysis/pair_table.h"

#include <algorithm>
#include <bit>

namespace qora {

int32_t PairTable::Find(int32_t first, int32_t second) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  for (size_t slot = HomeSlot(TermPair(first, second).Hash());; slot = (slot + 1) & mask) {
    const int32_t position = slots_[slot];
    if (position == kFreeSlot) return -1;
    if (pairs_[static_cast<size_t>(position)].Is(first, second)) return position;
  }
}

void PairTable::Append(const TermPair& pair) {
  if (2 * (pairs_.size() + 1) > slots_.size()) ResizeIndex(pairs_.size() + 1);
  pairs_.push_back(pair);
  IndexPosition(static_cast<int32_t>(pairs_.size() - 1));
}

void PairTable::Reserve(size_t count) {
  pairs_.reserve(count);
  if (2 * count > slots_.size()) ResizeIndex(count);
}

void PairTable::Clear() {
  pairs_.clear();
  std::fill(slots_.begin(), slots_.end(), kFreeSlot);
}

void PairTable::IndexPosition(int32_t position) {
  const TermPair& pair = pairs_[static_cast<size_t>(position)];
  const size_t mask = slots_.size() - 1;
  size_t slot = HomeSlot(pair.Hash());
  while (slots_[slot] != kFreeSlot && !pairs_[static_cast<size_t>(slots_[slot])].SamePairAs(pair)) {
    slot = (slot + 1) & mask;
  }
  slots_[slot] = position;
}

void PairTable::ResizeIndex(size_t count) {
  const size_t size = std::bit_ceil(std::max(kMinSlots, 2 * count));
  slots_.assign(size, kFreeSlot);
  shift_ = 64 - std::countr_zero(size);
  Reindex();
}

void PairTable::Reindex() {
  std::fill(slots_.begin(), slots_.end(), kFreeSlot);
  for (size_t i = 0; i < pairs_.size(); ++i) IndexPosition(static_cast<int32_t>(i));
}

}  // namespace qora
