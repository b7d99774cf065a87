// A set of delimiter bytes with constant-time membership.
#ifndef QORA_ANALYSIS_DELIMITER_SET_H_
#define QORA_ANALYSIS_DELIMITER_SET_H_

#include <array>
#include <string>
#include <string_view>

namespace qora {

// The word delimiters of every analysis: blank, tab, line feed, the ASCII
// punctuation except "-" and "_", and the Windows-1252 bullet and curly double
// quotation marks. The grave accent stands twice, as it always has.
inline constexpr std::string_view kWordDelimiters{
    " \t\n.,;:\"'`~!@#$%^&*()+=|\\{}[]<>?/\x95\x93\x94`", 37};

class DelimiterSet {
 public:
  // A set holding every byte of `bytes`.
  explicit DelimiterSet(std::string_view bytes = {}) { Assign(bytes); }

  void Assign(std::string_view bytes) {
    member_.fill(false);
    bytes_.assign(bytes.data(), bytes.size());
    for (char c : bytes) member_[static_cast<unsigned char>(c)] = true;
  }

  bool Contains(char c) const { return member_[static_cast<unsigned char>(c)]; }

  // The bytes the set was made from, in their original order.
  const std::string& bytes() const { return bytes_; }

 private:
  std::array<bool, 256> member_{};
  std::string bytes_;
};

}  // namespace qora

#endif  // QORA_ANALYSIS_DELIMITER_SET_H_
