#include "store/document_reader.h"

#include "util/markup_scanner.h"

namespace qora {
namespace {

// Fills a record from the first <stat> block; see ReadDocumentRecord.
class StatHandler : public MarkupHandler {
 public:
  explicit StatHandler(DocumentRecord* record) : record_(record) {}

  void StartElement(std::string_view name, std::string_view /*attributes*/) override {
    if (name == "stat") {
      inside_stat_ = true;
    } else {
      lists_.Open(name);
    }
  }

  void EndElement(std::string_view name) override {
    if (name == "stat") {
      done_ = true;
    } else {
      lists_.Close(name);
    }
  }

  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    if (!inside_stat_) return;
    if (std::string* field = FindTextField(record_, name)) {
      field->assign(content);
    } else if (std::string* link = FindLinkField(record_, name)) {
      AssignFirstAttribute(attributes, link);
    } else if (name == "i") {
      if (std::vector<WeightedTerm>* list = lists_.Target(record_)) {
        list->push_back(MakeWeightedTerm(attributes, content));
      }
    }
  }

  bool Stop() override { return done_; }

 private:
  void AssignFirstAttribute(std::string_view attributes, std::string* field) {
    ParseAttributes(attributes, &names_, &values_);
    if (!values_.empty()) *field = values_[0];
  }

  DocumentRecord* record_;
  TermListState lists_;
  bool inside_stat_ = false;
  bool done_ = false;
  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

}  // namespace

int ReadDocumentRecord(const std::string& path, DocumentRecord* record) {
  StatHandler handler(record);
  ScanMarkupFile(path, &handler, /*skip_header=*/true);
  return 0;
}

}  // namespace qora
