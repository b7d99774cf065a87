// Turning the bytes of a page into UTF-8 for libtidy: from the character set
// the page declares, through iconv, or else by repairing it as UTF-8.
#ifndef QORA_TOOLS_CHARSET_CONVERSION_H_
#define QORA_TOOLS_CHARSET_CONVERSION_H_

#include <string>
#include <string_view>

namespace qora::tools {

// Converts `bytes` from the iconv character set `charset` into UTF-8 in
// `*utf8`. A byte sequence that is invalid in that character set, or cut
// off at the end, contributes its first byte read as Windows-1252, and the
// conversion goes on after it. Returns false, leaving `*utf8` unspecified,
// when iconv does not know `charset`.
bool ConvertToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8);

// `page` as UTF-8, ready for libtidy: NUL bytes dropped (HTML readers ignore
// them); then converted from the declared character set when it is not
// UTF-8 and iconv knows it, else taken as UTF-8 and repaired (RepairUtf8).
std::string PageAsUtf8(std::string_view page);

}  // namespace qora::tools

#endif  // QORA_TOOLS_CHARSET_CONVERSION_H_
