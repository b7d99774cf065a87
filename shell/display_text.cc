#include "shell/display_text.h"

#include <cstdint>

#include "util/ascii.h"
#include "util/utf8.h"

namespace qora {
namespace {

// The code point of the reference "&...;" whose name (between "&" and ";")
// is `name`, or -1 when it is none this reader knows.
int64_t ReferenceCode(std::string_view name) {
  if (name == "amp") return '&';
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  if (name.size() < 2 || name[0] != '#') return -1;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 7) return -1;
  int64_t code = 0;
  for (char c : digits) {
    const int digit = hex ? HexDigitValue(c) : (IsAsciiDigit(c) ? c - '0' : -1);
    if (digit < 0) return -1;
    code = code * (hex ? 16 : 10) + digit;
  }
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  return code;
}

// One pass of decoding; sets `*changed` when a reference was decoded.
std::string DecodeOnce(std::string_view text, bool* changed) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      const size_t end = text.find(';', i + 1);
      if (end != std::string_view::npos && end - i <= 10) {
        const int64_t code = ReferenceCode(text.substr(i + 1, end - i - 1));
        if (code >= 0) {
          AppendUtf8(static_cast<uint32_t>(code), &out);
          *changed = true;
          i = end;
          continue;
        }
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

// The length of the well-formed UTF-8 character at the start of `text` (2
// to 4 bytes: no overlong forms, no surrogates, nothing past U+10FFFF), or
// 1 for an ASCII byte and for a byte that starts none.
size_t Utf8SequenceLength(std::string_view text) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 1;
  }
  if (text.size() < length) return 1;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 1;
    code = (code << 6) | (next & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 1;
  return length;
}

}  // namespace

// Latin-1 bytes become UTF-8 first, so that characters decoded from
// references, already UTF-8, are not converted a second time.
std::string DisplayText(std::string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x80) {
      AppendUtf8(c, &utf8);
    } else {
      utf8.push_back(static_cast<char>(c));
    }
  }
  bool changed = true;
  for (int round = 0; changed && round < 3; ++round) {
    changed = false;
    utf8 = DecodeOnce(utf8, &changed);
  }
  return TerminalText(utf8);
}

std::string TerminalText(std::string_view text, LineEnds line_ends) {
  std::string out(text);
  for (size_t i = 0; i < out.size();) {
    const unsigned char byte = static_cast<unsigned char>(out[i]);
    const size_t length = Utf8SequenceLength(text.substr(i));
    if (length > 1) {
      // U+0080 to U+009F are the two bytes 0xC2 0x80 to 0xC2 0x9F.
      if (byte == 0xC2 && static_cast<unsigned char>(out[i + 1]) < 0xA0) {
        out[i] = ' ';
        out[i + 1] = ' ';
      }
      i += length;
      continue;
    }
    const bool kept_line_end = byte == '\n' && line_ends == LineEnds::kKeep;
    if ((byte < 0x20 && !kept_line_end) || (byte >= 0x7F && byte < 0xA0)) out[i] = ' ';
    ++i;
  }
  return out;
}

std::string FirstCharacters(const std::string& text, size_t characters) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {  // the first byte of a character
      if (count == characters) return text.substr(0, i);
      ++count;
    }
  }
  return text;
}

}  // namespace qora
