// The commands that query libraries: research, summary and map.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

#include "shell/command_arguments.h"
#include "shell/command_line_parser.h"
#include "shell/display_text.h"
#include "shell/research_flows.h"
#include "shell/result_printing.h"
#include "shell/settings_keys.h"
#include "util/document_record.h"

namespace qora {

void CommandLine::AddResearchCommands() {
  // research
  struct ResearchArguments {
    QueryArguments query;
    NumberArgument count{"", "--count"};
    CLI::Option* expand = nullptr;
  };
  auto research_args = std::make_shared<ResearchArguments>();
  CLI::App* research = AddCommand(
      &app_, "research",
      "qora research --lib LIB... (--keywords TEXT | --passage TEXT | --doc LIB:DOCID...) "
      "[--count N] [--expand] [--xml]",
      "rank the documents of the libraries against the query");
  actions_[research] = [this, research_args](const CLI::App& command) {
    ResearchRequest request;
    request.libraries = research_args->query.libraries;
    const SettingsStore& settings = UserSettings();
    request.expand =
        research_args->expand->count() > 0 || Read(settings, settings::kExpandQuery) != 0;
    if (!ParseQuerySource(research_args->query, &request.query, err_) ||
        !NumberValueOr(research_args->count, Read(settings, settings::kDocFetchCount),
                       &request.count, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, research_args, request] {
      std::vector<DocumentRecord> documents;
      std::string text;
      const std::string failure = Research(request, &documents, &text);
      if (!failure.empty()) return Outcome(failure, err_);
      if (research_args->query.xml) {
        out_ << TerminalText(text, LineEnds::kKeep);
      } else {
        PrintRanking(documents, out_);
      }
      return kDone;
    });
  };
  AddLibrariesOption(research, &research_args->query);
  AddKeywordsOption(research, &research_args->query);
  AddPassageOption(research, &research_args->query);
  AddDocumentsOption(research, &research_args->query);
  AddSettingOption(research, &research_args->count, "N",
                   "list at most N documents (default: the setting " +
                       SettingName(settings::kDocFetchCount) + ")");
  research_args->expand =
      research->add_flag("--expand")
          ->description("expand the query with related terms (always when the setting " +
                        SettingName(settings::kExpandQuery) + ", is 1)");
  AddXmlFlag(research, &research_args->query.xml, "print the result list as the engine writes it");

  // summary
  struct SummaryArguments {
    std::vector<std::string> documents;
    QueryArguments query;
    NumberArgument bias{"", "--bias"};
  };
  auto summary_args = std::make_shared<SummaryArguments>();
  CLI::App* summary = AddCommand(
      &app_, "summary",
      "qora summary LIB:DOCID... [--keywords TEXT | --passage TEXT] [--bias PERCENT] [--xml]",
      "weigh the sentences of documents, biased to the query");
  actions_[summary] = [this, summary_args](const CLI::App& command) {
    std::vector<DocumentName> documents;
    for (const std::string& word : summary_args->documents) {
      DocumentName name;
      if (!ParseDocumentName(word, &name)) {
        err_ << "qora: a document is named LIB:DOCID, not \"" << word << "\"\n";
        return kWrongLine;
      }
      documents.push_back(name);
    }
    QuerySource source;
    int bias = 0;
    if (documents.empty() || !ParseQuerySource(summary_args->query, &source, err_) ||
        !NumberValueOr(summary_args->bias, Read(UserSettings(), settings::kBiasPercent), &bias,
                       err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, summary_args, documents, source, bias] {
      SummaryResult result;
      const std::string failure = Summarize(documents, source, bias, &result);
      if (!failure.empty()) return Outcome(failure, err_);
      if (summary_args->query.xml) {
        out_ << TerminalText(result.text, LineEnds::kKeep);
      } else {
        PrintSummary(result, documents.size(), out_);
      }
      return kDone;
    });
  };
  AddWords(summary, "LIB:DOCID", &summary_args->documents,
           "the documents to summarize, each named by its library and its id");
  AddKeywordsOption(summary, &summary_args->query);
  AddPassageOption(summary, &summary_args->query);
  AddSettingOption(summary, &summary_args->bias, "PERCENT",
                   "how strongly the query biases the weights (default: the setting " +
                       SettingName(settings::kBiasPercent) + ")");
  AddXmlFlag(summary, &summary_args->query.xml, "print the result list as the engine writes it");

  // map
  struct MapArguments {
    QueryArguments query;
    NumberArgument concepts{"", "--concepts"};
    NumberArgument phrases{"", "--phrases"};
  };
  auto map_args = std::make_shared<MapArguments>();
  CLI::App* map = AddCommand(&app_, "map",
                             "qora map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) "
                             "[--concepts N] [--phrases N] [--xml]",
                             "split the query into concepts with key phrases");
  actions_[map] = [this, map_args](const CLI::App& command) {
    MapRequest request;
    request.libraries = map_args->query.libraries;
    if (!ParseQuerySource(map_args->query, &request.query, err_) ||
        !NumberValueOr(map_args->concepts, Read(UserSettings(), settings::kMaxConcepts),
                       &request.concepts, err_) ||
        !NumberValueOr(map_args->phrases, Read(UserSettings(), settings::kMaxPhrases),
                       &request.phrases, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, map_args, request] {
      std::vector<DocumentRecord> concepts;
      std::string text;
      const std::string failure = ConceptMap(request, &concepts, &text);
      if (!failure.empty()) return Outcome(failure, err_);
      if (map_args->query.xml) {
        out_ << TerminalText(text, LineEnds::kKeep);
      } else {
        PrintConceptMap(concepts, out_);
      }
      return kDone;
    });
  };
  AddLibrariesOption(map, &map_args->query);
  AddKeywordsOption(map, &map_args->query);
  AddDocumentsOption(map, &map_args->query);
  AddSettingOption(
      map, &map_args->concepts, "N",
      "at most N concepts (default: the setting " + SettingName(settings::kMaxConcepts) + ")");
  AddSettingOption(map, &map_args->phrases, "N",
                   "at most N key phrases a concept (default: the setting " +
                       SettingName(settings::kMaxPhrases) + ")");
  AddXmlFlag(map, &map_args->query.xml, "print the result list as the engine writes it");
}

}  // namespace qora
