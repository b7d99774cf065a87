// Document identifiers: a hash of the document's address in base 36.
#ifndef QORA_STORE_DOCUMENT_ID_H_
#define QORA_STORE_DOCUMENT_ID_H_

#include <string>
#include <string_view>

namespace qora {

// The identifier of the document fetched or imported from `address`. Only
// the first 1500 bytes of the address count; ids of 150 characters or more
// are thinned to every n-th character. The id names every file of the
// document (id ".dml", ".idx", ".htm", ".pdf"), so equal ids are one document.
std::string MakeDocumentId(std::string_view address);

}  // namespace qora

#endif  // QORA_STORE_DOCUMENT_ID_H_
