// The steps of the application's start that need no window: where the user
// data folder is, making it on a first start, refreshing its templates when
// a newer version is installed, and the texts the start shows.
#ifndef QORA_SHELL_STARTUP_H_
#define QORA_SHELL_STARTUP_H_

#include <string>

#include "shell/settings_store.h"

namespace qora {

// The texts of the start, as the user reads them.
inline constexpr char kAlreadyRunning[] = "Application already running!";
inline constexpr char kFirstStartMessage[] =
    "Before starting QORA for the first time, we need to create a folder to store your data "
    "libraries permanently. You will now be asked to choose a location for this folder. Please "
    "choose a folder with sufficient (100MB - 1GB) space on your local hard disk drive. DO NOT "
    "CHOOSE A SHARED OR NETWORK FOLDER as it might corrupt data.QORA will create a sub folder "
    "within it called qoralibs/";
inline constexpr char kFolderDialogTitle[] = "User Library Location:";
inline constexpr char kFolderDialogPrompt[] =
    "Choose a folder on your hard disk (NOT ON A SHARED FOLDER)";
inline constexpr char kCreateFolderFailed[] = "Create folder failed.";
inline constexpr char kFirstStartRefused[] =
    "You must allow QORA to create a user library in order to proceed";
inline constexpr char kCrashQuestion[] =
    "The last time the program was run, it did not close gracefully. Your libraries need to be "
    "repaired. This could take several minutes and you will not be able to interrupt this. "
    "Proceed?";

// The user data folder named by the command line (`given`, when not
// empty), else $QORA_DATA, else the settings' "Main"/"rootFolder" unless it
// holds its default; with a trailing "/". "" when none names one: a first
// start.
std::string ConfiguredDataFolder(const std::string& given, const SettingsStore& settings);

// The user data folder a first start makes in the chosen folder `chosen`:
// `chosen` with "/" appended when it ends in neither "/" nor "\", then
// "qoralibs/", every "\" turned into "/". "" for an empty or blank choice.
std::string FirstStartFolder(const std::string& chosen);

// Makes the user data folder `folder` (every missing folder along it) and
// copies the installed data folder `installed` into it. Returns "" when
// done, kCreateFolderFailed when a folder cannot be made, else a message of
// the copy's failure; what it made is removed again on failure.
std::string MakeUserDataFolder(const std::string& installed, const std::string& folder);

// The version of the templates installed with the program: the whole
// number in the file "libversion" of the installed data folder. -2 when the
// file is missing, -3 when it holds no whole number.
int InstalledTemplateVersion(const std::string& installed);

// Compares the installed template version with the user's: 1 when the
// user's is lower (the templates must be refreshed), 0 when equal, -1 when
// higher; the installed version's own -2 or -3 when it cannot be read.
int CompareTemplateVersions(int installed, int user);

// Copies every file of the installed data folder over the user data folder
// `folder`, replacing what is there (new folders are made; files of the
// user's that the installed tree lacks stay), but for the engine's records
// of the folder, "tmpdoc.ini" and "wkspc.ini", which stay as they are.
// Returns "" or the message.
std::string RefreshTemplates(const std::string& installed, const std::string& folder);

}  // namespace qora

#endif  // QORA_SHELL_STARTUP_H_
