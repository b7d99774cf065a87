// Starts a helper program (the page cleaner, the PDF converter) as a
// separate process and waits for its end.
#ifndef QORA_ACQUIRE_PROGRAM_RUNNER_H_
#define QORA_ACQUIRE_PROGRAM_RUNNER_H_

#include <string>
#include <vector>

namespace qora {

// Starts the program at `path` (not searched in PATH) with the argument list
// `argv` (its first entry included) passed as given: no shell takes part, so
// blanks, "*", backslashes and non-ASCII bytes need no quoting. The child's
// standard input, output and error are /dev/null, and it starts with every
// signal at its default action and none blocked. Waits until the child has
// ended (one that runs for three minutes is killed: the helpers stop
// themselves well before); how it ended is not examined (a helper that fails shows only as a
// missing output file). Returns false when the program could not be started
// (missing, not executable, empty `argv`), true once it has ended. Safe to
// call from several threads at once.
bool RunProgramAndWait(const std::string& path, const std::vector<std::string>& argv);

}  // namespace qora

#endif  // QORA_ACQUIRE_PROGRAM_RUNNER_H_
