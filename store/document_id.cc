#include "store/document_id.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qora {
namespace {

constexpr size_t kMaxAddressBytes = 1500;
constexpr size_t kMaxIdLength = 150;

std::string Base36(uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string digits;
  do {
    digits.push_back(kDigits[value % 36]);
    value /= 36;
  } while (value != 0);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

// Mixes the bytes so that every byte influences its neighbours.
std::vector<uint8_t> ScrambledBytes(std::string_view address) {
  const size_t n = std::min(address.size(), kMaxAddressBytes);
  std::vector<uint8_t> b(n + 4, 0);
  std::copy_n(address.begin(), n, b.begin());
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(b[i] + b[i + 2]);
  for (size_t i = 0; i < n; ++i) b[i + 3] = static_cast<uint8_t>(b[i + 3] + b[i]);
  return b;
}

uint32_t HashGroup(const uint8_t* group) {
  // The bytes count as signed values, as the historic ids were made.
  uint32_t h = static_cast<uint32_t>(static_cast<int8_t>(group[0]));
  for (int i = 1; i < 4; ++i) h = h * 256u + static_cast<uint32_t>(static_cast<int8_t>(group[i]));
  h += h << 12;
  h ^= h >> 22;
  h += h << 4;
  h ^= h >> 9;
  h += h << 10;
  h ^= h >> 2;
  h += h << 7;
  h ^= h >> 12;
  return h;
}

}  // namespace

std::string MakeDocumentId(std::string_view address) {
  const std::vector<uint8_t> b = ScrambledBytes(address);
  const size_t n = b.size() - 4;
  std::string id;
  for (size_t k = 0; k * 4 < n; ++k) id += Base36(HashGroup(&b[k * 4]));
  if (id.size() >= kMaxIdLength) {
    const size_t step = id.size() / kMaxIdLength + 1;
    const size_t keep = id.size() / step;
    std::string thinned;
    for (size_t i = 0; i < keep; ++i) thinned.push_back(id[i * step]);
    id = std::move(thinned);
  }
  std::reverse(id.begin(), id.end());
  return id;
}

}  // namespace qora
