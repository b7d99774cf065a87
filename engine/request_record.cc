#include "engine/request_record.h"

#include <unordered_map>

#include "util/decimal.h"
#include "util/parameters.h"

namespace qora {
namespace {

using IntField = int RequestRecord::*;
using TextField = std::string RequestRecord::*;

const std::unordered_map<std::string_view, IntField>& IntegerFields() {
  static const std::unordered_map<std::string_view, IntField> fields = {
      {"wkspc_h", &RequestRecord::workspace_handle},
      {"docset_h", &RequestRecord::document_set_handle},
      {"docstr_rcpt_h", &RequestRecord::receiving_store_handle},
      {"docstr_src_h", &RequestRecord::source_store_handle},
      {"docstr_h", &RequestRecord::store_handle},
      {"qry_h", &RequestRecord::query_handle},
      {"qry_src_h", &RequestRecord::source_query_handle},
      {"qry_rcpt_h", &RequestRecord::receiving_query_handle},
      {"bias", &RequestRecord::bias},
      {"number1", &RequestRecord::number1},
      {"number2", &RequestRecord::number2},
      {"start_pos", &RequestRecord::start_position},
      {"dpth", &RequestRecord::depth},
      {"maxbytes", &RequestRecord::byte_limit},
  };
  return fields;
}

const std::unordered_map<std::string_view, TextField>& TextFields() {
  static const std::unordered_map<std::string_view, TextField> fields = {
      {"stgsfile", &RequestRecord::settings_file},
      {"docstore_id", &RequestRecord::store_id},
      {"name", &RequestRecord::name},
      {"docid_list", &RequestRecord::document_id_list},
      {"doc_id", &RequestRecord::document_id},
      {"tempdoc_url", &RequestRecord::temp_document_url},
      {"folder_url", &RequestRecord::folder_url},
      {"passage", &RequestRecord::passage},
      {"keywords", &RequestRecord::keywords},
      {"model_list", &RequestRecord::model_list},
      {"hex_url_list", &RequestRecord::hex_url_list},
      {"file_list", &RequestRecord::file_list},
  };
  return fields;
}

void StoreValue(std::string_view key, std::string_view value, RequestRecord* record) {
  if (auto field = IntegerFields().find(key); field != IntegerFields().end()) {
    record->*(field->second) = ParseDecimal(value);
  } else if (auto text = TextFields().find(key); text != TextFields().end()) {
    (record->*(text->second)).assign(value.data(), value.size());
  } else if (key == "bool1") {
    record->flag = ParseDecimal(value) != 0;
  }
}

}  // namespace

void ParseRequestParameters(std::string_view parameters, RequestRecord* record) {
  // A key given twice keeps its last value.
  std::unordered_map<std::string_view, std::string_view> pairs;
  for (const auto& [key, value] : SplitParameters(parameters)) pairs[key] = value;
  for (const auto& [key, value] : pairs) StoreValue(key, value, record);
}

}  // namespace qora
