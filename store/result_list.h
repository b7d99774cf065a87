// Result lists: ordered sequences of document records that the shell names
// by handle, and their DML text forms.
#ifndef QORA_STORE_RESULT_LIST_H_
#define QORA_STORE_RESULT_LIST_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "util/document_record.h"

namespace qora {

// An ordered sequence of document records, held by value.
class ResultList {
 public:
  ResultList() = default;

  size_t count() const { return items_.size(); }

  // The record at `index`; requires index < count().
  const DocumentRecord& item(size_t index) const { return items_[index]; }
  DocumentRecord* mutable_item(size_t index) { return &items_[index]; }

  // Adds `record` at the end.
  void Append(DocumentRecord record) { items_.push_back(std::move(record)); }

  // Makes this list's records a copy of `other`'s.
  void ReplaceWith(const ResultList& other) {
    if (&other != this) items_ = other.items_;
  }

  // Removes every record.
  void Clear() { items_.clear(); }

 private:
  std::vector<DocumentRecord> items_;
};

// "<result>\n", then per record "<item>\n" + WriteRecordBody + "</item>\n",
// then "</result>\n".
std::string WriteResultText(const ResultList& list);

// Per record "<stat>\n" + WriteRecordBody + "</stat>\n"; "" for an empty list.
std::string WriteStatText(const ResultList& list);

}  // namespace qora

#endif  // QORA_STORE_RESULT_LIST_H_
