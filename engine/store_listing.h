// Listing the documents of one store as a result list.
#ifndef QORA_ENGINE_STORE_LISTING_H_
#define QORA_ENGINE_STORE_LISTING_H_

#include "store/document_store.h"
#include "store/result_list.h"

namespace qora {

// Appends to `list` the records of `count` documents of `store` (local table
// first, then web table) from position `start`: a `start` outside the table
// becomes the last position, a negative or too large `count` runs to the
// end. Each record gets parent_handle `store_handle`, parid the library name
// and rank position + 1 (+1e-8, so no rank reads as zero); a document whose
// DML file is missing is listed with only its id.
void ListStoreDocuments(const DocumentStore& store, int store_handle, int start, int count,
                        ResultList* list);

}  // namespace qora

#endif  // QORA_ENGINE_STORE_LISTING_H_
