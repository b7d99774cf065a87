// UTF-8 encoding of code points.
#ifndef QORA_UTIL_UTF8_H_
#define QORA_UTIL_UTF8_H_

#include <cstdint>
#include <string>

namespace qora {

// Appends the UTF-8 bytes of `code` to `out`: one byte below 0x80, two below
// 0x800, three below 0x10000, four above. The caller passes a valid code
// point (at most 0x10FFFF, no surrogate); others are encoded as the same bit
// pattern.
void AppendUtf8(uint32_t code, std::string* out);

}  // namespace qora

#endif  // QORA_UTIL_UTF8_H_
