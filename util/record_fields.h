// The mapping from DML element names to the fields of a document record,
// shared by the readers of DML files and of result list text.
#ifndef QORA_UTIL_RECORD_FIELDS_H_
#define QORA_UTIL_RECORD_FIELDS_H_

#include <string>
#include <string_view>
#include <vector>

#include "util/document_record.h"

namespace qora {

// The text field of `record` whose element is named `name` (docid, parid,
// group, curi, dmluri, size, type, lang, char_enc, date_cr, date_ret, name,
// header, sdesc, ldesc, note, owner, status, fetcher, source), or nullptr.
std::string* FindTextField(DocumentRecord* record, std::string_view name);

// The uri, buri or bcuri field of `record` named `name`, or nullptr.
std::string* FindLinkField(DocumentRecord* record, std::string_view name);

// An "i" entry: weight is the first attribute value read as a float (single
// precision, leading white space skipped), count the second read as a
// decimal integer; a missing attribute counts as 0.
WeightedTerm MakeWeightedTerm(std::string_view attributes, std::string_view text);

// `text` read as a single-precision float and widened, like strtof: leading
// white space skipped, conversion stops at the first unusable byte, 0 when
// nothing converts.
double ParseFloat(std::string_view text);

// Tracks which of the keywords, keyphrases and keypassages lists is open.
class TermListState {
 public:
  // Open/Close return whether `name` names one of the lists; if so its flag
  // is set or cleared.
  bool Open(std::string_view name) { return SetFlag(name, true); }
  bool Close(std::string_view name) { return SetFlag(name, false); }

  // The open list of `record` an entry goes to, keywords first, then
  // keyphrases, then keypassages; nullptr when none is open.
  std::vector<WeightedTerm>* Target(DocumentRecord* record) const;

 private:
  bool SetFlag(std::string_view name, bool value);

  bool keywords_ = false;
  bool keyphrases_ = false;
  bool keypassages_ = false;
};

}  // namespace qora

#endif  // QORA_UTIL_RECORD_FIELDS_H_
