// Bringing a library half's document table and its DML files back into
// agreement after the program ended in the middle of changing them.
#ifndef QORA_STORE_TABLE_REPAIR_H_
#define QORA_STORE_TABLE_REPAIR_H_

#include <string>

#include "store/cache_table.h"

namespace qora {

// Makes `table` (the lines of the half's "cache.chx") agree with the files
// of `cache_folder`:
//  - a line whose DML file is missing is dropped: its document can no
//    longer be read, shown or indexed (a move or an erase ended between
//    taking its files away and rewriting this table);
//  - a DML file that no line names is listed again, unprocessed, with the
//    address and size its description holds: DML files are renamed into
//    place whole, so the document is complete, and only its table line was
//    never written (an import or a crawl ended before appending it). A DML
//    file without an address is left unlisted;
//  - ".partial" files of replacements that never finished are removed.
// The table file itself is not written. Returns the number of lines dropped
// and added.
int ReconcileTable(const std::string& cache_folder, CacheTable* table);

}  // namespace qora

#endif  // QORA_STORE_TABLE_REPAIR_H_
