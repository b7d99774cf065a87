// The text the `qora` command line prints for the results of the flows:
// tables of libraries, documents, rankings, search hits, the sentences of a
// summary, concept maps, and the one-line reports of a command. Every
// function writes to `out` only; the texts of the libraries go through
// DisplayText, so what is printed is UTF-8 fit for a terminal.
#ifndef QORA_SHELL_RESULT_PRINTING_H_
#define QORA_SHELL_RESULT_PRINTING_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "shell/library_commands.h"
#include "shell/research_flows.h"
#include "util/document_record.h"

namespace qora {

// `text` (UTF-8) cut to `width` - 2 characters and padded with blanks to
// `width` columns, a character counting as one column.
std::string Column(const std::string& text, size_t width);

// The libraries: NAME, IDENTIFIER, DOCUMENTS, SIZE KB (rounded up), DATE.
void PrintLibraries(const std::vector<LibraryInfo>& libraries, std::ostream& out);

// The documents of a library: # (position), SIZE, ID, NAME / ADDRESS (the
// title, else the address).
void PrintDocuments(const std::vector<DocumentRecord>& documents, std::ostream& out);

// A research's ranking: SCORE (one decimal), TITLE, LIBRARY, DOCUMENT,
// ADDRESS.
void PrintRanking(const std::vector<DocumentRecord>& documents, std::ostream& out);

// A summary of `document_count` documents: for one document its weighted
// sentences in text order (the strongest marked "*") and the weighted
// copy's path; for several, the summarized copies and the combined
// summary's path.
void PrintSummary(const SummaryResult& result, size_t document_count, std::ostream& out);

// A concept map: each concept with its weight, then its key phrases with
// their weights (one decimal).
void PrintConceptMap(const std::vector<DocumentRecord>& concepts, std::ostream& out);

// The hits of a quick search: the hit's text, then its address and the
// engine that gave it.
void PrintSearchHits(const std::vector<DocumentRecord>& hits, std::ostream& out);

// The identifier of a library just made (lib new, lib merge).
void PrintLibraryIdent(const std::string& ident, std::ostream& out);

// The report of `qora init`: the user data folder `folder` was made.
void PrintDataFolderMade(const std::string& folder, std::ostream& out);

// The line that ends an import, a crawl or a search into `library`: how
// many documents it gained ("no new documents" when none).
void PrintAddedDocuments(const std::string& library, int added, std::ostream& out);

}  // namespace qora

#endif  // QORA_SHELL_RESULT_PRINTING_H_
