#include "analysis/term_vector.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "analysis/binary_io.h"

// Binary form of a vector, all numbers little-endian:
//   pair count n (int32); when n <= 0 nothing else of the vector follows
//   weight (float64)
//   reserved (32 bits, written 0, ignored on reading)
//   n pairs of 24 bytes: first id (int32), second id (int32),
//     backward weight (float64), forward weight (float64)
//   term count m (int32)
//   m terms of 8 bytes: id (int32), count (int32)
// The terms are written in increasing id order so that equal vectors give
// equal bytes.

namespace qora {
namespace {

constexpr size_t kHeaderBytes = 12;  // Weight and reserved field.
constexpr size_t kPairBytes = 24;
constexpr size_t kTermBytes = 8;
// Records are read in batches of at most this many: the counts in the data
// are not trusted to size anything, so memory grows only with what was read.
constexpr size_t kRecordsPerBatch = 256;

// Reads `count` records of `record_bytes` each from `in` and hands each to
// `take`. False when the stream ends first.
template <typename Take>
bool ReadRecords(std::istream& in, int32_t count, size_t record_bytes, Take take) {
  std::array<char, kRecordsPerBatch * kPairBytes> batch;
  size_t remaining = static_cast<size_t>(count);
  while (remaining > 0) {
    const size_t records = std::min(remaining, kRecordsPerBatch);
    if (!in.read(batch.data(), static_cast<std::streamsize>(records * record_bytes))) {
      return false;
    }
    for (size_t i = 0; i < records; ++i) take(batch.data() + i * record_bytes);
    remaining -= records;
  }
  return true;
}

// Walks the binary vector at the front of `*bytes` as ReadVector reads one
// from a stream, and moves `*bytes` past what that takes (to the end when the
// data is cut short, as a stream then fails). Calls start(pair count,
// weight) once the pairs are known to be there, then pair() for each pair
// (only when `want_pairs`) and count() for each term count, all before
// knowing whether the vector is whole: false tells the caller to drop them.
template <typename Start, typename Pair, typename Count>
bool ParseVector(std::string_view* bytes, Start start, Pair pair, Count count, bool want_pairs) {
  std::string_view in = *bytes;
  const auto cut_short = [&]() {
    bytes->remove_prefix(bytes->size());
    return false;
  };
  if (in.size() < 4) return cut_short();
  const int32_t pairs = DecodeFixed32(in.data());
  in.remove_prefix(4);
  if (pairs <= 0) {
    *bytes = in;
    return false;
  }
  const size_t pair_bytes = static_cast<size_t>(pairs) * kPairBytes;
  if (in.size() < kHeaderBytes + pair_bytes + 4) return cut_short();
  start(pairs, DecodeDouble(in.data()));
  if (want_pairs) {
    const char* record = in.data() + kHeaderBytes;
    for (int32_t i = 0; i < pairs; ++i, record += kPairBytes) {
      pair(TermPair(DecodeFixed32(record), DecodeFixed32(record + 4), DecodeDouble(record + 16),
                    DecodeDouble(record + 8)));
    }
  }
  const int32_t terms = DecodeFixed32(in.data() + kHeaderBytes + pair_bytes);
  in.remove_prefix(kHeaderBytes + pair_bytes + 4);
  if (terms < 0) {  // A stream stands right after the count.
    *bytes = in;
    return false;
  }
  const size_t term_bytes = static_cast<size_t>(terms) * kTermBytes;
  if (in.size() < term_bytes) return cut_short();
  for (const char* record = in.data(); record < in.data() + term_bytes; record += kTermBytes) {
    count(DecodeFixed32(record), DecodeFixed32(record + 4));
  }
  in.remove_prefix(term_bytes);
  *bytes = in;
  return true;
}

int32_t CountOrZero(const TermVector::TermCounts& counts, int32_t id) {
  const auto found = counts.find(id);
  return found == counts.end() ? 0 : found->second;
}

// Gives `id` the smaller of its counts in `a` and `b` in `result`, unless it
// has a count there already or the smaller count is below 1.
void StoreSmallerCount(int32_t id, const TermVector::TermCounts& a, const TermVector::TermCounts& b,
                       TermVector::TermCounts* result) {
  if (result->count(id) != 0) return;
  const int32_t count = std::min(CountOrZero(a, id), CountOrZero(b, id));
  if (count >= 1) (*result)[id] = count;
}

}  // namespace

void TermVector::Clear() {
  pairs_.Clear();
  counts_.clear();
  weight_ = 0.0;
  couples_may_repeat_ = false;
}

// Adding each occurrence to the pair of its two terms met first gives what
// collecting the ordered pairs and finalizing would give: the same pairs in
// the same order and orientation, with the same weights, none of them
// negligible since every occurrence weighs at least 1. Folding as we go saves
// building the table twice.
void TermVector::Build(const TermList& list, int window) {
  pairs_.Clear();
  couples_may_repeat_ = false;
  counts_.clear();
  const std::vector<int32_t>& ids = list.ids();
  const size_t size = ids.size();
  const size_t reach = window > 1 ? static_cast<size_t>(window) : 1;
  for (size_t p = 0; p < size; ++p) {
    const size_t end = std::min(size, p + reach);
    for (size_t q = p + 1; q < end; ++q) {
      if (ids[q] == ids[p]) continue;
      AddOccurrence(ids[p], ids[q], static_cast<double>(window) - static_cast<double>(q - p));
    }
    ++counts_[ids[p]];
  }
}

void TermVector::Merge(const TermVector& other) {
  MergeIf(other, [](const TermPair&) { return true; });
}

// Folding into a fresh table is Merge into a fresh vector, whose weight and
// term counts become those of this vector. A vector without pairs keeps its
// term counts and weight although Merge would not carry them over: a sentence
// of one term, or one built with a window below 2, has term counts and no
// pairs, and must not lose them.
// Without repeated couples the fold would append every pair as it is, so
// only the negligible pairs go.
void TermVector::Finalize() {
  if (pairs_.empty()) return;
  if (couples_may_repeat_) {
    PairTable folded;
    folded.Reserve(pairs_.size());
    for (const TermPair& pair : pairs_) MergePair(&folded, pair);
    pairs_ = std::move(folded);
    couples_may_repeat_ = false;
  }
  DropNegligiblePairs();
}

void TermVector::Scale(double factor) {
  for (size_t i = 0; i < pairs_.size(); ++i) pairs_.at(i).Scale(factor);
}

double TermVector::TotalWeight() const {
  double total = 0.0;
  for (const TermPair& pair : pairs_) total += pair.Total();
  return total;
}

TermVector TermVector::Intersect(const TermVector& other) const {
  TermVector result;
  for (const TermPair& pair : other.pairs_) {
    bool reversed = false;
    const int32_t position = pairs_.FindEither(pair.first(), pair.second(), &reversed);
    if (position < 0) continue;
    const TermPair& held = pairs_.at(static_cast<size_t>(position));
    const TermPair common = held.Product(reversed ? pair.Reversed() : pair);
    result.pairs_.Append(common);
    result.couples_may_repeat_ = true;  // `other` may hold a couple twice
    StoreSmallerCount(common.first(), counts_, other.counts_, &result.counts_);
    StoreSmallerCount(common.second(), counts_, other.counts_, &result.counts_);
  }
  return result;
}

void TermVector::RestrictToTerms(const TermList& list) {
  const std::unordered_set<int32_t> wanted(list.ids().begin(), list.ids().end());
  pairs_.RetainIf([&](const TermPair& pair) {
    if (wanted.count(pair.first()) != 0 || wanted.count(pair.second()) != 0) return true;
    counts_.erase(pair.first());
    counts_.erase(pair.second());
    return false;
  });
}

// Folding each stemmed pair straight into the empty table is the same as
// appending them all and finalizing.
void TermVector::StemmedCopyOf(const TermVector& source, StemMap* stems) {
  if (&source == this) {
    const TermVector copy(source);
    StemmedCopyOf(copy, stems);
    return;
  }
  Clear();
  pairs_.Reserve(source.pairs_.size());
  for (const TermPair& pair : source.pairs_) {
    MergePair(&pairs_, TermPair(stems->StemOf(pair.first()), stems->StemOf(pair.second()),
                                pair.forward(), pair.backward()));
  }
  for (const auto& [id, count] : source.counts_) AddCount(&counts_[stems->StemOf(id)], count);
  DropNegligiblePairs();
}

int32_t TermVector::TermCount(int32_t id) const {
  const auto found = counts_.find(id);
  return found == counts_.end() ? -1 : found->second;
}

void TermVector::CopyFirstPairs(PairTable* target, size_t count) const {
  const size_t copied = std::min(count, pairs_.size());
  for (size_t i = 0; i < copied; ++i) target->Append(pairs_.at(i));
}

// The bytes go out in pieces of about kWriteChunk, so that a master vector
// of millions of pairs needs no buffer of its whole size.
int TermVector::WriteVector(std::ostream& out) const {
  constexpr size_t kWriteChunk = 1 << 20;
  std::string buffer;
  const auto flush_if_full = [&] {
    if (buffer.size() < kWriteChunk) return;
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
  };
  if (pairs_.empty()) {
    PutFixed32(&buffer, 0);
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    return -1;
  }
  std::vector<std::pair<int32_t, int32_t>> terms(counts_.begin(), counts_.end());
  std::sort(terms.begin(), terms.end());
  buffer.reserve(kWriteChunk + std::max(kPairBytes, kTermBytes) + 4 + kHeaderBytes);
  PutFixed32(&buffer, static_cast<int32_t>(pairs_.size()));
  PutDouble(&buffer, weight_);
  PutFixed32(&buffer, 0);  // Reserved.
  for (const TermPair& pair : pairs_) {
    PutFixed32(&buffer, pair.first());
    PutFixed32(&buffer, pair.second());
    PutDouble(&buffer, pair.backward());
    PutDouble(&buffer, pair.forward());
    flush_if_full();
  }
  PutFixed32(&buffer, static_cast<int32_t>(terms.size()));
  for (const auto& [id, count] : terms) {
    PutFixed32(&buffer, id);
    PutFixed32(&buffer, count);
    flush_if_full();
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  return out ? 0 : -1;
}

int TermVector::ReadVector(std::istream& in) {
  Clear();
  char count_bytes[4];
  if (!in.read(count_bytes, sizeof(count_bytes))) return -1;
  const int32_t pairs = DecodeFixed32(count_bytes);
  if (pairs <= 0) return -1;
  if (ReadBody(in, pairs)) return 0;
  Clear();
  return -1;
}

bool TermVector::ReadPairs(std::string_view* bytes, std::vector<TermPair>* pairs) {
  if (pairs != nullptr) pairs->clear();
  const bool read = ParseVector(
      bytes,
      [&](int32_t count, double) {
        if (pairs != nullptr) pairs->reserve(static_cast<size_t>(count));
      },
      [&](const TermPair& pair) {
        if (pairs != nullptr) pairs->push_back(pair);
      },
      [](int32_t, int32_t) {}, pairs != nullptr);
  if (!read && pairs != nullptr) pairs->clear();
  return read;
}

int TermVector::ReadVector(std::string_view* bytes) {
  Clear();
  const bool read = ParseVector(
      bytes,
      [&](int32_t count, double weight) {
        pairs_.Reserve(static_cast<size_t>(count));
        weight_ = weight;
      },
      [&](const TermPair& pair) {
        pairs_.Append(pair);
        couples_may_repeat_ = true;
      },
      [&](int32_t id, int32_t count) { counts_[id] = count; }, true);
  if (read) return 0;
  Clear();
  return -1;
}

void TermVector::MergePair(PairTable* table, const TermPair& pair) {
  bool reversed = false;
  bool appended = false;
  const int32_t position = table->FindEitherOrAppend(pair, &reversed, &appended);
  if (!appended) table->at(static_cast<size_t>(position)).Add(reversed ? pair.Reversed() : pair);
}

void TermVector::AddOccurrence(int32_t first, int32_t second, double weight) {
  bool reversed = false;
  bool appended = false;
  const int32_t position =
      pairs_.FindEitherOrAppend(TermPair(first, second, weight, 0.0), &reversed, &appended);
  if (appended) return;
  if (reversed) {
    pairs_.at(static_cast<size_t>(position)).AddBackward(weight);
  } else {
    pairs_.at(static_cast<size_t>(position)).AddForward(weight);
  }
}

void TermVector::DropNegligiblePairs() {
  pairs_.RetainIf([](const TermPair& pair) {
    return !(pair.forward() < kNegligibleWeight && pair.backward() < kNegligibleWeight);
  });
}

bool TermVector::ReadBody(std::istream& in, int32_t pairs) {
  char header[kHeaderBytes];
  if (!in.read(header, sizeof(header))) return false;
  weight_ = DecodeDouble(header);  // The reserved field that follows carries nothing.
  couples_may_repeat_ = true;      // a file may hold a couple twice
  const bool pairs_read = ReadRecords(in, pairs, kPairBytes, [this](const char* record) {
    pairs_.Append(TermPair(DecodeFixed32(record), DecodeFixed32(record + 4),
                           DecodeDouble(record + 16), DecodeDouble(record + 8)));
  });
  if (!pairs_read) return false;
  char count_bytes[4];
  if (!in.read(count_bytes, sizeof(count_bytes))) return false;
  const int32_t terms = DecodeFixed32(count_bytes);
  if (terms < 0) return false;
  return ReadRecords(in, terms, kTermBytes, [this](const char* record) {
    counts_[DecodeFixed32(record)] = DecodeFixed32(record + 4);
  });
}

}  // namespace qora
