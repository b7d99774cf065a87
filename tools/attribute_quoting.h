// Rewriting libtidy's output so that every attribute value stands in double
// quotes and addresses hold bare ampersands, the form the engine's page
// processing reads links in.
#ifndef QORA_TOOLS_ATTRIBUTE_QUOTING_H_
#define QORA_TOOLS_ATTRIBUTE_QUOTING_H_

#include <string>
#include <string_view>

namespace qora::tools {

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

}  // namespace qora::tools

#endif  // QORA_TOOLS_ATTRIBUTE_QUOTING_H_
