// Cuts one fuzz input into the values a harness needs: single bytes for
// choices and numbers, and texts ended by a separator byte, so that seeds
// stay readable files ("choice byte, then lines").
#ifndef QORA_FUZZ_FUZZ_INPUT_H_
#define QORA_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qora {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The next byte, or 0 when the input is used up.
  uint8_t Byte() {
    if (rest_.empty()) return 0;
    const auto byte = static_cast<uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return byte;
  }

  // The text up to the next `separator` (which is consumed), or all that is
  // left when there is none.
  std::string_view Text(char separator = '\n') {
    const size_t end = rest_.find(separator);
    const std::string_view text = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return text;
  }

  // Everything not taken yet.
  std::string_view Rest() {
    const std::string_view text = rest_;
    rest_ = {};
    return text;
  }

 private:
  std::string_view rest_;
};

}  // namespace qora

#endif  // QORA_FUZZ_FUZZ_INPUT_H_
