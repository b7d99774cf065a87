// The shell's reader of result list text as WriteResultText produces it.
#ifndef QORA_UTIL_RESULT_TEXT_READER_H_
#define QORA_UTIL_RESULT_TEXT_READER_H_

#include <string_view>
#include <vector>

#include "util/document_record.h"

namespace qora {

// Appends one record to `list` per <item> element of `text` that holds
// elements, in order. Values are trimmed of blanks, tabs, CR and LF at both
// ends. rank is read as a float, ord and parent_handle as decimal integers,
// obj_handle is ignored; uri, buri and bcuri take their first attribute value
// (unchanged when there is none); keyword entries go to the open list.
// Elements outside items, <stat> blocks among them, are ignored.
void ReadResultText(std::string_view text, std::vector<DocumentRecord>* list);

// `text` without blanks, tabs, CR and LF at both ends.
std::string_view TrimWhiteSpace(std::string_view text);

}  // namespace qora

#endif  // QORA_UTIL_RESULT_TEXT_READER_H_
