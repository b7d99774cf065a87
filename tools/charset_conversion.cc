#include "tools/charset_conversion.h"

#include <errno.h>
#include <iconv.h>

#include "tools/charset_detection.h"
#include "tools/utf8_repair.h"
#include "util/utf8.h"

namespace qora::tools {

bool ConvertToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8) {
  iconv_t converter = iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  utf8->clear();
  utf8->reserve(bytes.size() + bytes.size() / 2);
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  char chunk[16384];
  while (in_left > 0) {
    char* out = chunk;
    size_t out_left = sizeof chunk;
    const size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    const int failure = errno;
    utf8->append(chunk, static_cast<size_t>(out - chunk));
    if (done != static_cast<size_t>(-1)) continue;   // all input converted
    if (failure == E2BIG && out != chunk) continue;  // the chunk is full
    // An invalid or cut-off sequence (or, impossibly, a character larger
    // than the chunk): keep its first byte and go on after it.
    AppendUtf8(Windows1252ToUnicode(static_cast<unsigned char>(*in)), utf8);
    ++in;
    --in_left;
  }
  // Whatever a stateful encoding still holds back.
  char* out = chunk;
  size_t out_left = sizeof chunk;
  iconv(converter, nullptr, nullptr, &out, &out_left);
  utf8->append(chunk, static_cast<size_t>(out - chunk));
  iconv_close(converter);
  return true;
}

std::string PageAsUtf8(std::string_view page) {
  std::string bytes(page);
  std::erase(bytes, '\0');
  const std::string charset = IconvCharsetFor(DeclaredCharset(bytes));
  std::string converted;
  if (!charset.empty() && ConvertToUtf8(bytes, charset, &converted)) return RepairUtf8(converted);
  // Most pages are clean UTF-8 (or ASCII) already and need no second copy.
  if (IsValidUtf8(bytes) && bytes.find(kUtf8ByteOrderMark) == std::string::npos) return bytes;
  return RepairUtf8(bytes);
}

}  // namespace qora::tools
