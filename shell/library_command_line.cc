// The commands on libraries (lib list|new|merge|empty|erase|process|repair)
// and on their documents (docs, docs rm).
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/command_arguments.h"
#include "shell/command_line_parser.h"
#include "shell/display_text.h"
#include "shell/library_commands.h"
#include "shell/result_printing.h"
#include "util/document_record.h"

namespace qora {

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
        out_ << TerminalText(text, LineEnds::kKeep);
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
        out_ << TerminalText(text, LineEnds::kKeep);
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

}  // namespace qora
