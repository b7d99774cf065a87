// The tag scanner that reads DML. It finds elements by plain text search on
// one buffer: no entity decoding, names compared byte for byte, text between
// elements not reported. Malformed markup ends the scan of its level quietly.
#ifndef QORA_UTIL_MARKUP_SCANNER_H_
#define QORA_UTIL_MARKUP_SCANNER_H_

#include <string>
#include <string_view>
#include <vector>

namespace qora {

// Receives the elements ScanMarkup finds, in document order. The views point
// into the scanned text and are valid only during the call.
class MarkupHandler {
 public:
  virtual ~MarkupHandler() = default;

  // An element whose content holds a "<": its content is scanned next.
  virtual void StartElement(std::string_view name, std::string_view attributes) = 0;

  // The end of an element reported by StartElement.
  virtual void EndElement(std::string_view name) = 0;

  // An element whose content holds no "<", or an empty-element tag ("<a/>"),
  // which is reported with empty content.
  virtual void LeafElement(std::string_view name, std::string_view content,
                           std::string_view attributes) = 0;

  // Asked after every call above; true ends the scan at once at all levels.
  virtual bool Stop() { return false; }
};

// Scans `text`, reporting its elements to `handler`.
//
// A tag runs from a "<" to the next ">". Its name runs to the first blank or
// to the ">" ("/>" for an empty-element tag); its attribute text is what
// follows that blank. An element's content ends at the first "</name>" after
// the opening tag, so elements of the same name cannot nest. A level ends,
// keeping what was reported before, when no further tag is found or when an
// element's closing tag is missing.
//
// With `skip_header`, scanning starts past the last "<?...?>" construct and
// then past the last "<!...>" construct after it (see the .cc for the rules
// on unterminated ones). Returns 0.
int ScanMarkup(std::string_view text, MarkupHandler* handler, bool skip_header);

// The file at `path` as one line: for each line a blank and the line without
// its line end ("\n" or "\r\n"), then two blanks. Sets *opened (when not
// null) to whether the file could be opened and read; "" when it could not.
std::string ReadJoinedLines(const std::string& path, bool* opened);

// `raw` joined as ReadJoinedLines joins a file's bytes.
std::string JoinLines(std::string_view raw);

// ScanMarkup over ReadJoinedLines(path). Returns -1 when the file cannot be
// opened or read (nothing reported), else 0.
int ScanMarkupFile(const std::string& path, MarkupHandler* handler, bool skip_header);

// Splits attribute text into `names` and `values` (both replaced), in order.
// Each pair is: blanks, tabs and line feeds skipped, the name up to the next
// "=", the value between the next two double quotes (white space kept).
// Parsing stops at the first pair without "=" or without both quotes.
void ParseAttributes(std::string_view text, std::vector<std::string>* names,
                     std::vector<std::string>* values);

}  // namespace qora

#endif  // QORA_UTIL_MARKUP_SCANNER_H_
