// The UTF-8 checks of the page cleaner: checking and repairing UTF-8, and reading a stray byte as Windows-1252, the way web browsers read
// bytes that are not the UTF-8 a page claims to be.
#ifndef QORA_TOOLS_UTF8_REPAIR_H_
#define QORA_TOOLS_UTF8_REPAIR_H_

#include <string>
#include <string_view>

namespace qora::tools {

// The byte-order mark U+FEFF as UTF-8.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// True when `bytes` is well-formed UTF-8: no stray continuation bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF, no cut-off sequence.
bool IsValidUtf8(std::string_view bytes);

// `bytes` turned into well-formed UTF-8: well-formed sequences are kept and
// every other byte is read as Windows-1252 (a superset of the printable
// Latin-1 characters) and encoded as UTF-8, so that a Latin-1 page, or one
// that mixes UTF-8 with Latin-1 bytes, loses no character. The byte-order
// mark U+FEFF is dropped wherever it occurs (the archived copy puts a banner
// before the page, so a page's own mark lands in the middle).
std::string RepairUtf8(std::string_view bytes);

// The code point of the Windows-1252 byte `byte`. The five bytes the code
// page leaves undefined keep their Latin-1 (C1 control) value.
char32_t Windows1252ToUnicode(unsigned char byte);

}  // namespace qora::tools

#endif  // QORA_TOOLS_UTF8_REPAIR_H_
