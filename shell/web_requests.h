// The requests that fill a library from the web, as every front runs them:
// the engine operation, then indexing the new documents and releasing the
// library's statistics. Each needs a started engine (EngineSession) and
// returns "" when done, else the message to show.
#ifndef QORA_SHELL_WEB_REQUESTS_H_
#define QORA_SHELL_WEB_REQUESTS_H_

#include <string>
#include <vector>

#include "util/document_record.h"

namespace qora {

// The parameter strings come from AcquisitionParameters (or, for the quick
// search, EngineParameters) of shell/acquisition_parameters.h.

// Crawls from `addresses` into the web half of the library `library` (name
// or identifier) as `parameters` says, then indexes the new documents.
// Refuses an empty address list. `*added` (when given) receives the number
// of documents the library gained.
std::string CrawlIntoLibrary(const std::string& library, const std::vector<std::string>& addresses,
                             const std::string& parameters, int* added = nullptr);

// Searches the internet for `words` as `parameters` says and stores the
// fetched hits in the library `library` (name or identifier), then indexes
// the new documents. The library's statistics are not released: after a
// search they are left as they are. `*added` as above.
std::string SearchIntoLibrary(const std::string& library, const std::string& words,
                              const std::string& parameters, int* added = nullptr);

// Lists the hits of the engines that `parameters` (an engine part) switches
// on for `words` in `hits` (uri = the hit's address, name = its text,
// fetcher = the engine's name), nothing fetched but the result pages. Uses a
// workspace of its own.
std::string QuickSearchHits(const std::string& words, const std::string& parameters,
                            std::vector<DocumentRecord>* hits);

}  // namespace qora

#endif  // QORA_SHELL_WEB_REQUESTS_H_
