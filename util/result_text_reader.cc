#include "util/result_text_reader.h"

#include <string>

#include "util/decimal.h"
#include "util/markup_scanner.h"
#include "util/record_fields.h"

namespace qora {
namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Collects the records of the <item> elements; see ReadResultText.
class ItemHandler : public MarkupHandler {
 public:
  explicit ItemHandler(std::vector<DocumentRecord>* list) : list_(list) {}

  void StartElement(std::string_view name, std::string_view /*attributes*/) override {
    if (name == "item") {
      record_ = DocumentRecord();
      inside_item_ = true;
    } else {
      lists_.Open(name);
    }
  }

  void EndElement(std::string_view name) override {
    if (name == "item") {
      list_->push_back(std::move(record_));
      inside_item_ = false;
    } else {
      lists_.Close(name);
    }
  }

  void LeafElement(std::string_view name, std::string_view content,
                   std::string_view attributes) override {
    if (!inside_item_) return;
    std::string_view value = TrimWhiteSpace(content);
    if (std::string* field = FindTextField(&record_, name)) {
      field->assign(value);
    } else if (std::string* link = FindLinkField(&record_, name)) {
      AssignFirstAttribute(attributes, link);
    } else if (name == "i") {
      if (std::vector<WeightedTerm>* terms = lists_.Target(&record_)) {
        terms->push_back(MakeWeightedTerm(attributes, value));
      }
    } else if (name == "rank") {
      record_.rank = ParseFloat(value);
    } else if (name == "ord") {
      record_.ord = ParseDecimal(value);
    } else if (name == "parent_handle") {
      record_.parent_handle = ParseDecimal(value);
    }
  }

 private:
  void AssignFirstAttribute(std::string_view attributes, std::string* field) {
    ParseAttributes(attributes, &names_, &values_);
    if (!values_.empty()) field->assign(TrimWhiteSpace(values_[0]));
  }

  std::vector<DocumentRecord>* list_;
  DocumentRecord record_;
  TermListState lists_;
  bool inside_item_ = false;
  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

}  // namespace

std::string_view TrimWhiteSpace(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

void ReadResultText(std::string_view text, std::vector<DocumentRecord>* list) {
  ItemHandler handler(list);
  ScanMarkup(text, &handler, /*skip_header=*/true);
}

}  // namespace qora
