// The shell's reader of result list text and the text forms of a result
// list. Any bytes read without a crash, and:
//  - ReadResultText appends: records already in the list stay as they were;
//  - values come trimmed of blanks, tabs, CR and LF at both ends;
//  - the records read, when their values hold no "<" (the writer escapes
//    nothing, so such a value is no value of a record), are written with
//    WriteResultText and read back equal (rank and weights as their "%g"
//    print), and their WriteStatText form makes no record (stat blocks are
//    not items).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "store/result_list.h"
#include "util/document_record.h"
#include "util/result_text_reader.h"

namespace {

using qora::fuzz::Check;
using qora::fuzz::FormatG;

bool SameTerms(const std::vector<qora::WeightedTerm>& a, const std::vector<qora::WeightedTerm>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].text != b[i].text || FormatG(a[i].weight) != FormatG(b[i].weight) ||
        a[i].count != b[i].count) {
      return false;
    }
  }
  return true;
}

// Equal as a written and read record can be: numbers as the writer prints
// them, obj_handle not read.
bool SameRecord(const qora::DocumentRecord& a, const qora::DocumentRecord& b) {
  if (FormatG(a.rank) != FormatG(b.rank) || a.ord != b.ord || a.parent_handle != b.parent_handle ||
      !SameTerms(a.keywords, b.keywords) || !SameTerms(a.keyphrases, b.keyphrases) ||
      !SameTerms(a.keypassages, b.keypassages)) {
    return false;
  }
  const std::vector<const std::string*> va = qora::fuzz::RecordTexts(a);
  const std::vector<const std::string*> vb = qora::fuzz::RecordTexts(b);
  for (size_t i = 0; i < va.size(); ++i) {
    if (*va[i] != *vb[i]) return false;
  }
  return true;
}

bool Trimmed(const std::string& value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  return value.empty() || (!blank(value.front()) && !blank(value.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qora::fuzz::AsText(data, size);
  qora::DocumentRecord sentinel;
  sentinel.docid = "already there";
  sentinel.rank = 0.5;
  std::vector<qora::DocumentRecord> read = {sentinel};
  qora::ReadResultText(text, &read);
  Check(SameRecord(read.front(), sentinel), "ReadResultText changed a record it had not read");
  read.erase(read.begin());

  qora::ResultList list;
  bool writable = true;
  for (const qora::DocumentRecord& record : read) {
    Check(record.obj_handle == 0, "obj_handle was read");
    for (const std::string* value : qora::fuzz::RecordTexts(record)) {
      Check(Trimmed(*value), "a value was not trimmed", *value);
      if (value->find('<') != std::string::npos) writable = false;
    }
    list.Append(record);
  }
  if (!writable) return 0;

  std::vector<qora::DocumentRecord> again;
  qora::ReadResultText(qora::WriteResultText(list), &again);
  Check(again.size() == read.size(), "the written list reads back with another length");
  for (size_t i = 0; i < read.size(); ++i) {
    Check(SameRecord(read[i], again[i]), "a written record reads back changed", read[i].docid);
  }
  std::vector<qora::DocumentRecord> from_stats;
  qora::ReadResultText(qora::WriteStatText(list), &from_stats);
  Check(from_stats.empty(), "stat blocks were read as items");
  return 0;
}
