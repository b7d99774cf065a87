#include "engine/store_listing.h"

#include <string>
#include <vector>

namespace qora {

void ListStoreDocuments(const DocumentStore& store, int store_handle, int start, int count,
                        ResultList* list) {
  std::vector<const std::string*> ids;
  for (const LibraryHalf* half : {&store.local(), &store.web()}) {
    for (size_t i = 0; i < half->table.size(); ++i) ids.push_back(&half->table.at(i).id);
  }
  const int n = static_cast<int>(ids.size());
  if (n == 0) return;
  if (start < 0 || start >= n) start = n - 1;
  if (count < 0 || count > n - start) count = n - start;
  for (int position = start; position < start + count; ++position) {
    DocumentRecord record;
    const std::string& id = *ids[static_cast<size_t>(position)];
    store.ReadStoredRecord(id, &record);
    // A document whose DML file is missing is still listed under its id.
    if (record.docid.empty()) record.docid = id;
    record.parent_handle = store_handle;
    record.parid = store.library_name();
    record.rank = (position + 1) + 1e-8;
    list->Append(std::move(record));
  }
}

}  // namespace qora
