// Little-endian encoding of fixed-size integers and doubles for the binary
// files, independent of the byte order of the machine.
#ifndef QORA_ANALYSIS_BINARY_IO_H_
#define QORA_ANALYSIS_BINARY_IO_H_

#include <cstdint>
#include <cstring>
#include <string>

namespace qora {

// Stores `value` as 4 little-endian bytes at `dst`.
inline void EncodeFixed32(char* dst, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) dst[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Stores the IEEE-754 bit pattern of `value` as 8 little-endian bytes at `dst`.
inline void EncodeDouble(char* dst, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  for (int i = 0; i < 8; ++i) dst[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

// The int32 stored as 4 little-endian bytes at `src`.
inline int32_t DecodeFixed32(const char* src) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(src[i]);
  return static_cast<int32_t>(v);
}

// The double whose bit pattern is stored as 8 little-endian bytes at `src`.
inline double DecodeDouble(const char* src) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<unsigned char>(src[i]);
  double value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

// Appends the 4 little-endian bytes of `value` to `dst`.
inline void PutFixed32(std::string* dst, int32_t value) {
  char bytes[4];
  EncodeFixed32(bytes, value);
  dst->append(bytes, sizeof(bytes));
}

// Appends the 8 little-endian bytes of the bit pattern of `value` to `dst`.
inline void PutDouble(std::string* dst, double value) {
  char bytes[8];
  EncodeDouble(bytes, value);
  dst->append(bytes, sizeof(bytes));
}

}  // namespace qora

#endif  // QORA_ANALYSIS_BINARY_IO_H_
