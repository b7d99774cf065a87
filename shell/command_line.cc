#include "shell/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "shell/application.h"
#include "shell/command_arguments.h"
#include "shell/command_help.h"
#include "shell/command_line_parser.h"
#include "shell/data_folder.h"
#include "shell/display_text.h"
#include "shell/engine_session.h"
#include "shell/result_printing.h"

#ifndef QORA_VERSION
#error "QORA_VERSION (the project version of CMake) must be defined"
#endif

namespace qora {
namespace {

std::string DefaultDataFolder() {
  if (const char* data = std::getenv("QORA_DATA"); data != nullptr && *data != '\0') return data;
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/qoralibs";
}

// The command that the parser stopped in: the last subcommand selected.
const CLI::App* SelectedCommand(const CLI::App& app) {
  const CLI::App* command = &app;
  while (!command->get_subcommands().empty()) command = command->get_subcommands().front();
  return command;
}

}  // namespace

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

  AddDataFolderCommands();
  AddServeCommand();
  AddLibraryCommands();
  AddDocumentCommands();
  AddResearchCommands();
  AddAcquisitionCommands();
  AddWebCommands();

  // `qora help` is `qora --help`.
  CLI::App* help = app_.add_subcommand("help", "print the overview of the commands");
  help->group("")->allow_extras();
  actions_[help] = [this](const CLI::App&) {
    out_ << kCommandOverview;
    return kDone;
  };
}

int CommandLine::Outcome(const std::string& failure, std::ostream& err) {
  if (failure.empty()) return kDone;
  err << "qora: " << TerminalText(failure, LineEnds::kKeep) << "\n";
  return kFailed;
}

int CommandLine::Added(const std::string& library, int added, const std::string& failure) {
  if (!failure.empty()) return Outcome(failure, err_);
  PrintAddedDocuments(library, added, out_);
  return kDone;
}

const SettingsStore& CommandLine::UserSettings() {
  if (!settings_) settings_ = SettingsStore::Load(SettingsFilePath());
  return *settings_;
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
    err_ << "qora: the engine could not start on \"" << TerminalText(data_folder) << "\"\n";
    return kFailed;
  }
  const int status = run();
  if (session.Finish() != 0) {
    // What the command did stands; the user learns that the word lists of
    // this run (or the emptying of the temporary library) did not.
    err_ << "qora: the word lists could not be saved or the temporary library emptied in \""
         << TerminalText(data_folder) << "\"\n";
    return status == kDone ? kFailed : status;
  }
  return status;
}

void CommandLine::AddServeCommand() {
  struct ServeArguments {
    NumberArgument port{"", "--port"};
    bool no_browser = false;
  };
  auto args = std::make_shared<ServeArguments>();
  CLI::App* serve = AddCommand(&app_, "serve", "qora serve [--port N] [--no-browser]",
                               "start the application and open it in the browser");
  actions_[serve] = [this, args](const CLI::App& command) {
    ApplicationOptions options;
    if (!NumberValueOr(args->port, 0, &options.port, err_)) return WrongLine(&command);
    if (options.port < 0 || options.port > 65535) {
      err_ << "qora: --port takes a port number from 1 to 65535\n";
      return WrongLine(&command);
    }
    options.data_folder = data_folder_;
    options.open_browser = !args->no_browser;
    return RunApplication(options, out_, err_) == 0 ? kDone : kFailed;
  };
  AddSettingOption(serve, &args->port, "N",
                   "serve on port N of 127.0.0.1 (default " + std::to_string(kDefaultPort) +
                       ", else any free port)");
  serve->add_flag("--no-browser", args->no_browser, "only print the address to open");
}

void CommandLine::AddDataFolderCommands() {
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
      err_ << "qora: cannot make the data folder: " << TerminalText(failure, LineEnds::kKeep)
           << "\n";
      return kFailed;
    }
    PrintDataFolderMade(target, out_);
    return kDone;
  };

  CLI::App* info = AddCommand(&app_, "info", "qora [--data DIR] info",
                              "print the engine environment of the data folder");
  actions_[info] = [this](const CLI::App&) {
    return WithEngine([this] {
      out_ << TerminalText(FormatEnvironment(ReadEngineEnvironment()), LineEnds::kKeep);
      return kDone;
    });
  };
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
        err_ << "qora: unknown command \"" << first << "\"\n" << kCommandOverview;
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
    err_ << kCommandOverview;
    return kWrongLine;
  }
  auto action = actions_.find(command);
  if (action == actions_.end()) return WrongLine(command);
  return action->second(*command);
}

int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out,
                   std::ostream& err) {
  CommandLine command_line(out, err);
  return command_line.Run(arguments);
}

}  // namespace qora
