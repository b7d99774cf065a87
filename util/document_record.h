// The description of one document as the store keeps it and as result lists
// carry it.
#ifndef QORA_UTIL_DOCUMENT_RECORD_H_
#define QORA_UTIL_DOCUMENT_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qora {

// A keyword, key phrase or key passage with its weight and occurrence count.
struct WeightedTerm {
  std::string text;
  double weight = 0;
  int32_t count = 0;
};

// Every field of a document description. The field order is the order in
// which the record body is written.
struct DocumentRecord {
  double rank = 0;
  int32_t ord = 0;
  int32_t obj_handle = 0;
  int32_t parent_handle = 0;
  std::string docid;
  std::string parid;
  std::string group;
  std::string buri;
  std::string uri;
  std::string bcuri;
  std::string curi;
  std::string dmluri;
  std::string size;
  std::string type;
  std::string lang;
  std::string char_enc;
  std::string date_cr;
  std::string date_ret;
  std::string name;
  std::string header;
  std::vector<WeightedTerm> keywords;
  std::vector<WeightedTerm> keyphrases;
  std::vector<WeightedTerm> keypassages;
  std::string sdesc;
  std::string ldesc;
  std::string note;
  std::string owner;
  std::string status;
  std::string fetcher;
  std::string source;
};

}  // namespace qora

#endif  // QORA_UTIL_DOCUMENT_RECORD_H_
