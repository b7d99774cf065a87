// Character classes and ASCII case folding for scanning HTML as bytes. Only
// ASCII letters are folded: HTML names and charset labels are ASCII, and a
// byte above 0x7F is left as it is whatever the page's encoding.
#ifndef QORA_TOOLS_HTML_CHARS_H_
#define QORA_TOOLS_HTML_CHARS_H_

#include <string>
#include <string_view>

namespace qora::tools {

// `c` lower-cased when it is an ASCII capital letter, else unchanged.
inline char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `text` with its ASCII capital letters lower-cased.
inline std::string LowerAsciiCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

// True for the blanks HTML separates names and values with.
inline bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

inline bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace qora::tools

#endif  // QORA_TOOLS_HTML_CHARS_H_
