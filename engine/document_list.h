// The document list string by which the shell names several documents:
// entries "store handle,document id;", each closed by ";".
#ifndef QORA_ENGINE_DOCUMENT_LIST_H_
#define QORA_ENGINE_DOCUMENT_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace qora {

struct DocumentReference {
  int store_handle = 0;
  std::string document_id;
};

// The entries of `text` in order. An entry needs its "," and its closing
// ";": text after the last ";" is ignored, and so is an entry without ",".
// The handle converts like atoi.
std::vector<DocumentReference> ParseDocumentList(std::string_view text);

// The document list string of `references`.
std::string FormatDocumentList(const std::vector<DocumentReference>& references);

}  // namespace qora

#endif  // QORA_ENGINE_DOCUMENT_LIST_H_
