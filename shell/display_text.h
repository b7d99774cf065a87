// Text of the libraries made fit for a UTF-8 terminal.
#ifndef QORA_SHELL_DISPLAY_TEXT_H_
#define QORA_SHELL_DISPLAY_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace qora {

// `text` as stored in documents and result lists (Latin-1 bytes, markup
// characters escaped, characters beyond Latin-1 as numeric references,
// escaped once more in titles) in UTF-8: the references "&amp;", "&lt;",
// "&gt;", "&quot;", "&apos;" and "&#N;" / "&#xN;" are decoded, repeatedly
// while an "&amp;" uncovers another, and every other byte above 127 is read
// as Latin-1. Control characters but line feed and tab become blanks, so a
// title cannot move the cursor. Anything malformed is kept as it is.
std::string DisplayText(std::string_view text);

// The first `characters` characters of the UTF-8 text `text`, never cutting
// a character in two.
std::string FirstCharacters(const std::string& text, size_t characters);

}  // namespace qora

#endif  // QORA_SHELL_DISPLAY_TEXT_H_
