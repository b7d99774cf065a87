// Reader of the document description kept in a DML file.
#ifndef QORA_STORE_DOCUMENT_READER_H_
#define QORA_STORE_DOCUMENT_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "util/document_record.h"
#include "util/record_fields.h"

namespace qora {

// Fills `record` from the first <stat> block of the DML file at `path`, read
// with line ends turned into blanks and nothing trimmed, so a value written
// by WriteStat comes back as " value ". uri, buri and bcuri take their first
// attribute value (unchanged when there is none); rank, ord and the handles
// are not read; keyword entries are appended to the lists. Returns 0, also
// when the file cannot be opened (record untouched).
int ReadDocumentRecord(const std::string& path, DocumentRecord* record);

}  // namespace qora

#endif  // QORA_STORE_DOCUMENT_READER_H_
