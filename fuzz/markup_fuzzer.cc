// The DML tag scanner and the document record reader. Any bytes scan without
// a crash, with and without the header skipped, and:
//  - every reported view lies in the scanned text; names hold no blank;
//    leaf content holds no "<"; every StartElement is closed by an
//    EndElement of the same name, innermost first;
//  - a handler whose Stop() answers true after k calls gets exactly the first
//    k calls of the full scan;
//  - JoinLines joins as its header says;
//  - ParseAttributes gives as many names as values, and the pairs it gives,
//    written back as name="value", parse to the same pairs;
//  - the record ReadDocumentRecord reads from the input, when its values hold
//    no "<" (the writer escapes nothing, so such a value is no value of a
//    record), is written with WriteStat and read back with every value as
//    the line-joining reader gives it (" value "), weights as "%g" printed;
//  - the body indexer makes finalized vectors of the input read as a DML
//    document (each couple of terms at most once, no negligible pair), the
//    stemmed one included.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/analysis_environment.h"
#include "analysis/term_vector.h"
#include "fuzz/fuzz_support.h"
#include "store/dml_writer.h"
#include "store/document_indexer.h"
#include "store/document_reader.h"
#include "util/document_record.h"
#include "util/markup_scanner.h"

namespace {

using qora::fuzz::Check;
using qora::fuzz::CheckFinalized;

// Records every call as one string and checks the views and the nesting.
class Recorder : public qora::MarkupHandler {
 public:
  Recorder(std::string_view text, size_t stop_after) : text_(text), stop_after_(stop_after) {}

  void StartElement(std::string_view name, std::string_view attributes) override {
    CheckView(name);
    CheckView(attributes);
    CheckName(name);
    open_.emplace_back(name);
    calls_.push_back("S" + std::string(name) + "|" + std::string(attributes));
  }

  void EndElement(std::string_view name) override {
    CheckView(name);
    Check(!open_.empty(), "EndElement without StartElement", name);
    Check(open_.back() == name, "EndElement names another element", name);
    open_.pop_back();
    calls_.push_back("E" + std::string(name));
  }

  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    CheckView(name);
    CheckView(content);
    CheckView(attributes);
    CheckName(name);
    Check(content.find('<') == std::string_view::npos, "leaf content holds a '<'", content);
    attributes_.emplace_back(attributes);
    calls_.push_back("L" + std::string(name) + "|" + std::string(content) + "|" +
                     std::string(attributes));
  }

  bool Stop() override { return calls_.size() >= stop_after_; }

  const std::vector<std::string>& calls() const { return calls_; }
  const std::vector<std::string>& attributes() const { return attributes_; }
  bool balanced() const { return open_.empty(); }

 private:
  void CheckView(std::string_view view) const {
    if (view.empty()) return;
    Check(view.data() >= text_.data() && view.data() + view.size() <= text_.data() + text_.size(),
          "a view lies outside the scanned text");
  }

  static void CheckName(std::string_view name) {
    Check(name.find(' ') == std::string_view::npos, "a name holds a blank", name);
    Check(name.find('>') == std::string_view::npos, "a name holds a '>'", name);
  }

  std::string_view text_;
  size_t stop_after_;
  std::vector<std::string> open_;
  std::vector<std::string> calls_;
  std::vector<std::string> attributes_;
};

void CheckScan(std::string_view text, bool skip_header, std::vector<std::string>* attributes) {
  Recorder full(text, SIZE_MAX);
  Check(qora::ScanMarkup(text, &full, skip_header) == 0, "ScanMarkup did not return 0");
  Check(full.balanced(), "a StartElement was never closed");
  const size_t stop_after = full.calls().size() / 2;
  if (stop_after > 0) {
    Recorder stopped(text, stop_after);
    qora::ScanMarkup(text, &stopped, skip_header);
    Check(stopped.calls().size() == stop_after, "the scan went on after Stop() answered true");
    for (size_t i = 0; i < stop_after; ++i) {
      Check(stopped.calls()[i] == full.calls()[i], "a stopped scan reported other calls");
    }
  }
  attributes->insert(attributes->end(), full.attributes().begin(), full.attributes().end());
}

// JoinLines as its header states it, written independently.
std::string JoinedAsStated(std::string_view raw) {
  std::string joined;
  size_t pos = 0;
  while (pos < raw.size()) {
    const size_t end = raw.find('\n', pos);
    std::string_view line = raw.substr(pos, end == std::string_view::npos ? raw.npos : end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    joined += ' ';
    joined += line;
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return joined + "  ";
}

void CheckAttributes(std::string_view text) {
  std::vector<std::string> names;
  std::vector<std::string> values;
  qora::ParseAttributes(text, &names, &values);
  Check(names.size() == values.size(), "ParseAttributes gave unequal lists", text);
  std::string rewritten;
  for (size_t i = 0; i < names.size(); ++i) {
    Check(names[i].find('=') == std::string::npos, "an attribute name holds '='", names[i]);
    Check(values[i].find('"') == std::string::npos, "an attribute value holds '\"'", values[i]);
    rewritten += names[i] + "=\"" + values[i] + "\" ";
  }
  std::vector<std::string> names2 = {"stale"};
  std::vector<std::string> values2 = {"stale"};
  qora::ParseAttributes(rewritten, &names2, &values2);
  Check(names2 == names && values2 == values, "rewritten attributes parse differently", text);
}

// `value` as the reader gives it back from a file the writer wrote: the
// value's line, joined, between the blanks of the line joining.
std::string AsReadBack(const std::string& value) {
  std::string joined = qora::JoinLines(value + "\n");
  joined.pop_back();
  return joined;
}

void CheckRecordRoundTrip(const qora::DocumentRecord& record, const std::string& path) {
  for (const std::string* value : qora::fuzz::RecordTexts(record)) {
    if (value->find('<') != std::string::npos) return;
  }
  Check(qora::fuzz::WriteFile(path, qora::WriteDocument(qora::WriteStat(record))),
        "cannot write the scratch file");
  qora::DocumentRecord again;
  qora::ReadDocumentRecord(path, &again);
  const std::vector<const std::string*> before = qora::fuzz::RecordTexts(record);
  const std::vector<const std::string*> after = qora::fuzz::RecordTexts(again);
  Check(before.size() == after.size(), "a list changed its length");
  for (size_t i = 0; i < before.size(); ++i) {
    Check(*after[i] == AsReadBack(*before[i]), "a value changed", *before[i]);
  }
  const std::vector<const std::vector<qora::WeightedTerm>*> lists_before = {
      &record.keywords, &record.keyphrases, &record.keypassages};
  const std::vector<const std::vector<qora::WeightedTerm>*> lists_after = {
      &again.keywords, &again.keyphrases, &again.keypassages};
  for (size_t l = 0; l < 3; ++l) {
    Check(lists_before[l]->size() == lists_after[l]->size(), "a list changed its length");
    for (size_t i = 0; i < lists_before[l]->size(); ++i) {
      const qora::WeightedTerm& a = (*lists_before[l])[i];
      const qora::WeightedTerm& b = (*lists_after[l])[i];
      Check(qora::fuzz::FormatG(a.weight) == qora::fuzz::FormatG(b.weight), "a weight changed",
            qora::fuzz::FormatG(a.weight));
      Check(a.count == b.count, "a count changed");
    }
  }
}

class QuietProgress : public qora::Progress {
 public:
  void SetStatus(const std::string&) override {}
  bool StopRequested() const override { return false; }
};

// The environment of the shipped settings (pair window 5, stemmed model),
// made once; its word lists are emptied after each input so that nothing
// grows from one input to the next.
qora::AnalysisEnvironment* Environment() {
  static QuietProgress progress;
  static qora::AnalysisEnvironment* environment = [] {
    const std::string settings = qora::fuzz::ScratchPath("-main.ini");
    Check(qora::fuzz::WriteFile(settings,
                                "[environment]\nc_d = 5\nrel_per_sec = 30\nrel_per_subsec = 6\n"
                                "stopword_file = no-stop-words.txt\nstemmed_model = 1\n"),
          "cannot write the scratch file");
    auto* made = new qora::AnalysisEnvironment(&progress);
    made->ReadAnalysisSettings("", settings);
    return made;
  }();
  return environment;
}

void CheckIndexing(const std::string& path) {
  qora::AnalysisEnvironment* environment = Environment();
  qora::TermVector plain;
  qora::TermVector stemmed;
  qora::IndexDocumentBody(path, environment, &plain, &stemmed);
  CheckFinalized(plain);
  CheckFinalized(stemmed);
  environment->EnvironmentReloadWordLists();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input_path = qora::fuzz::ScratchPath(".dml");
  static const std::string rewritten_path = qora::fuzz::ScratchPath("-rewritten.dml");
  const std::string_view text = qora::fuzz::AsText(data, size);

  const std::string joined = qora::JoinLines(text);
  Check(joined == JoinedAsStated(text), "JoinLines joined otherwise", joined);

  // (The joined text, as the file readers scan it, is scanned by the readers
  // below.)
  std::vector<std::string> attributes;
  CheckScan(text, false, &attributes);
  CheckScan(text, true, &attributes);
  CheckAttributes(text);
  for (const std::string& attribute_text : attributes) CheckAttributes(attribute_text);

  Check(qora::fuzz::WriteFile(input_path, text), "cannot write the scratch file");
  qora::DocumentRecord record;
  Check(qora::ReadDocumentRecord(input_path, &record) == 0, "ReadDocumentRecord did not return 0");
  CheckRecordRoundTrip(record, rewritten_path);
  CheckIndexing(input_path);
  return 0;
}
