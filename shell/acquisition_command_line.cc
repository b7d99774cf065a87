// The commands that bring documents into a library: add and add-folder from
// local files, crawl and websearch from the internet; and quicksearch, which
// lists the hits of the search engines.
#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/acquisition_requests.h"
#include "shell/command_arguments.h"
#include "shell/command_line_parser.h"
#include "shell/result_printing.h"
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
      return Outcome(WithProgress([&] {
                       return AddFilesToLibrary(add_args->library.front(), add_args->files);
                     }),
                     err_);
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
      return Outcome(WithProgress([&] {
                       return AddFolderToLibrary(folder_args->library.front(),
                                                 folder_args->folder.front(), depth, kilobytes,
                                                 documents);
                     }),
                     err_);
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
      return Outcome(WithProgress([&] {
                       return CrawlIntoLibrary(crawl_args->library.front(), crawl_args->addresses,
                                               depth, kilobytes, sites, documents,
                                               crawl_args->internal_only);
                     }),
                     err_);
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
      return Outcome(WithProgress([&] {
                       return SearchIntoLibrary(websearch_args->library.front(),
                                                SearchWords(websearch_args->words),
                                                websearch_args->engines, results);
                     }),
                     err_);
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
      const std::string failure = WithProgress([&] {
        return QuickSearchHits(SearchWords(quicksearch_args->words), quicksearch_args->engines,
                               &hits, results);
      });
      if (!failure.empty()) return Outcome(failure, err_);
      PrintSearchHits(hits, out_);
      return kDone;
    });
  };
  add_search_options(quicksearch, quicksearch_args.get());
}

}  // namespace qora
