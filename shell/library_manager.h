// The library manager of the application: the list of the user's libraries
// with the research's open ones marked, and the commands on the
// check-marked ones (new, merge, empty, erase, repair). Each command is
// refused before any engine call when the program is busy or its limits
// say no, and otherwise runs on the worker thread with the library
// commands the command line uses; the front asks the user's confirmation
// and the names before it sends a command.
//
// Thread-safe: the server's threads call every function.
#ifndef QORA_SHELL_LIBRARY_MANAGER_H_
#define QORA_SHELL_LIBRARY_MANAGER_H_

#include <string>
#include <vector>

#include "shell/app_events.h"
#include "shell/library_commands.h"
#include "shell/operation_worker.h"
#include "shell/research_session.h"

namespace qora {

// The completion codes of the library commands.
inline constexpr int kMergeDone = 5;
inline constexpr int kLibraryCommandDone = 15;
inline constexpr int kRepairDone = 16;

// The "Size(kB)" text of `bytes`: the decimal text without its last three
// characters, "0" when it has three or fewer.
std::string KilobyteText(long long bytes);

// A row of the manager's list.
struct ManagedLibrary {
  LibraryInfo library;
  bool open = false;  // the research holds the library open ("X")
};

class LibraryManager {
 public:
  // All three must outlive the manager.
  LibraryManager(EventQueue* events, OperationWorker* worker, ResearchSession* research);
  LibraryManager(const LibraryManager&) = delete;
  LibraryManager& operator=(const LibraryManager&) = delete;

  // Every library but the temporary store, in the engine's order. False
  // while an operation runs (nothing is told: the front lists again after
  // it), or with an error message when the libraries cannot be listed.
  bool List(std::vector<ManagedLibrary>* libraries);

  // Makes the library `name`. Refused with the warning of the 50-library
  // limit, or "Please enter a library name" for a blank name. Completion 15.
  bool StartNew(const std::string& name);
  // Makes the library `name` of the `libraries` (identifiers), which are
  // then erased. Refused with "Please check mark the libraries first" for
  // fewer than two, or with the error naming 200 when they hold more
  // documents together. Completion 5.
  bool StartMerge(const std::string& name, const std::vector<std::string>& libraries);
  // Removes every document of each of `libraries`, which stay. "Please
  // check mark the libraries first" for none. Completion 15.
  bool StartEmpty(const std::vector<std::string>& libraries);
  // Removes each of `libraries` with all its files. As StartEmpty.
  bool StartErase(const std::vector<std::string>& libraries);
  // Rebuilds the index of every library; "Repair done." when done.
  // Completion 16.
  bool StartRepair();

 private:
  // Runs `command` on the worker under `title` unless busy; its failure
  // text is shown as an error.
  bool Run(const std::string& title, int completion, std::function<std::string()> command);
  // False with the warning when `libraries` is empty.
  bool Checked(const std::vector<std::string>& libraries);

  EventQueue* const events_;
  OperationWorker* const worker_;
  ResearchSession* const research_;
};

}  // namespace qora

#endif  // QORA_SHELL_LIBRARY_MANAGER_H_
