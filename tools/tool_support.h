// Helpers shared by the two helper programs that the engine starts from its
// data folder: the page cleaner ("cln.exe") and the PDF converter
// ("hlp22.exe"). The engine passes plain paths as separate arguments, so
// the programs take them as they come. The helpers read and write whole
// files, and run work in a child process under a time limit so that a
// library that hangs or crashes on hostile input cannot hang or crash the
// program the engine waits for.
#ifndef QORA_TOOLS_TOOL_SUPPORT_H_
#define QORA_TOOLS_TOOL_SUPPORT_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qora::tools {

// The path of the HTML file the converter writes beside `pdf_path`: the
// extension of the file name (from its last ".", ".pdf" in any case or
// another one) replaced by ".html"; ".html" appended when the file name has
// no extension. A "." in a folder name is not an extension.
std::string HtmlPathBeside(std::string_view pdf_path);

// Reads the whole file at `path` into `*bytes`. On failure returns false and
// sets `*error` to a message naming the path and the reason.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// Writes `bytes` to a fresh file at `path` (replacing one that exists). On
// failure removes what was written, returns false and sets `*error`.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error);

// Writes `bytes` to `path` so that no reader ever sees a partial file: the
// bytes go to `scratch_path` first, which is then renamed to `path`. On
// failure neither file is left behind (an older file at `path` stays).
bool WriteFileInOneStep(const std::string& path, const std::string& scratch_path,
                        std::string_view bytes, std::string* error);

// Readies the heap of a program that does one task and ends: the heap is
// grown at once by 16 MiB, never trimmed, serves every allocation below
// 32 MiB, and its memory from the first 2 MiB boundary on is marked for
// transparent huge pages, where later allocations land. On virtual
// machines every first touch of a 4 KiB page is costly; with huge pages
// the kernel maps the few megabytes a cleaning touches in one or two
// faults. Harmless where huge pages are off or another allocator (a
// sanitizer's) serves malloc. Call it first, before anything allocates much.
void PrepareHeapForOneTask();

// The time limit in milliseconds for one run of the program's work:
// `default_ms`, unless the environment variable QORA_TOOL_TIME_LIMIT_MS holds
// a positive decimal number, which then wins (it lets a test provoke the
// limit without a real hang).
int TimeLimitMilliseconds(int default_ms);

// Ends this process with exit status 1 once `milliseconds` of wall-clock
// time have passed, writing `message` (a string that lives as long as the
// process) to standard error first; 0 cancels an earlier call.
void EndProcessAfter(int milliseconds, const char* message = "");

// How a child process ended.
struct ChildResult {
  enum class Outcome {
    kExited,      // ended by itself; exit_code holds its status
    kSignalled,   // ended by a signal; signal_number holds it
    kTimedOut,    // still running at the time limit; it was killed
    kNotStarted,  // fork, pipe or exec failed, or the child could not be waited for
  };
  Outcome outcome = Outcome::kNotStarted;
  int exit_code = -1;
  int signal_number = 0;
  int start_error = 0;  // errno of a failed fork, pipe or exec; 0 when unknown

  // True when the child exited by itself with status 0.
  bool Succeeded() const { return outcome == Outcome::kExited && exit_code == 0; }
  // A short English description for messages, e.g. "exited with status 1".
  std::string Describe() const;
};

// Starts the program `argv[0]` (searched in PATH when it holds no "/") with
// the argument list `argv` exactly as given (no shell, so blanks and
// non-ASCII bytes need no quoting) and waits for it at most `time_limit_ms`
// milliseconds; a child still running then is killed with SIGKILL and
// reaped. Sets the action of SIGCHLD back to the default, so that a program
// started with it ignored can still wait for its child. The child's
// standard input is /dev/null; its output streams are the caller's. A
// program that cannot be started (not found, not executable) is reported as
// kNotStarted with start_error set; so is an empty `argv`.
ChildResult RunProgram(const std::vector<std::string>& argv, int time_limit_ms);

}  // namespace qora::tools

#endif  // QORA_TOOLS_TOOL_SUPPORT_H_
