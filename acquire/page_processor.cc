#include "acquire/page_processor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>
#include <string_view>

#include "acquire/page_text.h"
#include "acquire/program_runner.h"
#include "store/dml_writer.h"
#include "util/ascii.h"
#include "util/document_record.h"
#include "util/atomic_file.h"
#include "util/file_bytes.h"

namespace qora {

namespace {

constexpr size_t kNone = std::string::npos;

// The address that the archived copy's banner names as the product's home.
constexpr char kProductHomePage[] = "https://qora.example.org/";

// The helper programs in the data folder.
constexpr char kPageCleaner[] = "cln.exe";
constexpr char kPdfConverter[] = "hlp22.exe";

// Characters of text per page for the authority bounds.
constexpr int64_t kCharactersPerPage = 2000;

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

// `text` with every "<" written as "&lt;", so that a value taken from a page
// cannot open an element in the DML record.
std::string WithoutMarkup(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else {
      out += c;
    }
  }
  return out;
}

// The nine banner lines that open the archived copy.
std::string Banner(const std::string& base, const std::string& address) {
  std::string banner = "<base href=\"" + base + "\">\n";
  banner += "<script language=\"Javascript\">\n";
  banner += "<!--\n";
  banner += "document.write(\"<font size = \\\"1\\\" face = \\\"verdana\\\">\");\n";
  banner += "document.write (\"Archived by <a href=\\\"";
  banner += kProductHomePage;
  banner += "\\\"> QORA</a>.\");\n";
  banner +=
      "document.write(\"Original at: <a href=\\\"" + address + "\\\">" + address + "</a>\");\n";
  banner += "document.write(\"</font>\");\n";
  banner += "//-->\n";
  banner += "</script>\n";
  return banner;
}

// The base address that a "<base href=\"...\">" tag in the head gives, or
// `address` when there is none. `lower` is `page` lower-cased and
// `head_end` the position of its first "</head>".
std::string BaseAddress(const std::string& page, const std::string& lower, size_t head_end,
                        const std::string& address) {
  if (head_end == kNone) return address;
  const size_t tag = lower.find("<base");
  if (tag == kNone || tag >= head_end) return address;
  const size_t tag_end = lower.find('>', tag);
  if (tag_end == kNone || tag_end >= head_end) return address;
  const size_t href = lower.find("href=", tag);
  if (href == kNone || href >= tag_end) return address;
  const size_t open = lower.find('"', href + 5);
  if (open == kNone || open >= tag_end) return address;
  const size_t close = lower.find('"', open + 1);
  if (close == kNone || close >= tag_end) return address;
  return page.substr(open + 1, close - open - 1);
}

// The head's title of `html` (lower-cased as `lower`) with every "&" as
// "&amp;" (and "<" as "&lt;"); false when the head holds no whole title.
bool HeadTitle(const std::string& html, const std::string& lower, std::string* title) {
  const size_t head_end = lower.find("</head>");
  if (head_end == kNone) return false;
  const size_t open = lower.find("<title>");
  if (open == kNone || open >= head_end) return false;
  const size_t close = lower.find("</title>", open + 7);
  if (close == kNone || close >= head_end) return false;
  title->clear();
  for (char c : std::string_view(html).substr(open + 7, close - open - 7)) {
    if (c == '&') {
      *title += "&amp;";
    } else {
      *title += c;
    }
  }
  *title = WithoutMarkup(*title);
  return true;
}

// The text after `key` in `header` up to the next line feed; "" when the
// key is missing or no line feed follows it.
std::string HeaderValue(const std::string& header, std::string_view key) {
  const size_t at = header.find(key);
  if (at == kNone) return "";
  const size_t start = at + key.size();
  const size_t line_end = header.find('\n', start);
  if (line_end == kNone) return "";
  return WithoutMarkup(std::string_view(header).substr(start, line_end - start));
}

// The name of a document without a title: the address after the smaller of
// the positions of its last "/" and its last "\"; `raw_path` when it has
// neither.
std::string NameFromAddress(const std::string& address, const std::string& raw_path) {
  const size_t slash = address.rfind('/');
  const size_t backslash = address.rfind('\\');
  if (slash == kNone && backslash == kNone) return WithoutMarkup(raw_path);
  const size_t cut = std::min(slash, backslash);  // kNone is the largest value
  return WithoutMarkup(std::string_view(address).substr(cut + 1));
}

// The extension of `path` from its last "."; "" when it has none.
std::string Extension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == kNone ? std::string() : path.substr(dot);
}

// Runs a helper program of the data folder and waits for its end.
void RunHelper(const AnalysisEnvironment& environment, const char* program,
               const std::vector<std::string>& argv) {
  RunProgramAndWait(environment.data_folder() + program, argv);
}

// Reads the file at `path` and removes it; false when it cannot be read.
bool TakeFile(const std::string& path, std::string* text) {
  const bool read = ReadWholeFile(path, text);
  RemoveFile(path);
  return read;
}

}  // namespace

// What became of one page.
enum class PageProcessor::Outcome {
  kStored,
  kRejected,       // nothing may be left behind
  kTakenMeanwhile  // another call stored the id first; its files stay
};

// What the page or PDF steps hand to StoreDocument.
struct PageProcessor::Draft {
  std::string address;
  std::string raw_path;
  std::string id;
  bool local = false;
  bool pdf = false;
  std::string buri;  // the escaped base address
  bool has_title = false;
  std::string title;
  std::string date;       // the last-modified date, or ""
  std::string text;       // the extracted text
  std::string anchors;    // the anchor section (pages only)
  bool qualifies = true;  // hub test passed, or selection off
};

PageProcessor::PageProcessor(DocumentStore* store, CrawlSettings* settings,
                             const AnalysisEnvironment* environment, std::mutex* crawl_lock)
    : store_(store), settings_(settings), environment_(environment), crawl_lock_(crawl_lock) {}

int PageProcessor::ProcessPage(const std::string& address, const std::string& raw_path,
                               const std::string& id, std::vector<std::string>* links,
                               std::vector<int>* kinds, int* frame_count, bool local) {
  *frame_count = 0;
  if (TableHolds(local, id)) return -1;
  Outcome outcome = Outcome::kRejected;
  try {
    outcome = ProcessPageFiles(address, raw_path, id, links, kinds, frame_count, local);
  } catch (const std::exception&) {
    // An address that URL resolution cannot handle (or memory running out)
    // ends this page; it is rejected like any other.
    outcome = Outcome::kRejected;
  }
  if (outcome == Outcome::kStored) return 0;
  if (outcome == Outcome::kRejected) {
    RemoveFile(raw_path);
    RemoveFile(raw_path + "_");
  }
  return -1;
}

int PageProcessor::ProcessPdf(const std::string& address, const std::string& raw_path,
                              const std::string& base_path, const std::string& id, bool local) {
  if (TableHolds(local, id)) return -1;
  Outcome outcome = Outcome::kRejected;
  try {
    outcome = ProcessPdfFiles(address, raw_path, base_path, id, local);
  } catch (const std::exception&) {
    outcome = Outcome::kRejected;
  }
  if (outcome == Outcome::kStored) return 0;
  if (outcome == Outcome::kRejected) {
    RemoveFile(raw_path);
    RemoveFile(base_path + ".html");
  }
  return -1;
}

PageProcessor::Outcome PageProcessor::ProcessPageFiles(
    const std::string& address, const std::string& raw_path, const std::string& id,
    std::vector<std::string>* links, std::vector<int>* kinds, int* frame_count, bool local) {
  std::string raw;
  if (!ReadWholeFile(raw_path, &raw)) return Outcome::kRejected;
  // A zero byte is no character of any page (binary bytes sent as HTML hold
  // them); kept, it would reach the document's title and text and cut short
  // every list that the entry points hand out as zero-terminated text.
  std::erase(raw, '\0');
  // The text before the first "<" is the header part; the rest the page.
  const size_t first_tag = raw.find('<');
  const std::string header = first_tag == kNone ? raw : raw.substr(0, first_tag);
  const std::string page = first_tag == kNone ? std::string() : raw.substr(first_tag);
  raw.clear();

  Draft draft;
  draft.address = address;
  draft.raw_path = raw_path;
  draft.id = id;
  draft.local = local;
  draft.qualifies = !settings_->selectionOn;
  const std::string lower = AsciiLower(page);
  const std::string base = BaseAddress(page, lower, lower.find("</head>"), address);
  draft.buri = EscapeXml(base);
  draft.has_title = HeadTitle(page, lower, &draft.title);

  ExtractFrames(page, draft.buri, links, kinds, frame_count);
  if (!WriteNewFile(raw_path, Banner(base, address) + page)) {
    return Outcome::kRejected;
  }
  // An output left by an earlier run must not pass for this run's.
  const std::string cleaned_path = raw_path + "_";
  RemoveFile(cleaned_path);
  RunHelper(*environment_, kPageCleaner, {"dummyarg", raw_path, cleaned_path});
  draft.date = HeaderValue(header, "Last-Modified:");

  std::string cleaned;
  if (!TakeFile(cleaned_path, &cleaned)) return Outcome::kRejected;
  int other_hosts = 0;
  int same_host = 0;
  ExtractAnchors(cleaned, draft.buri, &draft.anchors, links, kinds, &other_hosts, &same_host);
  cleaned = RemoveBlocks(cleaned, "<SCRIPT", "</SCRIPT>");
  cleaned = RemoveBlocks(cleaned, "<!--", "-->");
  cleaned = RemoveBlocks(cleaned, "<STYLE", "</STYLE>");
  if (settings_->selectionOn && settings_->selectHubs && other_hosts >= settings_->hubMinLinks) {
    draft.qualifies = true;
  }
  draft.text = StripTags(cleaned);
  return StoreDocument(draft);
}

PageProcessor::Outcome PageProcessor::ProcessPdfFiles(const std::string& address,
                                                      const std::string& raw_path,
                                                      const std::string& base_path,
                                                      const std::string& id, bool local) {
  std::string raw;
  if (!ReadWholeFile(raw_path, &raw)) return Outcome::kRejected;
  const std::string header = raw.substr(0, raw.find("%PDF"));
  raw.clear();

  const std::string output_path = base_path + ".html";
  RemoveFile(output_path);
  RunHelper(*environment_, kPdfConverter,
            {environment_->data_folder() + kPdfConverter, raw_path, "-htmlmeta", "-q"});
  std::string output;
  if (!TakeFile(output_path, &output)) return Outcome::kRejected;

  Draft draft;
  draft.address = address;
  draft.raw_path = raw_path;
  draft.id = id;
  draft.local = local;
  draft.pdf = true;
  draft.qualifies = !settings_->selectionOn;
  draft.buri = EscapeXml(address);
  const size_t html_start = output.find("<html>");
  const std::string html = html_start == kNone ? std::string() : output.substr(html_start);
  draft.has_title = HeadTitle(html, AsciiLower(html), &draft.title);
  draft.date = HeaderValue(header, "Last-modified:");
  draft.text = EscapeXml(StripTags(output));
  return StoreDocument(draft);
}

PageProcessor::Outcome PageProcessor::StoreDocument(const Draft& draft) {
  constexpr Outcome kRejected = Outcome::kRejected;
  const CrawlSettings& settings = *settings_;
  const int64_t n = static_cast<int64_t>(draft.text.size());
  if (n > settings.maxContentSize) return kRejected;
  bool qualifies = draft.qualifies;
  if (settings.selectionOn && settings.selectAuthorities &&
      n >= settings.authorityMinPages * kCharactersPerPage &&
      settings.authorityMaxPages * kCharactersPerPage >= n) {
    qualifies = true;
  }
  for (const std::string& word : settings.negativeWordList) {
    if (draft.text.find(word) != kNone) return kRejected;
  }
  if (settings.selectionOn && !qualifies) return kRejected;
  const std::string body = FormatBody(draft.text);
  if (!draft.pdf && static_cast<int64_t>(body.size() + draft.anchors.size()) >
                        static_cast<int64_t>(settings.maxDmlSize)) {
    return kRejected;
  }

  DocumentRecord record;
  record.docid = draft.id;
  record.dmluri = draft.id + ".dml";
  record.curi = draft.id + (draft.pdf ? ".pdf" : ".htm");
  record.uri = EscapeXml(draft.address);
  record.buri = draft.buri;
  record.type = Extension(draft.raw_path);
  record.size = std::to_string(n);
  record.date_cr = draft.date;
  record.date_ret = FormatDate(std::time(nullptr));
  record.name = draft.has_title ? draft.title : NameFromAddress(draft.address, draft.raw_path);
  record.header = record.name;

  const std::string dml_path = HalfFor(draft.local).cache_folder + draft.id + ".dml";
  // Renamed into place whole: a DML file that exists is complete, which is
  // what the repair after a crash relies on to list it again.
  if (!ReplaceFileWith(dml_path, WriteDocument(WriteStat(record) + body + draft.anchors),
                       Durability::kRenamed)) {
    return kRejected;
  }
  bool added = false;
  try {
    added = AddEntry(draft.local, draft.id, record.uri, record.size);
  } catch (...) {
    RemoveFile(dml_path);
    throw;
  }
  return added ? Outcome::kStored : Outcome::kTakenMeanwhile;
}

bool PageProcessor::TableHolds(bool local, const std::string& id) {
  if (crawl_lock_ == nullptr) return HalfFor(local).table.Contains(id);
  std::lock_guard<std::mutex> hold(*crawl_lock_);
  return HalfFor(local).table.Contains(id);
}

bool PageProcessor::AddEntry(bool local, const std::string& id, const std::string& uri,
                             const std::string& size) {
  std::unique_lock<std::mutex> hold;
  if (crawl_lock_ != nullptr) hold = std::unique_lock<std::mutex>(*crawl_lock_);
  CacheTable& table = HalfFor(local).table;
  if (table.Contains(id)) return false;
  CacheEntry entry;
  entry.id = id;
  entry.address = uri;
  entry.size = size;
  entry.field = 0;
  entry.processed = 0;
  table.Add(std::move(entry));
  ++settings_->docsDone;
  return true;
}

}  // namespace qora
