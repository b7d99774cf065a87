// The work of the page cleaner: turning the bytes of an archived page, read
// as UTF-8 (charset_conversion.h), with libtidy into HTML whose attribute
// values are all in double quotes (attribute_quoting.h) and whose text is
// 8-bit, as the engine's page processing expects of the cleaner's output.
#ifndef QORA_TOOLS_PAGE_CLEANING_H_
#define QORA_TOOLS_PAGE_CLEANING_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace qora::tools {

// Inputs larger than this are refused: libtidy needs many times the input
// size in memory, and no page worth indexing comes near it.
inline constexpr size_t kMaxPageBytes = 64u << 20;

// The libtidy name of the output encoding. Characters outside it are written
// as numeric character references ("&#8364;"). libtidy always reads UTF-8:
// the cleaner converts the page first (PageAsUtf8).
inline constexpr const char* kOutputEncoding = "latin1";

// Cleans `page` with libtidy into `*cleaned`: HTML (not XHTML), every
// attribute value in double quotes (NormalizeAttributes), no line wrapping,
// head and <base> kept, output in kOutputEncoding with numeric references for
// other characters, the non-breaking space as a plain byte and a bare "&"
// left bare (the engine decodes no entities). libtidy is told to produce
// output despite errors. Returns false and sets `*error` when the page is
// larger than kMaxPageBytes or libtidy produced nothing.
bool CleanPage(std::string_view page, std::string* cleaned, std::string* error);

}  // namespace qora::tools

#endif  // QORA_TOOLS_PAGE_CLEANING_H_
