// The work of the page cleaner: choosing how to read the bytes of an
// archived page and turning them, with libtidy, into HTML whose attribute
// values are all in double quotes and whose text is 8-bit, as the engine's
// page processing expects of the cleaner's output.
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

// `html` (libtidy's output) with every attribute value in double quotes and
// the addresses in href and src values with bare ampersands.
// libtidy quotes every value but keeps single quotes where the page had
// them; the engine takes a link from the first pair of double quotes after
// "HREF", which in <a href='x' title="y"> would be the title. A single-quoted
// value is rewritten in double quotes with each "\"" in it as "&quot;", and
// a value without quotes gets them. The engine decodes no entities, so an
// address must hold "?a=1&b=2", not "?a=1&amp;b=2": in href and src values
// "&amp;", "&#38;" and "&#x26;" (in any case) become "&". Comments,
// declarations, processing instructions and the content of script, style,
// xmp and plaintext elements are copied unchanged, as is all text outside
// tags.
std::string NormalizeAttributes(std::string_view html);

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
