// An ordered pair of terms that occur near each other, with the weight of
// each direction of occurrence.
#ifndef QORA_ANALYSIS_TERM_PAIR_H_
#define QORA_ANALYSIS_TERM_PAIR_H_

#include <cstdint>

namespace qora {

// The forward weight accumulates occurrences of second() after first(), the
// backward weight occurrences of first() after second(). Pairs are identified
// by their ids in order: (a,b) and (b,a) are different pairs. The empty pair
// has both ids -1 and no weight.
class TermPair {
 public:
  TermPair() = default;
  TermPair(int32_t first, int32_t second, double forward = 0.0, double backward = 0.0)
      : first_(first), second_(second), forward_(forward), backward_(backward) {}

  int32_t first() const { return first_; }
  int32_t second() const { return second_; }
  double forward() const { return forward_; }
  double backward() const { return backward_; }

  bool empty() const { return first_ == -1 && second_ == -1; }

  // True when `other` has the same ids in the same order; weights do not count.
  bool SamePairAs(const TermPair& other) const {
    return first_ == other.first_ && second_ == other.second_;
  }

  // True when this pair has the ids `first` and `second` in that order.
  bool Is(int32_t first, int32_t second) const { return first_ == first && second_ == second; }

  // The hash of the ids: both 32-bit ids mixed into 64 bits, so that the
  // millions of pairs of a library's statistics spread evenly.
  uint64_t Hash() const {
    uint64_t key = (uint64_t{static_cast<uint32_t>(first_)} << 32) | static_cast<uint32_t>(second_);
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    key *= 0xC4CEB9FE1A85EC53ull;
    return key ^ (key >> 33);
  }

  // The hash of the two ids whatever their order: a pair and its reverse
  // hash alike, so one search finds either orientation.
  uint64_t CoupleHash() const {
    return first_ <= second_ ? Hash() : Reversed().Hash();
  }

  // The same occurrences seen from the other term: ids and weights swapped.
  TermPair Reversed() const { return TermPair(second_, first_, backward_, forward_); }

  void AddForward(double weight) { forward_ += weight; }
  void AddBackward(double weight) { backward_ += weight; }

  // Multiplies both weights by `factor`.
  void Scale(double factor) {
    forward_ *= factor;
    backward_ *= factor;
  }

  // Adds the weights of `other` direction by direction, whatever its ids.
  void Add(const TermPair& other) {
    forward_ += other.forward_;
    backward_ += other.backward_;
  }

  // The weight of both directions.
  double Total() const { return forward_ + backward_; }

  // The pair with these ids and the products of the weights direction by
  // direction; the empty pair when `other` is not the same pair.
  TermPair Product(const TermPair& other) const {
    if (!SamePairAs(other)) return TermPair();
    return TermPair(first_, second_, forward_ * other.forward_, backward_ * other.backward_);
  }

 private:
  int32_t first_ = -1;
  int32_t second_ = -1;
  double forward_ = 0.0;
  double backward_ = 0.0;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_TERM_PAIR_H_
