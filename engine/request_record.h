// The record of request parameters ("key=value&key=value") that the engine
// keeps between requests.
#ifndef QORA_ENGINE_REQUEST_RECORD_H_
#define QORA_ENGINE_REQUEST_RECORD_H_

#include <string>
#include <string_view>

namespace qora {

// One field per request key. A key absent from a request leaves the value of
// the previous request in place.
struct RequestRecord {
  int workspace_handle = -1;        // "wkspc_h"
  std::string settings_file;        // "stgsfile"
  int document_set_handle = -1;     // "docset_h"
  int receiving_store_handle = -1;  // "docstr_rcpt_h"
  int source_store_handle = -1;     // "docstr_src_h"
  int store_handle = -1;            // "docstr_h"
  std::string store_id;             // "docstore_id"
  std::string name;                 // "name"
  std::string document_id_list;     // "docid_list"
  std::string document_id;          // "doc_id"
  std::string temp_document_url;    // "tempdoc_url"
  std::string folder_url;           // "folder_url"
  int query_handle = -1;            // "qry_h"
  int source_query_handle = -1;     // "qry_src_h"
  int receiving_query_handle = -1;  // "qry_rcpt_h"
  int bias = -1;                    // "bias"
  int number1 = -1;                 // "number1"
  int number2 = -1;                 // "number2"
  int start_position = -1;          // "start_pos"
  std::string passage;              // "passage"
  std::string keywords;             // "keywords"
  std::string model_list;           // "model_list"
  bool flag = false;                // "bool1"
  std::string hex_url_list;         // "hex_url_list"
  std::string file_list;            // "file_list"
  int depth = -1;                   // "dpth"
  int byte_limit = -1;              // "maxbytes"
};

// Parses `parameters` into `record`: the text is cut into "key=value" pairs
// at "&" (a value runs from the first "=" to the next "&" and may hold "="),
// a key given twice keeps its last value, keys are matched exactly and
// case-sensitively, unknown keys and segments without "=" are ignored, and
// nothing is unescaped. Integers convert like atoi (leading blanks and a
// sign allowed, stopping at the first non-digit, 0 without digits; values
// beyond the int range saturate); "bool1" is true when its number is not 0.
void ParseRequestParameters(std::string_view parameters, RequestRecord* record);

}  // namespace qora

#endif  // QORA_ENGINE_REQUEST_RECORD_H_
