// Finding the character set a page declares and the iconv name under which
// the cleaner reads it.
#ifndef QORA_TOOLS_CHARSET_DETECTION_H_
#define QORA_TOOLS_CHARSET_DETECTION_H_

#include <string>
#include <string_view>

namespace qora::tools {

// The character set that a <meta> tag among the first 64 KiB of `page`
// declares, through charset=NAME or charset="NAME" in either the charset or
// the content attribute; lower-cased; "" when no tag declares one.
std::string DeclaredCharset(std::string_view page);

// The iconv name of the character set that web browsers read for the label
// `charset` (lower-case, as DeclaredCharset returns it), or "" when the page
// is to be read as UTF-8: for UTF-8 itself, for the UTF-16 and UTF-32 forms
// (a page whose tag could be read as ASCII is in none of them) and for
// labels that browsers do not know. Only ASCII-compatible encodings are
// named, read as browsers read them: ISO-8859-1 and ASCII as Windows-1252,
// ISO-8859-9 as Windows-1254, Shift_JIS as CP932, GB2312 as GBK, EUC-KR as
// CP949.
std::string IconvCharsetFor(std::string_view charset);

}  // namespace qora::tools

#endif  // QORA_TOOLS_CHARSET_DETECTION_H_
