#include "shell/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "shell/acquisition_requests.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "shell/library_commands.h"
#include "shell/research_flows.h"
#include "shell/result_printing.h"
#include "shell/status_progress.h"
#include "shell/web_requests.h"

#ifndef QORA_VERSION
#error "QORA_VERSION (the project version of CMake) must be defined"
#endif

namespace qora {
namespace {

// What `qora --help` prints: every command on one page.
constexpr char kUsage[] =
    "usage: qora [--data DIR] COMMAND [ARGUMENTS]\n"
    "       qora COMMAND --help     the arguments and options of COMMAND\n"
    "       qora --version          the version of qora\n"
    "\n"
    "commands:\n"
    "  init DIR                    make the user data folder DIR from the installed data folder\n"
    "  info                        print the engine environment of the data folder\n"
    "  lib list [--xml]            list the libraries (--xml: every store, as the engine lists "
    "them)\n"
    "  lib new NAME                make a library; prints its identifier\n"
    "  lib merge NEWNAME LIB...    make NEWNAME from the documents of LIBs, then erase them\n"
    "  lib empty LIB               remove every document of LIB\n"
    "  lib erase LIB               remove LIB with all its files\n"
    "  lib process LIB [--full]    index LIB's new documents (all with --full)\n"
    "  lib repair                  rebuild every library from its documents\n"
    "  docs LIB [--start N] [--count N] [--xml]\n"
    "                              list the documents of LIB\n"
    "  docs rm LIB DOCID...        erase documents from LIB\n"
    "  research --lib LIB... (--keywords TEXT | --passage TEXT | --doc LIB:DOCID...)\n"
    "           [--count N] [--expand] [--xml]\n"
    "                              rank the documents of the libraries against the query\n"
    "  summary LIB:DOCID... [--keywords TEXT | --passage TEXT] [--bias PERCENT] [--xml]\n"
    "                              weigh the sentences of documents, biased to the query\n"
    "  map --lib LIB... (--keywords TEXT | --doc LIB:DOCID...) [--concepts N] [--phrases N]\n"
    "      [--xml]                 split the query into concepts with key phrases\n"
    "  add LIB FILE...             import HTML and PDF files into LIB and index them\n"
    "  add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]\n"
    "                              import the files of FOLDER (depth 2, 1000 kB, 50 documents\n"
    "                              unless given) into LIB and index them\n"
    "  crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] [--max-docs N]\n"
    "        [--internal-only]     crawl from the start addresses into LIB (depth 2, 1000 kB,\n"
    "                              100 sites, 50 documents unless given) and index them\n"
    "  websearch LIB WORDS... [--engines 1,3] [--results N]\n"
    "                              search the internet and store the hits in LIB\n"
    "  quicksearch WORDS... [--engines 1,3] [--results N]\n"
    "                              list the hits of the search engines\n"
    "\n"
    "LIB is a library's name or identifier. An option marked ... takes every value\n"
    "up to the next option (--lib A B) and may also be repeated (--lib A --lib B).\n"
    "The data folder is DIR of --data, else $QORA_DATA, else $HOME/qoralibs.\n";

// The exit statuses of RunCommandLine.
constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kWrongLine = 2;

std::string DefaultDataFolder() {
  if (const char* data = std::getenv("QORA_DATA"); data != nullptr && *data != '\0') return data;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/qoralibs";
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return text.size() < 10;
}

// Reports a command's failure message; the exit status.
int Outcome(const std::string& failure, std::ostream& err) {
  if (failure.empty()) return kDone;
  err << "qora: " << failure << "\n";
  return kFailed;
}

// ---- The help text ---------------------------------------------------------

// The help of `qora --help` is the overview above; the help of a command is
// its usage line, its description, then its arguments and options as CLI11
// lists them.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() {
    column_width(26);
    label("Positionals", "Arguments");
  }

  void SetUsage(const CLI::App* app, std::string usage) { usages_[app] = std::move(usage); }

  // The usage line of `app` (without "usage: ").
  std::string Usage(const CLI::App* app) const {
    auto found = usages_.find(app);
    return found == usages_.end() ? std::string("qora ") + app->get_name() : found->second;
  }

  std::string make_usage(const CLI::App* app, std::string) const override {
    return "usage: " + Usage(app) + "\n";
  }

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    if (app->get_parent() == nullptr) return kUsage;
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    return make_usage(app, name) + "\n" + make_description(app) + make_positionals(app) +
           make_groups(app, mode) + make_subcommands(app, mode);
  }

 private:
  std::map<const CLI::App*, std::string> usages_;
};

// ---- The arguments of the commands -----------------------------------------

// A word of a command (LIB, NAME, DIR ...): one value, kept in a vector so
// that a missing word is told from an empty one.
void AddWord(CLI::App* app, const std::string& name, std::vector<std::string>* word,
             const std::string& description) {
  app->add_option(name, *word, description)->expected(1)->allow_extra_args(false)->type_name("");
}

// The words that end a command (FILE..., URL...): one or more values.
void AddWords(CLI::App* app, const std::string& name, std::vector<std::string>* words,
              const std::string& description) {
  app->add_option(name, *words, description)->type_name("");
}

// A whole-number option kept as its text until it is checked, so that a
// malformed number gets the same message on every command.
struct NumberArgument {
  std::string text;
  const char* name;
};

void AddNumberOption(CLI::App* app, NumberArgument* number, int fallback,
                     const std::string& type_name, const std::string& description) {
  number->text = std::to_string(fallback);
  app->add_option(number->name, number->text, description)->type_name(type_name)->take_last();
}

// The value of `number`; false (with a message) when it is not a whole number.
bool NumberValue(const NumberArgument& number, int* value, std::ostream& err) {
  if (!IsNumber(number.text)) {
    err << "qora: " << number.name << " takes a whole number\n";
    return false;
  }
  *value = std::atoi(number.text.c_str());
  return true;
}

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

// "LIB:DOCID" split at its last ":"; false when there is none.
bool ParseDocumentName(const std::string& text, DocumentName* name) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  *name = {text.substr(0, colon), text.substr(colon + 1)};
  return true;
}

// The query of --keywords, --passage or --doc; false (with a message) when
// more than one kind is given or a document is malformed.
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

// The words of a search joined by blanks.
std::string SearchWords(const std::vector<std::string>& words) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : " ") + word;
  return joined;
}

// ---- The command line ------------------------------------------------------

// The parser of one run: the commands as CLI11 subcommands, each with the
// action that checks what the parser cannot check and runs the flow.
class CommandLine {
 public:
  CommandLine(std::ostream& out, std::ostream& err);
  int Run(const std::vector<std::string>& arguments);

 private:
  // What a command does once the line is parsed: checks what the parser
  // cannot (how many words, numbers, the query), then runs its flow on the
  // engine. Returns the exit status.
  using Action = std::function<int(const CLI::App& command)>;

  // A command of `parent` with its usage line (for help and for errors).
  CLI::App* AddCommand(CLI::App* parent, const std::string& name, const std::string& usage,
                       const std::string& description);
  void AddLibraryCommands();
  void AddDocumentCommands();
  void AddResearchCommands();
  void AddAcquisitionCommands();
  void AddWebCommands();

  // Prints the usage line of `app` to err; the status of a wrong line.
  int WrongLine(const CLI::App* app);
  // Runs `run` on an engine started on the data folder; every run ends with
  // EngineFinish.
  int WithEngine(const std::function<int()>& run);
  // The message and status of a line the parser refused.
  int Refused(const CLI::Error& error);

  std::ostream& out_;
  std::ostream& err_;
  CLI::App app_{"QORA, a research assistant", "qora"};
  std::shared_ptr<HelpFormatter> formatter_ = std::make_shared<HelpFormatter>();
  std::map<const CLI::App*, Action> actions_;
  std::string data_folder_;
};

CommandLine::CommandLine(std::ostream& out, std::ostream& err) : out_(out), err_(err) {
  app_.formatter(formatter_);
  app_.set_help_flag("-h,--help", "print this help and exit");
  app_.set_version_flag("--version", std::string("qora ") + QORA_VERSION,
                        "print the version of qora and exit");
  app_.add_option("--data", data_folder_,
                  "the user data folder (else $QORA_DATA, else $HOME/qoralibs)")
      ->type_name("DIR")
      ->take_last();
  app_.require_subcommand(0, 1);

  auto init_dir = std::make_shared<std::vector<std::string>>();
  CLI::App* init = AddCommand(&app_, "init", "qora init DIR",
                              "make the user data folder DIR from the installed data folder");
  AddWord(init, "DIR", init_dir.get(), "the folder to make; it must not exist or be empty");
  actions_[init] = [this, init_dir](const CLI::App& command) {
    if (init_dir->size() != 1) return WrongLine(&command);
    const std::string& target = init_dir->front();
    const std::string installed = FindInstalledDataFolder();
    if (installed.empty()) {
      err_ << "qora: the installed data folder cannot be found (set QORA_INSTALLED_DATA)\n";
      return kFailed;
    }
    const std::string failure = InitDataFolder(installed, target);
    if (!failure.empty()) {
      err_ << "qora: cannot make the data folder: " << failure << "\n";
      return kFailed;
    }
    PrintDataFolderMade(target, out_);
    return kDone;
  };

  CLI::App* info = AddCommand(&app_, "info", "qora [--data DIR] info",
                              "print the engine environment of the data folder");
  actions_[info] = [this](const CLI::App&) {
    return WithEngine([this] {
      out_ << FormatEnvironment(ReadEngineEnvironment());
      return kDone;
    });
  };

  AddLibraryCommands();
  AddDocumentCommands();
  AddResearchCommands();
  AddAcquisitionCommands();
  AddWebCommands();

  // `qora help` is `qora --help`.
  CLI::App* help = app_.add_subcommand("help", "print the overview of the commands");
  help->group("")->allow_extras();
  actions_[help] = [this](const CLI::App&) {
    out_ << kUsage;
    return kDone;
  };
}

CLI::App* CommandLine::AddCommand(CLI::App* parent, const std::string& name,
                                  const std::string& usage, const std::string& description) {
  CLI::App* command = parent->add_subcommand(name, description);
  command->group("Commands");
  formatter_->SetUsage(command, usage);
  return command;
}

int CommandLine::WrongLine(const CLI::App* app) {
  err_ << "usage: " << formatter_->Usage(app) << "\n";
  return kWrongLine;
}

int CommandLine::WithEngine(const std::function<int()>& run) {
  const std::string data_folder = data_folder_.empty() ? DefaultDataFolder() : data_folder_;
  EngineSession session;
  if (session.Start(data_folder) != 0) {
    err_ << "qora: the engine could not start on \"" << data_folder << "\"\n";
    return kFailed;
  }
  const int status = run();
  session.Finish();
  return status;
}

void CommandLine::AddLibraryCommands() {
  CLI::App* lib = AddCommand(&app_, "lib", "qora lib list|new|merge|empty|erase|process|repair ...",
                             "list, make, merge, empty, erase, index and repair libraries");
  lib->require_subcommand(1, 1);

  auto xml = std::make_shared<bool>(false);
  CLI::App* list = AddCommand(lib, "list", "qora lib list [--xml]", "list the libraries");
  AddXmlFlag(list, xml.get(), "print every store, the temporary one too, as the engine lists them");
  actions_[list] = [this, xml](const CLI::App&) {
    return WithEngine([this, xml] {
      std::vector<LibraryInfo> libraries;
      std::string text;
      const std::string failure = ListLibraries(&libraries, &text);
      if (*xml) {
        out_ << text;
      } else {
        PrintLibraries(libraries, out_);
      }
      return Outcome(failure, err_);
    });
  };

  auto name = std::make_shared<std::vector<std::string>>();
  CLI::App* make =
      AddCommand(lib, "new", "qora lib new NAME", "make a library; prints its identifier");
  AddWord(make, "NAME", name.get(), "the name of the new library");
  actions_[make] = [this, name](const CLI::App& command) {
    if (name->size() != 1) return WrongLine(&command);
    return WithEngine([this, name] {
      std::string ident;
      const std::string failure = NewLibrary(name->front(), &ident);
      if (failure.empty()) PrintLibraryIdent(ident, out_);
      return Outcome(failure, err_);
    });
  };

  auto new_name = std::make_shared<std::vector<std::string>>();
  auto merged = std::make_shared<std::vector<std::string>>();
  CLI::App* merge =
      AddCommand(lib, "merge", "qora lib merge NEWNAME LIB...",
                 "make NEWNAME from the documents of the libraries LIB, then erase them");
  AddWord(merge, "NEWNAME", new_name.get(), "the name of the merged library");
  AddWords(merge, "LIB", merged.get(), "the libraries to merge (name or identifier)");
  actions_[merge] = [this, new_name, merged](const CLI::App& command) {
    if (new_name->size() != 1 || merged->empty()) return WrongLine(&command);
    return WithEngine([this, new_name, merged] {
      std::string ident;
      const std::string failure = MergeLibraries(new_name->front(), *merged, &ident);
      if (!ident.empty()) PrintLibraryIdent(ident, out_);
      return Outcome(failure, err_);
    });
  };

  // lib empty, erase and process: one library each.
  struct OneLibrary {
    const char* verb;
    const char* usage;
    const char* description;
    std::function<std::string(const std::string& library, bool full)> run;
  };
  auto full = std::make_shared<bool>(false);
  const OneLibrary one_library[] = {
      {"empty", "qora lib empty LIB", "remove every document of LIB",
       [](const std::string& library, bool) { return EmptyLibrary(library); }},
      {"erase", "qora lib erase LIB", "remove LIB with all its files",
       [](const std::string& library, bool) { return EraseLibrary(library); }},
      {"process", "qora lib process LIB [--full]",
       "index the new documents of LIB (all of them with --full)",
       [](const std::string& library, bool all) { return ProcessLibrary(library, all); }},
  };
  for (const OneLibrary& one : one_library) {
    auto library = std::make_shared<std::vector<std::string>>();
    CLI::App* app = AddCommand(lib, one.verb, one.usage, one.description);
    AddWord(app, "LIB", library.get(), "the library (name or identifier)");
    if (app->get_name() == "process") {
      app->add_flag("--full", *full, "index every document again");
    }
    actions_[app] = [this, library, full, run = one.run](const CLI::App& command) {
      if (library->size() != 1) return WrongLine(&command);
      return WithEngine(
          [this, library, full, run] { return Outcome(run(library->front(), *full), err_); });
    };
  }

  CLI::App* repair =
      AddCommand(lib, "repair", "qora lib repair", "rebuild every library from its documents");
  actions_[repair] = [this](const CLI::App&) {
    return WithEngine([this] { return Outcome(RepairLibraries(), err_); });
  };
}

void CommandLine::AddDocumentCommands() {
  struct DocsArguments {
    std::vector<std::string> library;
    NumberArgument start{"", "--start"};
    NumberArgument count{"", "--count"};
    bool xml = false;
    std::vector<std::string> rm_library;
    std::vector<std::string> rm_ids;
  };
  auto args = std::make_shared<DocsArguments>();
  CLI::App* docs = AddCommand(
      &app_, "docs", "qora docs LIB [--start N] [--count N] [--xml] | docs rm LIB DOCID...",
      "list the documents of LIB");
  actions_[docs] = [this, args](const CLI::App& command) {
    if (args->library.size() != 1) return WrongLine(&command);
    if (!IsNumber(args->start.text) || !IsNumber(args->count.text)) {
      err_ << "qora: --start and --count take whole numbers\n";
      return kWrongLine;
    }
    return WithEngine([this, args] {
      std::vector<DocumentRecord> documents;
      std::string text;
      const std::string failure =
          ListLibraryDocuments(args->library.front(), std::atoi(args->start.text.c_str()),
                               std::atoi(args->count.text.c_str()), &documents, &text);
      if (!failure.empty()) return Outcome(failure, err_);
      if (args->xml) {
        out_ << text;
      } else {
        PrintDocuments(documents, out_);
      }
      return kDone;
    });
  };
  docs->require_subcommand(0, 1);
  AddWord(docs, "LIB", &args->library, "the library (name or identifier)");
  AddNumberOption(docs, &args->start, 0, "N", "the position of the first document listed (from 0)");
  AddNumberOption(docs, &args->count, -1, "N", "list at most N documents (-1: all)");
  AddXmlFlag(docs, &args->xml, "print the result list as the engine writes it");

  CLI::App* rm = AddCommand(docs, "rm", "qora docs rm LIB DOCID...", "erase documents from LIB");
  actions_[rm] = [this, args](const CLI::App& command) {
    // "docs LIB rm ..." names a library twice.
    if (!args->library.empty()) return WrongLine(command.get_parent());
    if (args->rm_library.size() != 1 || args->rm_ids.empty()) return WrongLine(&command);
    return WithEngine([this, args] {
      return Outcome(EraseDocuments(args->rm_library.front(), args->rm_ids), err_);
    });
  };
  AddWord(rm, "LIB", &args->rm_library, "the library (name or identifier)");
  AddWords(rm, "DOCID", &args->rm_ids, "the documents to erase, as `qora docs LIB` lists them");
}

void CommandLine::AddResearchCommands() {
  // research
  struct ResearchArguments {
    QueryArguments query;
    NumberArgument count{"", "--count"};
    bool expand = false;
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
    request.expand = research_args->expand;
    if (!ParseQuerySource(research_args->query, &request.query, err_) ||
        !NumberValue(research_args->count, &request.count, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, research_args, request] {
      std::vector<DocumentRecord> documents;
      std::string text;
      const std::string failure = Research(request, &documents, &text);
      if (!failure.empty()) return Outcome(failure, err_);
      if (research_args->query.xml) {
        out_ << text;
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
  AddNumberOption(research, &research_args->count, kDefaultFetchCount, "N",
                  "list at most N documents (default " + std::to_string(kDefaultFetchCount) + ")");
  research->add_flag("--expand", research_args->expand, "expand the query with related terms");
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
    int bias = kDefaultBiasPercent;
    if (documents.empty() || !ParseQuerySource(summary_args->query, &source, err_) ||
        !NumberValue(summary_args->bias, &bias, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, summary_args, documents, source, bias] {
      SummaryResult result;
      const std::string failure = Summarize(documents, source, bias, &result);
      if (!failure.empty()) return Outcome(failure, err_);
      if (summary_args->query.xml) {
        out_ << result.text;
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
  AddNumberOption(summary, &summary_args->bias, kDefaultBiasPercent, "PERCENT",
                  "how strongly the query biases the weights (default " +
                      std::to_string(kDefaultBiasPercent) + ")");
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
        !NumberValue(map_args->concepts, &request.concepts, err_) ||
        !NumberValue(map_args->phrases, &request.phrases, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, map_args, request] {
      std::vector<DocumentRecord> concepts;
      std::string text;
      const std::string failure = ConceptMap(request, &concepts, &text);
      if (!failure.empty()) return Outcome(failure, err_);
      if (map_args->query.xml) {
        out_ << text;
      } else {
        PrintConceptMap(concepts, out_);
      }
      return kDone;
    });
  };
  AddLibrariesOption(map, &map_args->query);
  AddKeywordsOption(map, &map_args->query);
  AddDocumentsOption(map, &map_args->query);
  AddNumberOption(map, &map_args->concepts, kDefaultMaxConcepts, "N",
                  "at most N concepts (default " + std::to_string(kDefaultMaxConcepts) + ")");
  AddNumberOption(
      map, &map_args->phrases, kDefaultMaxPhrases, "N",
      "at most N key phrases a concept (default " + std::to_string(kDefaultMaxPhrases) + ")");
  AddXmlFlag(map, &map_args->query.xml, "print the result list as the engine writes it");
}

void CommandLine::AddAcquisitionCommands() {
  // add
  struct AddArguments {
    std::vector<std::string> library;
    std::vector<std::string> files;
  };
  auto add_args = std::make_shared<AddArguments>();
  CLI::App* add = AddCommand(&app_, "add", "qora add LIB FILE...",
                             "import HTML and PDF files into LIB and index them");
  actions_[add] = [this, add_args](const CLI::App& command) {
    if (add_args->library.size() != 1 || add_args->files.empty()) return WrongLine(&command);
    return WithEngine([this, add_args] {
      std::string failure;
      {
        StatusProgress progress;
        failure = AddFilesToLibrary(add_args->library.front(), add_args->files);
      }
      return Outcome(failure, err_);
    });
  };
  AddWord(add, "LIB", &add_args->library, "the library (name or identifier)");
  AddWords(add, "FILE", &add_args->files, "the HTML and PDF files to import");

  // add-folder
  struct FolderArguments {
    std::vector<std::string> library;
    std::vector<std::string> folder;
    NumberArgument depth{"", "--depth"};
    NumberArgument kilobytes{"", "--max-kb"};
    NumberArgument documents{"", "--max-docs"};
  };
  auto folder_args = std::make_shared<FolderArguments>();
  CLI::App* add_folder = AddCommand(
      &app_, "add-folder", "qora add-folder LIB FOLDER [--depth N] [--max-kb N] [--max-docs N]",
      "import the files of FOLDER into LIB and index them");
  actions_[add_folder] = [this, folder_args](const CLI::App& command) {
    int depth = 0, kilobytes = 0, documents = 0;
    if (folder_args->library.size() != 1 || folder_args->folder.size() != 1 ||
        !NumberValue(folder_args->depth, &depth, err_) ||
        !NumberValue(folder_args->kilobytes, &kilobytes, err_) ||
        !NumberValue(folder_args->documents, &documents, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, folder_args, depth, kilobytes, documents] {
      std::string failure;
      {
        StatusProgress progress;
        failure = AddFolderToLibrary(folder_args->library.front(), folder_args->folder.front(),
                                     depth, kilobytes, documents);
      }
      return Outcome(failure, err_);
    });
  };
  AddWord(add_folder, "LIB", &folder_args->library, "the library (name or identifier)");
  AddWord(add_folder, "FOLDER", &folder_args->folder, "the folder to import");
  AddNumberOption(add_folder, &folder_args->depth, kDefaultFolderDepth, "N",
                  "walk N levels of folders (1: the folder's own files; default " +
                      std::to_string(kDefaultFolderDepth) + ")");
  AddNumberOption(
      add_folder, &folder_args->kilobytes, kDefaultFolderKilobytes, "N",
      "import at most N kilobytes (default " + std::to_string(kDefaultFolderKilobytes) + ")");
  AddNumberOption(
      add_folder, &folder_args->documents, kDefaultFolderDocuments, "N",
      "import at most N documents (default " + std::to_string(kDefaultFolderDocuments) + ")");
}

void CommandLine::AddWebCommands() {
  // crawl
  struct CrawlArguments {
    std::vector<std::string> library;
    std::vector<std::string> addresses;
    NumberArgument depth{"", "--depth"};
    NumberArgument kilobytes{"", "--max-kb"};
    NumberArgument sites{"", "--max-sites"};
    NumberArgument documents{"", "--max-docs"};
    bool internal_only = false;
  };
  auto crawl_args = std::make_shared<CrawlArguments>();
  CLI::App* crawl = AddCommand(&app_, "crawl",
                               "qora crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] "
                               "[--max-docs N] [--internal-only]",
                               "crawl from the start addresses into LIB and index the pages");
  actions_[crawl] = [this, crawl_args](const CLI::App& command) {
    int depth = 0, kilobytes = 0, sites = 0, documents = 0;
    if (crawl_args->library.size() != 1 || crawl_args->addresses.empty() ||
        !NumberValue(crawl_args->depth, &depth, err_) ||
        !NumberValue(crawl_args->kilobytes, &kilobytes, err_) ||
        !NumberValue(crawl_args->sites, &sites, err_) ||
        !NumberValue(crawl_args->documents, &documents, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, crawl_args, depth, kilobytes, sites, documents] {
      std::string failure;
      {
        StatusProgress progress;
        failure = CrawlIntoLibrary(crawl_args->library.front(), crawl_args->addresses, depth,
                                   kilobytes, sites, documents, crawl_args->internal_only);
      }
      return Outcome(failure, err_);
    });
  };
  AddWord(crawl, "LIB", &crawl_args->library, "the library (name or identifier)");
  AddWords(crawl, "URL", &crawl_args->addresses, "the start addresses");
  AddNumberOption(crawl, &crawl_args->depth, kDefaultCrawlDepth, "N",
                  "follow links N levels deep (0: the start addresses alone; default " +
                      std::to_string(kDefaultCrawlDepth) + ")");
  AddNumberOption(
      crawl, &crawl_args->kilobytes, kDefaultCrawlKilobytes, "N",
      "fetch at most N kilobytes (default " + std::to_string(kDefaultCrawlKilobytes) + ")");
  AddNumberOption(crawl, &crawl_args->sites, kDefaultCrawlSites, "N",
                  "visit at most N addresses (default " + std::to_string(kDefaultCrawlSites) + ")");
  AddNumberOption(
      crawl, &crawl_args->documents, kDefaultCrawlDocuments, "N",
      "store at most N documents (default " + std::to_string(kDefaultCrawlDocuments) + ")");
  crawl->add_flag("--internal-only", crawl_args->internal_only, "follow no link to another host");

  // websearch and quicksearch
  struct SearchArguments {
    std::vector<std::string> library;
    std::vector<std::string> words;
    std::string engines = "1";
    NumberArgument results{"", "--results"};
  };
  const auto add_search_options = [](CLI::App* app, SearchArguments* args) {
    AddWords(app, "WORDS", &args->words, "the words to search for");
    app->add_option("--engines", args->engines,
                    "the search engines to ask, numbered 1 to 5 as in se.ini (default 1)")
        ->type_name("1,3")
        ->take_last();
    AddNumberOption(
        app, &args->results, kDefaultSearchResults, "N",
        "ask each engine for N hits (default " + std::to_string(kDefaultSearchResults) + ")");
  };

  auto websearch_args = std::make_shared<SearchArguments>();
  CLI::App* websearch =
      AddCommand(&app_, "websearch", "qora websearch LIB WORDS... [--engines 1,3] [--results N]",
                 "search the internet and store the hits in LIB");
  actions_[websearch] = [this, websearch_args](const CLI::App& command) {
    int results = 0;
    if (websearch_args->library.size() != 1 || websearch_args->words.empty() ||
        !NumberValue(websearch_args->results, &results, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, websearch_args, results] {
      std::string failure;
      {
        StatusProgress progress;
        failure =
            SearchIntoLibrary(websearch_args->library.front(), SearchWords(websearch_args->words),
                              websearch_args->engines, results);
      }
      return Outcome(failure, err_);
    });
  };
  AddWord(websearch, "LIB", &websearch_args->library, "the library (name or identifier)");
  add_search_options(websearch, websearch_args.get());

  auto quicksearch_args = std::make_shared<SearchArguments>();
  CLI::App* quicksearch =
      AddCommand(&app_, "quicksearch", "qora quicksearch WORDS... [--engines 1,3] [--results N]",
                 "list the hits of the search engines");
  actions_[quicksearch] = [this, quicksearch_args](const CLI::App& command) {
    int results = 0;
    if (quicksearch_args->words.empty() ||
        !NumberValue(quicksearch_args->results, &results, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, quicksearch_args, results] {
      std::vector<DocumentRecord> hits;
      std::string failure;
      {
        StatusProgress progress;
        failure = QuickSearchHits(SearchWords(quicksearch_args->words), quicksearch_args->engines,
                                  &hits, results);
      }
      if (!failure.empty()) return Outcome(failure, err_);
      PrintSearchHits(hits, out_);
      return kDone;
    });
  };
  add_search_options(quicksearch, quicksearch_args.get());
}

// The command that the parser stopped in: the last subcommand selected.
const CLI::App* SelectedCommand(const CLI::App& app) {
  const CLI::App* command = &app;
  while (!command->get_subcommands().empty()) command = command->get_subcommands().front();
  return command;
}

int CommandLine::Refused(const CLI::Error& error) {
  // The words no command or option took, from the program down to the
  // command where the parser stopped.
  std::vector<const CLI::App*> chain = {&app_};
  while (!chain.back()->get_subcommands().empty()) {
    chain.push_back(chain.back()->get_subcommands().front());
  }
  for (const CLI::App* app : chain) {
    const std::vector<std::string> extras = app->remaining(false);
    if (extras.empty()) continue;
    const std::string& first = extras.front();
    const bool is_option = first.size() > 1 && first[0] == '-';
    if (app == &app_) {
      if (is_option) {
        err_ << "qora: unknown option " << first << "\n";
      } else {
        err_ << "qora: unknown command \"" << first << "\"\n" << kUsage;
      }
      return kWrongLine;
    }
    const bool takes_words =
        !app->get_options([](const CLI::Option* option) { return option->get_positional(); })
             .empty();
    if (is_option) {
      err_ << "qora: unknown option " << first << "\n";
    } else if (takes_words || app->get_subcommands({}).empty()) {
      err_ << "qora: unexpected argument \"" << first << "\"\n";
    } else {  // a group of commands: qora lib frob
      err_ << "qora: unknown command \"" << app->get_name() << " " << first << "\"\n";
    }
    return WrongLine(app);
  }
  const CLI::App* command = SelectedCommand(app_);
  // An option without its value: the message of the hand-written parser.
  const std::string what = error.what();
  const std::string missing = " missing";
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr &&
      what.find(" required ") != std::string::npos && what.size() > missing.size() &&
      what.compare(what.size() - missing.size(), missing.size(), missing) == 0) {
    err_ << "qora: " << what.substr(0, what.find(':')) << " needs a value\n";
    return kWrongLine;
  }
  // A command group without its command (qora lib).
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && command != &app_ &&
      command->get_require_subcommand_min() > 0 && command->get_subcommands().empty()) {
    return WrongLine(command);
  }
  err_ << "qora: " << what << "\n";
  return command == &app_ ? kWrongLine : WrongLine(command);
}

int CommandLine::Run(const std::vector<std::string>& arguments) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app_.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    out_ << app_.help();
    return kDone;
  } catch (const CLI::CallForVersion& version) {
    out_ << version.what() << "\n";
    return kDone;
  } catch (const CLI::Error& error) {
    return Refused(error);
  }
  const CLI::App* command = SelectedCommand(app_);
  if (command == &app_) {
    err_ << kUsage;
    return kWrongLine;
  }
  auto action = actions_.find(command);
  if (action == actions_.end()) return WrongLine(command);
  return action->second(*command);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  CommandLine command_line(out, err);
  return command_line.Run(arguments);
}

}  // namespace qora
