// The quick internet search as a workspace operation: the meta-search's hits
// listed in a result list of the workspace, nothing fetched but the search
// engines' result pages.
#ifndef QORA_ENGINE_QUICK_SEARCH_DRIVER_H_
#define QORA_ENGINE_QUICK_SEARCH_DRIVER_H_

#include <string>

#include "engine/workspace.h"
#include "store/document_store.h"

namespace qora {

// Clears the stop flag, runs the quick search for `query_words` with the
// crawl parameter string `parameters` on behalf of the temporary store
// `temp_store`, and registers a new result list of its hits (one record per
// hit, in the order found) in `workspace`. Returns the list's handle; an
// empty query gives an empty list. -1, with no list made, when "crawl.ini",
// "se.ini" or "se_ctrl.ini" cannot be read (the reader's message is on
// std::cerr).
int QuickSearch(Workspace* workspace, const std::string& query_words, const std::string& parameters,
                const DocumentStore& temp_store);

}  // namespace qora

#endif  // QORA_ENGINE_QUICK_SEARCH_DRIVER_H_
