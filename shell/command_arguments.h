// The arguments and options of the `qora` commands: helpers that add them to
// a CLI11 command, and the checks of what CLI11 cannot check (whole numbers,
// documents named LIB:DOCID, one kind of query). A check that fails writes
// its message, "qora: ...", to `err`.
#ifndef QORA_SHELL_COMMAND_ARGUMENTS_H_
#define QORA_SHELL_COMMAND_ARGUMENTS_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "shell/research_flows.h"
#include "shell/settings_keys.h"

namespace qora {

// True when `text` is a whole number: digits with an optional leading "-",
// at most nine characters in all.
bool IsNumber(const std::string& text);

// Adds the word `name` of a command (LIB, NAME, DIR ...): one value, kept in a
// vector so that a missing word is told from an empty one.
void AddWord(CLI::App* app, const std::string& name, std::vector<std::string>* word,
             const std::string& description);

// Adds the words `name` that end a command (FILE..., URL...): one or more
// values.
void AddWords(CLI::App* app, const std::string& name, std::vector<std::string>* words,
              const std::string& description);

// A whole-number option kept as its text until it is checked, so that a
// malformed number gets the same message on every command.
struct NumberArgument {
  std::string text;
  const char* name;
  CLI::Option* option = nullptr;
};

// Adds the option `number->name` whose value is `fallback` unless given; the
// last one given counts.
void AddNumberOption(CLI::App* app, NumberArgument* number, int fallback,
                     const std::string& type_name, const std::string& description);

// Adds the option `number->name` whose value, unless given, is read when
// the command runs (from the user's settings): NumberValueOr gives it.
void AddSettingOption(CLI::App* app, NumberArgument* number, const std::string& type_name,
                      const std::string& description);

// How help names the setting an option falls back on: "Section/key,
// initially N".
std::string SettingName(const IntSetting& setting);

// Sets `*value` to the value of `number`; false (with a message) when it is
// not a whole number.
bool NumberValue(const NumberArgument& number, int* value, std::ostream& err);

// Sets `*value` to the value of `number` when it was given, else to
// `fallback`; false (with a message) when what was given is not a whole
// number.
bool NumberValueOr(const NumberArgument& number, int fallback, int* value, std::ostream& err);

// The query options of research, summary and map.
struct QueryArguments {
  std::vector<std::string> libraries;
  std::string keywords;
  std::string passage;
  std::vector<std::string> documents;
  CLI::Option* keywords_option = nullptr;
  CLI::Option* passage_option = nullptr;
  CLI::Option* documents_option = nullptr;
  bool xml = false;
};

// Add the options of a query to `app`: --lib (several libraries), --keywords,
// --passage (the last one given counts) and --doc (several documents).
void AddLibrariesOption(CLI::App* app, QueryArguments* query);
void AddKeywordsOption(CLI::App* app, QueryArguments* query);
void AddPassageOption(CLI::App* app, QueryArguments* query);
void AddDocumentsOption(CLI::App* app, QueryArguments* query);

// Adds the flag --xml, which sets `*xml`.
void AddXmlFlag(CLI::App* app, bool* xml, const std::string& description);

// Sets `*name` to "LIB:DOCID" split at its last ":"; false when there is none
// or either part is empty.
bool ParseDocumentName(const std::string& text, DocumentName* name);

// Sets `*source` to the query of --keywords, --passage or --doc (nothing when
// none was given); false (with a message) when more than one kind is given or
// a document is malformed.
bool ParseQuerySource(const QueryArguments& query, QuerySource* source, std::ostream& err);

// The words of a search joined by blanks.
std::string SearchWords(const std::vector<std::string>& words);

}  // namespace qora

#endif  // QORA_SHELL_COMMAND_ARGUMENTS_H_
