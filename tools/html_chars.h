// Character classes for scanning HTML as bytes. Only ASCII letters are
// folded (util/ascii.h): HTML names and charset labels are ASCII, and a byte
// above 0x7F is left as it is whatever the page's encoding.
#ifndef QORA_TOOLS_HTML_CHARS_H_
#define QORA_TOOLS_HTML_CHARS_H_

#include "util/ascii.h"

namespace qora::tools {

// True for the blanks HTML separates names and values with.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace qora::tools

#endif  // QORA_TOOLS_HTML_CHARS_H_
