#include "store/result_list.h"

#include <string_view>

#include "store/dml_writer.h"

namespace qora {
namespace {

// Appends every record of `list` as open + "\n" + body + close + "\n".
void AppendRecords(const ResultList& list, std::string_view open, std::string_view close,
                   std::string* out) {
  for (size_t i = 0; i < list.count(); ++i) {
    out->append(open);
    out->push_back('\n');
    AppendRecordBody(list.item(i), out);
    out->append(close);
    out->push_back('\n');
  }
}

}  // namespace

std::string WriteResultText(const ResultList& list) {
  std::string out = "<result>\n";
  AppendRecords(list, "<item>", "</item>", &out);
  out += "</result>\n";
  return out;
}

std::string WriteStatText(const ResultList& list) {
  std::string out;
  AppendRecords(list, "<stat>", "</stat>", &out);
  return out;
}

}  // namespace qora
