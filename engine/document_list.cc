#include "engine/document_list.h"

#include "util/decimal.h"

namespace qora {

std::vector<DocumentReference> ParseDocumentList(std::string_view text) {
  std::vector<DocumentReference> references;
  size_t start = 0;
  for (size_t end = text.find(';'); end != std::string_view::npos; end = text.find(';', start)) {
    const std::string_view entry = text.substr(start, end - start);
    start = end + 1;
    const size_t comma = entry.find(',');
    if (comma == std::string_view::npos) continue;
    references.push_back(
        {ParseDecimal(entry.substr(0, comma)), std::string(entry.substr(comma + 1))});
  }
  return references;
}

std::string FormatDocumentList(const std::vector<DocumentReference>& references) {
  std::string text;
  for (const DocumentReference& reference : references) {
    text += std::to_string(reference.store_handle) + "," + reference.document_id + ";";
  }
  return text;
}

}  // namespace qora
