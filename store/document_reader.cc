#include "store/document_reader.h"

#include <cstdlib>

#include "analysis/decimal.h"
#include "store/markup_scanner.h"

namespace qora {
namespace {

struct NamedField {
  std::string_view name;
  std::string DocumentRecord::*field;
};

constexpr NamedField kTextFields[] = {
    {"docid", &DocumentRecord::docid},       {"parid", &DocumentRecord::parid},
    {"group", &DocumentRecord::group},       {"curi", &DocumentRecord::curi},
    {"dmluri", &DocumentRecord::dmluri},     {"size", &DocumentRecord::size},
    {"type", &DocumentRecord::type},         {"lang", &DocumentRecord::lang},
    {"char_enc", &DocumentRecord::char_enc}, {"date_cr", &DocumentRecord::date_cr},
    {"date_ret", &DocumentRecord::date_ret}, {"name", &DocumentRecord::name},
    {"header", &DocumentRecord::header},     {"sdesc", &DocumentRecord::sdesc},
    {"ldesc", &DocumentRecord::ldesc},       {"note", &DocumentRecord::note},
    {"owner", &DocumentRecord::owner},       {"status", &DocumentRecord::status},
    {"fetcher", &DocumentRecord::fetcher},   {"source", &DocumentRecord::source},
};

constexpr NamedField kLinkFields[] = {
    {"uri", &DocumentRecord::uri},
    {"buri", &DocumentRecord::buri},
    {"bcuri", &DocumentRecord::bcuri},
};

template <size_t N>
std::string* FindField(const NamedField (&fields)[N], DocumentRecord* record,
                       std::string_view name) {
  for (const NamedField& entry : fields) {
    if (entry.name == name) return &(record->*entry.field);
  }
  return nullptr;
}

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

std::string* FindTextField(DocumentRecord* record, std::string_view name) {
  return FindField(kTextFields, record, name);
}

std::string* FindLinkField(DocumentRecord* record, std::string_view name) {
  return FindField(kLinkFields, record, name);
}

double ParseFloat(std::string_view text) {
  std::string terminated(text);
  return static_cast<double>(std::strtof(terminated.c_str(), nullptr));
}

WeightedTerm MakeWeightedTerm(std::string_view attributes, std::string_view text) {
  std::vector<std::string> names;
  std::vector<std::string> values;
  ParseAttributes(attributes, &names, &values);
  WeightedTerm term;
  term.text.assign(text);
  if (values.size() >= 1) term.weight = ParseFloat(values[0]);
  if (values.size() >= 2) term.count = ParseDecimal(values[1]);
  return term;
}

bool TermListState::SetFlag(std::string_view name, bool value) {
  if (name == "keywords") {
    keywords_ = value;
  } else if (name == "keyphrases") {
    keyphrases_ = value;
  } else if (name == "keypassages") {
    keypassages_ = value;
  } else {
    return false;
  }
  return true;
}

std::vector<WeightedTerm>* TermListState::Target(DocumentRecord* record) const {
  if (keywords_) return &record->keywords;
  if (keyphrases_) return &record->keyphrases;
  if (keypassages_) return &record->keypassages;
  return nullptr;
}

}  // namespace qora
