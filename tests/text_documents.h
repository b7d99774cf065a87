// Turns plain-text test documents into library documents.
#ifndef QORA_TESTS_TEXT_DOCUMENTS_H_
#define QORA_TESTS_TEXT_DOCUMENTS_H_

#include <string>
#include <string_view>
#include <vector>

#include "util/document_record.h"

namespace qora::test {

// The DML document of a plain text whose first line is the title and whose
// paragraphs are separated by empty lines; sentences end at ". ", "? " or
// "! " (or the line's end).
std::string TextToDml(const std::string& address, const std::string& text);

// Adds the text files to the local half of the library whose cache folder
// is `cache_folder` (DML file and table line each, as an import does) and
// returns their document ids in order.
std::vector<std::string> AddTextDocuments(const std::string& cache_folder,
                                          const std::vector<std::string>& files);

// The document id the library gives the document at `address`.
std::string DocumentIdOf(const std::string& address);

// A DML document: the description of `record`, then `paragraphs` (DML
// "<p>" elements) as they are given.
std::string DmlOf(const DocumentRecord& record, const std::string& paragraphs);

// The stem the analysis makes of `word`, in the word's own letter case.
std::string StemOf(std::string_view word);

// The text files of the test corpus, in name order.
std::vector<std::string> CorpusFiles();

}  // namespace qora::test

#endif  // QORA_TESTS_TEXT_DOCUMENTS_H_
