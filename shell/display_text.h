// Text of the libraries made fit for a UTF-8 terminal.
#ifndef QORA_SHELL_DISPLAY_TEXT_H_
#define QORA_SHELL_DISPLAY_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace qora {

// `text` as stored in documents and result lists (Latin-1 bytes, markup
// characters escaped, characters beyond Latin-1 as numeric references,
// escaped once more in titles) in UTF-8 on one line: the references
// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" and "&#N;" / "&#xN;" are
// decoded, repeatedly while an "&amp;" uncovers another, every other byte
// above 127 is read as Latin-1, and then every control character (line ends
// and tabs too) becomes a blank, so a title can neither move the cursor nor
// send the terminal a command. Anything malformed is kept as it is.
std::string DisplayText(std::string_view text);

// Whether TerminalText keeps line feeds.
enum class LineEnds { kKeep, kBlank };

// `text` of any origin (engine messages and status, identifiers, paths,
// result lists as the engine writes them) fit to be written to a terminal:
// every control character becomes a blank, byte for byte; line feeds stay
// when `line_ends` says so. Controls are the bytes 0 to 31 and 127, the
// characters U+0080 to U+009F in UTF-8, and the bytes 0x80 to 0x9F that are
// no part of a UTF-8 character (Latin-1's controls). Every other byte is
// kept as it is, so Latin-1 and UTF-8 text pass unchanged.
std::string TerminalText(std::string_view text, LineEnds line_ends = LineEnds::kBlank);

// The first `characters` characters of the UTF-8 text `text`, never cutting
// a character in two.
std::string FirstCharacters(const std::string& text, size_t characters);

}  // namespace qora

#endif  // QORA_SHELL_DISPLAY_TEXT_H_
