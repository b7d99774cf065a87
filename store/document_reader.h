// Reader of the document description kept in a DML file, and the mapping
// from DML element names to record fields that the result list reader
// shares.
#ifndef QORA_STORE_DOCUMENT_READER_H_
#define QORA_STORE_DOCUMENT_READER_H_

#include <string>
#include <string_view>
#include <vector>

#include "store/document_record.h"

namespace qora {

// Fills `record` from the first <stat> block of the DML file at `path`, read
// with line ends turned into blanks and nothing trimmed, so a value written
// by WriteStat comes back as " value ". uri, buri and bcuri take their first
// attribute value (unchanged when there is none); rank, ord and the handles
// are not read; keyword entries are appended to the lists. Returns 0, also
// when the file cannot be opened (record untouched).
int ReadDocumentRecord(const std::string& path, DocumentRecord* record);

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

#endif  // QORA_STORE_DOCUMENT_READER_H_
