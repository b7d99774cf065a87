#include "store/dml_writer.h"

#include <cstdio>
#include <vector>

namespace qora {
namespace {

// Appends pieces to one string, each followed by a line end.
class LineWriter {
 public:
  explicit LineWriter(std::string* out) : out_(out) {}

  void Line(std::string_view piece) {
    out_->append(piece);
    out_->push_back('\n');
  }

  void Number(double value) {
    char buffer[32];
    int length = std::snprintf(buffer, sizeof(buffer), "%g", value);
    Line(std::string_view(buffer, static_cast<size_t>(length)));
  }

  void Number(int32_t value) {
    char buffer[16];
    int length = std::snprintf(buffer, sizeof(buffer), "%d", static_cast<int>(value));
    Line(std::string_view(buffer, static_cast<size_t>(length)));
  }

  // "<tag>", value, "</tag>".
  template <typename T>
  void Element(std::string_view tag, const T& value) {
    Open(tag);
    Value(value);
    Close(tag);
  }

  // "<tag ", "href=\"", href, "\">", "</tag>".
  void LinkElement(std::string_view tag, std::string_view href) {
    OpenWithAttributes(tag);
    Line("href=\"");
    Line(href);
    Line("\">");
    Close(tag);
  }

  // Like LinkElement, with `content` between the opening and closing tags.
  void LinkElement(std::string_view tag, std::string_view href, std::string_view content) {
    OpenWithAttributes(tag);
    Line("href=\"");
    Line(href);
    Line("\">");
    Line(content);
    Close(tag);
  }

  // "<tag>", one "<i w c>text</i>" group per entry, "</tag>".
  void TermList(std::string_view tag, const std::vector<WeightedTerm>& terms) {
    Open(tag);
    for (const WeightedTerm& term : terms) {
      Line("<i ");
      Line("w=\"");
      Number(term.weight);
      Line("\" ");
      Line("c=\"");
      Number(term.count);
      Line("\">");
      Line(term.text);
      Line("</i>");
    }
    Close(tag);
  }

 private:
  void Value(const std::string& value) { Line(value); }
  void Value(double value) { Number(value); }
  void Value(int32_t value) { Number(value); }

  void Open(std::string_view tag) {
    out_->push_back('<');
    out_->append(tag);
    Line(">");
  }

  void OpenWithAttributes(std::string_view tag) {
    out_->push_back('<');
    out_->append(tag);
    Line(" ");
  }

  void Close(std::string_view tag) {
    out_->append("</");
    out_->append(tag);
    Line(">");
  }

  std::string* out_;
};

size_t EstimatedBodySize(const DocumentRecord& r) {
  size_t size = 1024 + r.header.size() + r.sdesc.size() + r.ldesc.size() + r.note.size();
  for (const auto* list : {&r.keywords, &r.keyphrases, &r.keypassages}) {
    for (const WeightedTerm& term : *list) size += 48 + term.text.size();
  }
  return size;
}

}  // namespace

std::string WriteRecordBody(const DocumentRecord& record) {
  std::string out;
  out.reserve(EstimatedBodySize(record));
  AppendRecordBody(record, &out);
  return out;
}

void AppendRecordBody(const DocumentRecord& r, std::string* out) {
  LineWriter w(out);
  w.Element("rank", r.rank);
  w.Element("ord", r.ord);
  w.Element("obj_handle", r.obj_handle);
  w.Element("parent_handle", r.parent_handle);
  w.Element("docid", r.docid);
  w.Element("parid", r.parid);
  w.Element("group", r.group);
  w.LinkElement("uri", r.uri);
  w.LinkElement("buri", r.buri);
  w.LinkElement("bcuri", r.bcuri, r.bcuri);
  w.Element("curi", r.curi);
  w.Element("dmluri", r.dmluri);
  w.Element("size", r.size);
  w.Element("type", r.type);
  w.Element("lang", r.lang);
  w.Element("char_enc", r.char_enc);
  w.Element("date_cr", r.date_cr);
  w.Element("date_ret", r.date_ret);
  w.Element("name", r.name);
  w.Element("header", r.header);
  w.TermList("keywords", r.keywords);
  w.TermList("keyphrases", r.keyphrases);
  w.TermList("keypassages", r.keypassages);
  w.Element("sdesc", r.sdesc);
  w.Element("ldesc", r.ldesc);
  w.Element("note", r.note);
  w.Element("owner", r.owner);
  w.Element("status", r.status);
  w.Element("fetcher", r.fetcher);
  w.Element("source", r.source);
}

std::string WriteStat(const DocumentRecord& record) {
  std::string out = "<stat>";
  out.reserve(EstimatedBodySize(record));
  AppendRecordBody(record, &out);
  out += "</stat>";
  return out;
}

std::string XmlDeclaration() { return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n"; }

std::string DoctypeLine() { return "<!DOCTYPE document SYSTEM \"./template/VDMLDTD.dtd\">\n"; }

std::string WriteDocument(std::string_view content) {
  std::string out = XmlDeclaration();
  out += DoctypeLine();
  out.reserve(out.size() + content.size() + 24);
  out += "<document>\n";
  out += content;
  out += "</document>";
  return out;
}

std::string FormatDate(const std::tm& local_time) {
  int hour = local_time.tm_hour;
  int dial_hour = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
  char buffer[96];
  int length = std::snprintf(buffer, sizeof(buffer), "%ld/%d/%ld %d:%02d %s",
                             local_time.tm_mon + 1L, local_time.tm_mday, local_time.tm_year + 1900L,
                             dial_hour, local_time.tm_min, hour > 12 ? "PM" : "AM");
  return std::string(buffer, static_cast<size_t>(length));
}

std::string FormatDate(std::time_t time) {
  std::tm local_time{};
  localtime_r(&time, &local_time);
  return FormatDate(local_time);
}

}  // namespace qora
