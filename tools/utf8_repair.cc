#include "tools/utf8_repair.h"

#include "util/utf8.h"

namespace qora::tools {

namespace {

constexpr char32_t kByteOrderMark = 0xFEFF;

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F. The five bytes
// that the code page leaves undefined keep their Latin-1 (C1 control) value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence that starts at `bytes[at]`,
// or 0 when none starts there. Second-byte ranges follow the Unicode table
// of well-formed byte sequences (no overlongs, surrogates or values beyond
// U+10FFFF).
size_t Utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  if (byte(1) < second_low || byte(1) > second_high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

char32_t DecodeUtf8Sequence(std::string_view bytes, size_t at, size_t length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  if (length == 1) return byte(0);
  char32_t code = byte(0) & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) code = (code << 6) | (byte(i) & 0x3F);
  return code;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string RepairUtf8(std::string_view bytes) {
  std::string repaired;
  repaired.reserve(bytes.size() + bytes.size() / 8);
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      AppendUtf8(Windows1252ToUnicode(static_cast<unsigned char>(bytes[at])), &repaired);
      ++at;
      continue;
    }
    if (DecodeUtf8Sequence(bytes, at, length) != kByteOrderMark) {
      repaired.append(bytes.substr(at, length));
    }
    at += length;
  }
  return repaired;
}

char32_t Windows1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
  return byte;
}

}  // namespace qora::tools
