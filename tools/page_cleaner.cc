// The page cleaner that the engine starts from its data folder as "cln.exe":
//
//   cln.exe dummyarg INPUT OUTPUT
//
// INPUT and OUTPUT are plain paths, each one argument, taken as they come
// (blanks, "*", backslashes and non-ASCII bytes are part of the name; the
// first argument is not examined). The program reads the archived copy of a
// page at INPUT, cleans it with libtidy (see CleanPage) and writes the
// cleaned HTML to OUTPUT.
//
// Exit status: 0 when OUTPUT was written; 1 when the input cannot be read,
// libtidy produced nothing, the output cannot be written, or the cleaning
// crashed or ran past its time limit; 2 on a wrong argument count. Whenever
// the status is not 0 a message is on standard error and OUTPUT was not
// written (an older file of that name is left as it was).
//
// The cleaning runs under a time limit, so that a page that makes libtidy
// loop costs one missing output and never a hung cleaner.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/page_cleaning.h"
#include "tools/tool_support.h"

namespace {

constexpr int kExitCleaned = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Wall-clock limit of one cleaning, unless QORA_TOOL_TIME_LIMIT_MS says
// otherwise. Ordinary pages take well under a second.
constexpr int kDefaultTimeLimitMs = 60 * 1000;

void ReportFailure(const std::string& message) {
  std::fprintf(stderr, "cln.exe: %s\n", message.c_str());
}

// Reads `input`, cleans it and writes the result to `output` by way of
// `scratch`; returns the program's exit status.
int CleanFile(const std::string& input, const std::string& output, const std::string& scratch) {
  std::string page;
  std::string cleaned;
  std::string error;
  if (!qora::tools::ReadWholeFile(input, &page, &error) ||
      !qora::tools::CleanPage(page, &cleaned, &error)) {
    ReportFailure(error);
    return kExitFailed;
  }
  qora::tools::EndProcessAfter(0);  // No timer may cut the writing short.
  if (!qora::tools::WriteFileInOneStep(output, scratch, cleaned, &error)) {
    ReportFailure(error);
    return kExitFailed;
  }
  return kExitCleaned;
}

}  // namespace

int main(int argc, char** argv) {
  // libtidy asks the C library for the user's locale to pick the language of
  // its messages, which loads a dozen locale files; the cleaner shows none.
  setenv("LC_ALL", "C", 1);
  qora::tools::PrepareHeapForOneTask();
  if (argc < 3) {
    ReportFailure("usage: cln.exe INPUT OUTPUT (argument list: any name, input path, output path)");
    return kExitUsage;
  }
  const std::string input = argv[1];
  const std::string output = argv[2];
  const std::string scratch = output + ".part" + std::to_string(getpid());

  // A page that makes the cleaning run past the limit ends the program by
  // the timer, before anything is written: the output appears only when the
  // cleaning is done, so it is missing, as for any failure. The
  // cleaning runs in this process itself, since a page import starts the
  // cleaner once a page and a second process would double that cost.
  qora::tools::EndProcessAfter(qora::tools::TimeLimitMilliseconds(kDefaultTimeLimitMs),
                               "cln.exe: the cleaning did not finish within the time limit and "
                               "was stopped; no output written\n");
  const int status = CleanFile(input, output, scratch);
  if (status != kExitCleaned) std::remove(scratch.c_str());
  return status;
}
