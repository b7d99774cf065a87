// The parser behind RunCommandLine (shell/command_line.h). Internal to the
// shell: command_line.cc holds its core, and each group of commands is added
// in a file of its own (library_command_line.cc, research_command_line.cc,
// acquisition_command_line.cc).
#ifndef QORA_SHELL_COMMAND_LINE_PARSER_H_
#define QORA_SHELL_COMMAND_LINE_PARSER_H_

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "shell/command_help.h"
#include "shell/settings_store.h"

namespace qora {

// The parser of one run: the commands as CLI11 subcommands, each with the
// action that checks what the parser cannot check and runs the flow.
class CommandLine {
 public:
  CommandLine(std::ostream& out, std::ostream& err);

  // Parses `arguments` (those after the program name) and runs the command
  // they name. Returns the exit status: kDone, kFailed or kWrongLine.
  int Run(const std::vector<std::string>& arguments);

 private:
  // The exit statuses of Run.
  static constexpr int kDone = 0;
  static constexpr int kFailed = 1;
  static constexpr int kWrongLine = 2;

  // What a command does once the line is parsed: checks what the parser
  // cannot (how many words, numbers, the query), then runs its flow on the
  // engine. Returns the exit status.
  using Action = std::function<int(const CLI::App& command)>;

  // Reports a command's failure message to `err` (nothing when `failure` is
  // empty); the exit status, kDone or kFailed.
  static int Outcome(const std::string& failure, std::ostream& err);

  // The outcome of a command that brings documents into `library`: the
  // failure said, else how many documents the library gained.
  int Added(const std::string& library, int added, const std::string& failure);

  // A command of `parent` with its usage line (for help and for errors).
  CLI::App* AddCommand(CLI::App* parent, const std::string& name, const std::string& usage,
                       const std::string& description);

  // The groups of commands, each adding its commands and their actions.
  void AddDataFolderCommands();   // init, info
  void AddServeCommand();         // serve
  void AddLibraryCommands();      // lib list|new|merge|empty|erase|process|repair
  void AddDocumentCommands();     // docs, docs rm
  void AddResearchCommands();     // research, summary, map
  void AddAcquisitionCommands();  // add, add-folder
  void AddWebCommands();          // crawl, websearch, quicksearch

  // Prints the usage line of `app` to err; the status of a wrong line.
  int WrongLine(const CLI::App* app);
  // Runs `run` on an engine started on the data folder; every run ends with
  // EngineFinish.
  int WithEngine(const std::function<int()>& run);
  // The message and status of a line the parser refused.
  int Refused(const CLI::Error& error);
  // The user's settings, read from their file at the first call; what a
  // command line does not say is taken from them.
  const SettingsStore& UserSettings();

  std::ostream& out_;
  std::ostream& err_;
  CLI::App app_{"QORA, a research assistant", "qora"};
  std::shared_ptr<HelpFormatter> formatter_ = std::make_shared<HelpFormatter>();
  std::map<const CLI::App*, Action> actions_;
  std::string data_folder_;
  std::optional<SettingsStore> settings_;
};

}  // namespace qora

#endif  // QORA_SHELL_COMMAND_LINE_PARSER_H_
