#include "analysis/term_dictionary.h"

#include <algorithm>
#include <cstring>

#include "util/ascii.h"

namespace qora {
namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
constexpr size_t kInitialSlots = 1024;

inline uint64_t Mix(uint64_t h, uint64_t chunk) {
  h = (h ^ chunk) * kMultiplier;
  return h ^ (h >> 29);
}

// The first 8 bytes of `bytes`, zero-padded, in little-endian order.
inline uint64_t Prefix(std::string_view bytes) {
  uint64_t prefix = 0;
  const size_t n = std::min<size_t>(bytes.size(), 8);
  for (size_t i = 0; i < n; ++i) {
    prefix |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return prefix;
}

inline uint32_t Tag(uint64_t hash, size_t length) {
  return (static_cast<uint32_t>(hash >> 32) & 0xFFFFFF00u) |
         static_cast<uint32_t>(std::min<size_t>(length, 255));
}

}  // namespace

TermDictionary::Key TermDictionary::MakeKey(std::string_view text, char* out) {
  const size_t n = text.size();
  uint64_t h = 0x2545F4914F6CDD1DULL ^ (n * kMultiplier);
  uint64_t chunk = 0;
  uint64_t prefix = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    c = AsciiLower(c);
    out[i] = c;
    chunk |= static_cast<uint64_t>(static_cast<unsigned char>(c)) << (8 * (i & 7));
    if ((i & 7) == 7) {
      if (i == 7) prefix = chunk;
      h = Mix(h, chunk);
      chunk = 0;
    }
  }
  if ((n & 7) != 0) {
    if (n < 8) prefix = chunk;
    h = Mix(h, chunk);
  }
  h *= 0xD6E8FEB86659FD93ULL;
  h ^= h >> 32;
  return Key{std::string_view(out, n), h, prefix, Tag(h, n)};
}

size_t TermDictionary::Probe(const Key& key) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = static_cast<size_t>(key.hash) & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.id == kEmpty) return i;
    if (slot.tag != key.tag || slot.prefix != key.prefix) continue;
    // Equal lengths up to 8 and equal prefixes make equal words.
    if (key.lower.size() <= 8) return i;
    const std::string& word = words_[static_cast<size_t>(slot.id)];
    if (word.size() == key.lower.size() &&
        std::memcmp(word.data() + 8, key.lower.data() + 8, word.size() - 8) == 0) {
      return i;
    }
  }
}

void TermDictionary::Grow() {
  const size_t capacity = slots_.empty() ? kInitialSlots : 2 * slots_.size();
  slots_.assign(capacity, Slot{0, 0, kEmpty});
  const size_t mask = capacity - 1;
  for (size_t id = 0; id < hashes_.size(); ++id) {
    size_t i = static_cast<size_t>(hashes_[id]) & mask;
    while (slots_[i].id != kEmpty) i = (i + 1) & mask;
    const std::string& word = words_[id];
    slots_[i] = Slot{Prefix(word), Tag(hashes_[id], word.size()), static_cast<int32_t>(id)};
  }
}

int32_t TermDictionary::AddWord(std::string_view text) {
  if (scratch_.size() < text.size()) scratch_.resize(text.size());
  const Key key = MakeKey(text, scratch_.data());
  if (slots_.empty()) Grow();
  const size_t i = Probe(key);
  if (slots_[i].id != kEmpty) return slots_[i].id;
  const int32_t id = size();
  words_.emplace_back(key.lower);
  hashes_.push_back(key.hash);
  slots_[i] = Slot{key.prefix, key.tag, id};
  if (2 * words_.size() > slots_.size()) Grow();
  return id;
}

int32_t TermDictionary::FindWord(std::string_view text) const {
  if (slots_.empty()) return -1;
  std::string buffer(text.size(), '\0');
  return slots_[Probe(MakeKey(text, buffer.data()))].id;
}

void TermDictionary::ClearDictionary() {
  words_.clear();
  hashes_.clear();
  slots_.clear();
}

}  // namespace qora
