// The command-line front `qora`.
#ifndef QORA_SHELL_COMMAND_LINE_H_
#define QORA_SHELL_COMMAND_LINE_H_

#include <ostream>
#include <string>
#include <vector>

namespace qora {

// Runs one command line (the arguments after the program name), writing the
// command's output (and --help, --version) to `out` and messages to `err`.
// The line is parsed with CLI11; the commands run the flows of shell/ and
// print with result_printing.h. Returns the exit status: 0 done, 1 the
// command failed, 2 the command line was wrong (nothing was started then).
int RunCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace qora

#endif  // QORA_SHELL_COMMAND_LINE_H_
