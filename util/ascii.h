// ASCII character helpers. Text is 8-bit throughout; lower-casing touches
// only 'A' to 'Z', so bytes of other character sets pass unchanged.
#ifndef QORA_UTIL_ASCII_H_
#define QORA_UTIL_ASCII_H_

#include <string>
#include <string_view>

namespace qora {

inline bool IsAsciiUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiLetter(char c) { return IsAsciiUpper(c) || (c >= 'a' && c <= 'z'); }
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// `c` with 'A' to 'Z' turned into 'a' to 'z'; every other byte unchanged.
inline char AsciiLower(char c) { return IsAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

// `c` with 'a' to 'z' turned into 'A' to 'Z'; every other byte unchanged.
inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// `text` with AsciiUpper applied to every byte.
inline std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = AsciiUpper(c);
  return upper;
}

// `text` with AsciiLower applied to every byte.
inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

// Lower-cases `text` in place.
inline void AsciiLowerInPlace(std::string* text) {
  for (char& c : *text) c = AsciiLower(c);
}

// The value of the hexadecimal digit `c` (either case), or -1 for any other
// byte.
inline int HexDigitValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace qora

#endif  // QORA_UTIL_ASCII_H_
