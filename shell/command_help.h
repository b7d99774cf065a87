// The help texts of the `qora` command line: the overview of every command
// and the CLI11 formatter that writes the help of one command.
#ifndef QORA_SHELL_COMMAND_HELP_H_
#define QORA_SHELL_COMMAND_HELP_H_

#include <CLI/CLI.hpp>
#include <map>
#include <string>

namespace qora {

// What `qora --help` prints: every command on one page, ending in a newline.
extern const char kCommandOverview[];

// Writes the help of `qora --help` as the overview above, and the help of a
// command as its usage line, its description, then its arguments and options
// as CLI11 lists them.
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter();

  // Makes `usage` (without "usage: ") the usage line of the command `app`.
  void SetUsage(const CLI::App* app, std::string usage);

  // The usage line of `app` (without "usage: "); "qora NAME" when none was set.
  std::string Usage(const CLI::App* app) const;

  std::string make_usage(const CLI::App* app, std::string) const override;
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override;

 private:
  std::map<const CLI::App*, std::string> usages_;
};

}  // namespace qora

#endif  // QORA_SHELL_COMMAND_HELP_H_
