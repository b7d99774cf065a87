// The commands that bring documents into a library: add and add-folder from
// local files, crawl and websearch from the internet; and quicksearch, which
// lists the hits of the search engines.
#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/acquisition_parameters.h"
#include "shell/acquisition_requests.h"
#include "shell/command_arguments.h"
#include "shell/command_line_parser.h"
#include "shell/result_printing.h"
#include "shell/settings_keys.h"
#include "shell/status_progress.h"
#include "shell/web_requests.h"
#include "util/document_record.h"

namespace qora {
namespace {

// Runs `run` while the engine's status shows as progress (StatusProgress) and
// returns its failure message. The progress line is ended first, so that a
// message printed next stands on a line of its own.
std::string WithProgress(const std::function<std::string()>& run) {
  StatusProgress progress;
  return run();
}

}  // namespace

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
      int added = 0;
      const std::string failure = WithProgress(
          [&] { return AddFilesToLibrary(add_args->library.front(), add_args->files, &added); });
      return Added(add_args->library.front(), added, failure);
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
    const FolderOptions settings = ReadFolderOptions(UserSettings());
    int depth = 0, kilobytes = 0, documents = 0;
    if (folder_args->library.size() != 1 || folder_args->folder.size() != 1 ||
        !NumberValueOr(folder_args->depth, settings.depth, &depth, err_) ||
        !NumberValueOr(folder_args->kilobytes, settings.kilobytes, &kilobytes, err_) ||
        !NumberValueOr(folder_args->documents, settings.documents, &documents, err_)) {
      return WrongLine(&command);
    }
    return WithEngine([this, folder_args, depth, kilobytes, documents] {
      int added = 0;
      const std::string failure = WithProgress([&] {
        return AddFolderToLibrary(folder_args->library.front(), folder_args->folder.front(), depth,
                                  kilobytes, documents, &added);
      });
      return Added(folder_args->library.front(), added, failure);
    });
  };
  AddWord(add_folder, "LIB", &folder_args->library, "the library (name or identifier)");
  AddWord(add_folder, "FOLDER", &folder_args->folder, "the folder to import");
  AddSettingOption(add_folder, &folder_args->depth, "N",
                   "walk N levels of folders (1: the folder's own files; default: the setting " +
                       SettingName(settings::kFolderDepth) + ")");
  AddSettingOption(add_folder, &folder_args->kilobytes, "N",
                   "import at most N kilobytes (default: the setting " +
                       SettingName(settings::kFolderKilobytes) + ")");
  AddSettingOption(add_folder, &folder_args->documents, "N",
                   "import at most N documents (default: the setting " +
                       SettingName(settings::kFolderDocuments) + ")");
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
    CLI::Option* internal_only = nullptr;
    CLI::Option* all_sites = nullptr;
  };
  auto crawl_args = std::make_shared<CrawlArguments>();
  CLI::App* crawl = AddCommand(&app_, "crawl",
                               "qora crawl LIB URL... [--depth N] [--max-kb N] [--max-sites N] "
                               "[--max-docs N] [--internal-only | --all-sites]",
                               "crawl from the start addresses into LIB and index the pages");
  actions_[crawl] = [this, crawl_args](const CLI::App& command) {
    AcquisitionOptions options = ReadAcquisitionOptions(UserSettings());
    CrawlerOptions& crawler = options.crawler;
    if (crawl_args->library.size() != 1 || crawl_args->addresses.empty() ||
        !NumberValueOr(crawl_args->depth, crawler.depth, &crawler.depth, err_) ||
        !NumberValueOr(crawl_args->kilobytes, crawler.kilobytes, &crawler.kilobytes, err_) ||
        !NumberValueOr(crawl_args->sites, crawler.sites, &crawler.sites, err_) ||
        !NumberValueOr(crawl_args->documents, crawler.documents, &crawler.documents, err_)) {
      return WrongLine(&command);
    }
    if (crawl_args->internal_only->count() > 0) crawler.internal_only = true;
    if (crawl_args->all_sites->count() > 0) crawler.internal_only = false;
    std::string parameters;
    const std::string failure =
        AcquisitionParameters(AcquisitionMode::kCrawl, options, &parameters);
    if (!failure.empty()) return Outcome(failure, err_);
    return WithEngine([this, crawl_args, parameters] {
      int added = 0;
      const std::string failure = WithProgress([&] {
        return CrawlIntoLibrary(crawl_args->library.front(), crawl_args->addresses, parameters,
                                &added);
      });
      return Added(crawl_args->library.front(), added, failure);
    });
  };
  AddWord(crawl, "LIB", &crawl_args->library, "the library (name or identifier)");
  AddWords(crawl, "URL", &crawl_args->addresses, "the start addresses");
  AddSettingOption(crawl, &crawl_args->depth, "N",
                   "follow links N levels deep (0: the start addresses alone; default: the "
                   "setting " +
                       SettingName(settings::kDepth) + ")");
  AddSettingOption(crawl, &crawl_args->kilobytes, "N",
                   "fetch at most N kilobytes (default: the setting " +
                       SettingName(settings::kMaxKilobytes) + ")");
  AddSettingOption(
      crawl, &crawl_args->sites, "N",
      "visit at most N addresses (default: the setting " + SettingName(settings::kMaxSites) + ")");
  AddSettingOption(
      crawl, &crawl_args->documents, "N",
      "store at most N documents (default: the setting " + SettingName(settings::kMaxDocs) + ")");
  crawl_args->internal_only =
      crawl->add_flag("--internal-only")
          ->description("follow no link to another host (the default unless the setting " +
                        SettingName(settings::kInternalOnly) + ", is 0)");
  crawl_args->all_sites = crawl->add_flag("--all-sites")
                              ->description("follow links to other hosts too")
                              ->excludes(crawl_args->internal_only);

  // websearch and quicksearch
  struct SearchArguments {
    std::vector<std::string> library;
    std::vector<std::string> words;
    std::string engines;
    CLI::Option* engines_option = nullptr;
    NumberArgument results{"", "--results"};
  };
  const auto add_search_options = [](CLI::App* app, SearchArguments* args) {
    AddWords(app, "WORDS", &args->words, "the words to search for");
    args->engines_option =
        app->add_option("--engines", args->engines,
                        "the search engines to ask, numbered 1 to 5 as in se.ini (default: "
                        "those switched on in the settings EngineOptions/selEng1 to selEng5, "
                        "else engine 1)")
            ->type_name("1,3")
            ->take_last();
    AddSettingOption(app, &args->results, "N",
                     "ask each engine for N hits (default: the settings "
                     "EngineOptions/numResEng1 to numResEng5, initially 50)");
  };
  // The engine page of a search: the settings', with what the line says.
  const auto engine_options = [this](const SearchArguments& args, EngineOptions* engines) {
    *engines = ReadEngineOptions(UserSettings());
    if (args.engines_option->count() > 0) {
      const std::string failure = SelectEngines(args.engines, engines);
      if (!failure.empty()) {
        err_ << "qora: " << failure << "\n";
        return false;
      }
    }
    if (args.results.option->count() == 0) return true;
    int results = 0;
    if (!NumberValue(args.results, &results, err_)) return false;
    if (results < 0) {
      err_ << "qora: the number of hits per engine cannot be negative\n";
      return false;
    }
    engines->results.fill(results);
    return true;
  };

  auto websearch_args = std::make_shared<SearchArguments>();
  CLI::App* websearch =
      AddCommand(&app_, "websearch", "qora websearch LIB WORDS... [--engines 1,3] [--results N]",
                 "search the internet and store the hits in LIB");
  actions_[websearch] = [this, websearch_args, engine_options](const CLI::App& command) {
    AcquisitionOptions options = ReadAcquisitionOptions(UserSettings());
    if (websearch_args->library.size() != 1 || websearch_args->words.empty() ||
        !engine_options(*websearch_args, &options.engines)) {
      return WrongLine(&command);
    }
    std::string parameters;
    const std::string failure =
        AcquisitionParameters(AcquisitionMode::kBasicSearch, options, &parameters);
    if (!failure.empty()) return Outcome(failure, err_);
    return WithEngine([this, websearch_args, parameters] {
      int added = 0;
      const std::string failure = WithProgress([&] {
        return SearchIntoLibrary(websearch_args->library.front(),
                                 SearchWords(websearch_args->words), parameters, &added);
      });
      return Added(websearch_args->library.front(), added, failure);
    });
  };
  AddWord(websearch, "LIB", &websearch_args->library, "the library (name or identifier)");
  add_search_options(websearch, websearch_args.get());

  auto quicksearch_args = std::make_shared<SearchArguments>();
  CLI::App* quicksearch =
      AddCommand(&app_, "quicksearch", "qora quicksearch WORDS... [--engines 1,3] [--results N]",
                 "list the hits of the search engines");
  actions_[quicksearch] = [this, quicksearch_args, engine_options](const CLI::App& command) {
    EngineOptions engines;
    if (quicksearch_args->words.empty() || !engine_options(*quicksearch_args, &engines)) {
      return WrongLine(&command);
    }
    const std::string parameters = EngineParameters(engines);
    return WithEngine([this, quicksearch_args, parameters] {
      std::vector<DocumentRecord> hits;
      const std::string failure = WithProgress(
          [&] { return QuickSearchHits(SearchWords(quicksearch_args->words), parameters, &hits); });
      if (!failure.empty()) return Outcome(failure, err_);
      PrintSearchHits(hits, out_);
      return kDone;
    });
  };
  add_search_options(quicksearch, quicksearch_args.get());
}

}  // namespace qora
