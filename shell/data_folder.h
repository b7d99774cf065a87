// The installed data folder and the user data folders made from it.
#ifndef QORA_SHELL_DATA_FOLDER_H_
#define QORA_SHELL_DATA_FOLDER_H_

#include <string>

namespace qora {

// The installed data folder: $QORA_INSTALLED_DATA when set, else "data"
// beside the running executable, else "../share/qora/data" from it. Returns
// "" when none of them is a folder.
std::string FindInstalledDataFolder();

// The settings files, word list and folders a data folder cannot start
// without that `folder` lacks, separated by ", " ("" when it has them all).
// The page cleaner and PDF converter are not among them: without them the
// engine starts, and an import says what it misses.
std::string MissingDataFiles(const std::string& folder);

// Makes the user data folder `target` (with any missing parents) and copies
// the whole tree of `installed` into it, byte for byte. Refuses an
// `installed` folder that lacks what a data folder needs (MissingDataFiles),
// and a `target` that exists
// and is not an empty folder, so no user file is ever overwritten. Returns
// "" on success, else a message saying what failed; a copy that fails part
// way removes what it made.
std::string InitDataFolder(const std::string& installed, const std::string& target);

// `folder` with a trailing "/" added when it lacks one: the engine joins
// paths by plain concatenation.
std::string WithTrailingSeparator(const std::string& folder);

}  // namespace qora

#endif  // QORA_SHELL_DATA_FOLDER_H_
