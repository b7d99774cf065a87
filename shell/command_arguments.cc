#include "shell/command_arguments.h"

#include <cstdlib>

namespace qora {

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() < 10;
}

void AddWord(CLI::App* app, const std::string& name, std::vector<std::string>* word,
             const std::string& description) {
  app->add_option(name, *word, description)->expected(1)->allow_extra_args(false)->type_name("");
}

void AddWords(CLI::App* app, const std::string& name, std::vector<std::string>* words,
              const std::string& description) {
  app->add_option(name, *words, description)->type_name("");
}

void AddNumberOption(CLI::App* app, NumberArgument* number, int fallback,
                     const std::string& type_name, const std::string& description) {
  number->text = std::to_string(fallback);
  number->option =
      app->add_option(number->name, number->text, description)->type_name(type_name)->take_last();
}

void AddSettingOption(CLI::App* app, NumberArgument* number, const std::string& type_name,
                      const std::string& description) {
  number->option =
      app->add_option(number->name, number->text, description)->type_name(type_name)->take_last();
}

std::string SettingName(const IntSetting& setting) {
  return std::string(setting.section) + "/" + setting.key + ", initially " +
         std::to_string(setting.fallback);
}

bool NumberValue(const NumberArgument& number, int* value, std::ostream& err) {
  if (!IsNumber(number.text)) {
    err << "qora: " << number.name << " takes a whole number\n";
    return false;
  }
  *value = std::atoi(number.text.c_str());
  return true;
}

bool NumberValueOr(const NumberArgument& number, int fallback, int* value, std::ostream& err) {
  if (number.option == nullptr || number.option->count() == 0) {
    *value = fallback;
    return true;
  }
  return NumberValue(number, value, err);
}

void AddLibrariesOption(CLI::App* app, QueryArguments* query) {
  app->add_option("--lib", query->libraries,
                  "a library to take part (name or identifier); several may follow")
      ->type_name("LIB");
}

void AddKeywordsOption(CLI::App* app, QueryArguments* query) {
  query->keywords_option = app->add_option("--keywords", query->keywords, "the query's keywords")
                               ->type_name("TEXT")
                               ->take_last();
}

void AddPassageOption(CLI::App* app, QueryArguments* query) {
  query->passage_option =
      app->add_option("--passage", query->passage, "a passage of text as the query")
          ->type_name("TEXT")
          ->take_last();
}

void AddDocumentsOption(CLI::App* app, QueryArguments* query) {
  query->documents_option = app->add_option("--doc", query->documents,
                                            "an example document as the query; several may follow")
                                ->type_name("LIB:DOCID");
}

void AddXmlFlag(CLI::App* app, bool* xml, const std::string& description) {
  app->add_flag("--xml", *xml, description);
}

bool ParseDocumentName(const std::string& text, DocumentName* name) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  *name = {text.substr(0, colon), text.substr(colon + 1)};
  return true;
}

bool ParseQuerySource(const QueryArguments& query, QuerySource* source, std::ostream& err) {
  int kinds = 0;
  if (query.keywords_option != nullptr && query.keywords_option->count() > 0) {
    source->kind = QuerySource::Kind::kKeywords;
    source->text = query.keywords;
    ++kinds;
  }
  if (query.passage_option != nullptr && query.passage_option->count() > 0) {
    source->kind = QuerySource::Kind::kPassage;
    source->text = query.passage;
    ++kinds;
  }
  if (query.documents_option != nullptr && query.documents_option->count() > 0) {
    source->kind = QuerySource::Kind::kDocuments;
    for (const std::string& text : query.documents) {
      DocumentName name;
      if (!ParseDocumentName(text, &name)) {
        err << "qora: a document is named LIB:DOCID, not \"" << text << "\"\n";
        return false;
      }
      source->documents.push_back(name);
    }
    ++kinds;
  }
  if (kinds > 1) {
    err << "qora: give one of --keywords, --passage and --doc\n";
    return false;
  }
  return true;
}

std::string SearchWords(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

}  // namespace qora
