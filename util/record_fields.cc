#include "util/record_fields.h"

#include <cstdlib>

#include "util/decimal.h"
#include "util/markup_scanner.h"

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

}  // namespace

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
