// Small PDF files built in memory, for the tests of PDF conversion.
#ifndef QORA_TESTS_PDF_BUILDER_H_
#define QORA_TESTS_PDF_BUILDER_H_

#include <string>
#include <vector>

namespace qora::test {

// A content stream object holding `stream`, with its true length.
std::string PdfStreamObject(const std::string& stream);

// A PDF file of `objects` (numbered from 1, object 1 the catalog), with a
// cross-reference table at the true offsets so that no reader has to repair
// it. With `info_object` > 0 the trailer names that object as the Info
// dictionary.
std::string AssemblePdf(const std::vector<std::string>& objects, int info_object);

// A one-page PDF whose Info dictionary holds `title` (then `more_info`,
// further entries of the dictionary) and whose page shows `text` in
// Helvetica (WinAnsi encoding); both are PDF literal strings, so "(", ")"
// and "\" must come escaped.
std::string OnePagePdf(const std::string& title, const std::string& text,
                       const std::string& more_info = "");

}  // namespace qora::test

#endif  // QORA_TESTS_PDF_BUILDER_H_
