// Writer of DML, the markup in which every document and every document
// description is kept. Values are written as they stand: nothing is escaped,
// and the tag scanner decodes nothing.
#ifndef QORA_STORE_DML_WRITER_H_
#define QORA_STORE_DML_WRITER_H_

#include <ctime>
#include <string>
#include <string_view>

#include "util/document_record.h"

namespace qora {

// The fields of `record` as DML, every tag, attribute fragment and value on a
// line of its own (each piece followed by "\n"), so that the line-joining
// file reader turns every value into " value ". Numbers in decimal; rank and
// weights like "%g".
std::string WriteRecordBody(const DocumentRecord& record);

// Appends WriteRecordBody(record) to `out`.
void AppendRecordBody(const DocumentRecord& record, std::string* out);

// "<stat>" + WriteRecordBody(record) + "</stat>", with no line end after
// "</stat>".
std::string WriteStat(const DocumentRecord& record);

// The first line of every DML file, line end included.
std::string XmlDeclaration();

// The second line of every DML file, line end included.
std::string DoctypeLine();

// The text of a DML file: the two header lines, "<document>\n", `content`
// unchanged and "</document>" without a line end.
std::string WriteDocument(std::string_view content);

// `local_time` as "month/day/year hour:minutes AM|PM" ("7/4/2003 9:05 PM"),
// hour on a 12-hour dial. Hour 0 is written as 12; only hours above 12 are
// "PM", so noon is "12:.. AM", as the stored documents have always had it.
std::string FormatDate(const std::tm& local_time);

// FormatDate of `time` in the local time zone.
std::string FormatDate(std::time_t time);

}  // namespace qora

#endif  // QORA_STORE_DML_WRITER_H_
