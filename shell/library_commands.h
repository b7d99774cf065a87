// The library commands as every front runs them: the sequences of engine
// calls with the limits and messages that go with them. Each needs a started
// engine (EngineSession) and returns "" when done, else the message to show.
#ifndef QORA_SHELL_LIBRARY_COMMANDS_H_
#define QORA_SHELL_LIBRARY_COMMANDS_H_

#include <string>
#include <vector>

#include "util/document_record.h"

namespace qora {

// Limits of the library manager.
inline constexpr int kMaxLibraries = 50;
inline constexpr int kMaxDocumentsPerLibrary = 200;
inline constexpr int kMaxMergedDocuments = 200;

// One library of the data folder, as the library manager lists it.
struct LibraryInfo {
  std::string ident;    // names the description file and the folder
  std::string name;     // shown to the user
  int documents = 0;    // number of DML files
  long long bytes = 0;  // size of all its files
  std::string date;     // creation date
};

// Every library of the data folder but the temporary store, and opens each
// with the engine so later commands find it by identifier. When `text` is
// given, it receives the engine's result-list text of every store, the
// temporary store included.
std::string ListLibraries(std::vector<LibraryInfo>* libraries, std::string* text = nullptr);

// The identifier of the library named `name_or_ident` (identifier first,
// then library name).
std::string ResolveLibrary(const std::string& name_or_ident, std::string* ident);

// Opens the library named `name_or_ident` with the engine (once a run) and
// sets `handle` to its store handle.
std::string OpenLibrary(const std::string& name_or_ident, int* handle);

// Indexes the new documents of the open library `handle` (every document
// with `full`) and releases its term statistics, as after every change of a
// library. "" when done; a message when its index could not be written (the
// documents stay and the next indexing takes them again).
std::string IndexLibrary(int handle, bool full);

// Makes a library named `name`; its identifier goes to `ident`.
std::string NewLibrary(const std::string& name, std::string* ident);

// Makes the library `name` from the documents of `libraries`, which are then
// erased. Refused for fewer than two libraries or more than 200 documents.
std::string MergeLibraries(const std::string& name, const std::vector<std::string>& libraries,
                           std::string* ident);

// Removes every document of the library; it stays.
std::string EmptyLibrary(const std::string& library);

// Removes the library with all its files.
std::string EraseLibrary(const std::string& library);

// Indexes the library's new documents, or all of them when `full` is set.
std::string ProcessLibrary(const std::string& library, bool full);

// Rebuilds every library but the temporary store from its documents, with
// fresh word lists: what heals a library left half-written by a crash.
std::string RepairLibraries();

// The documents of the library from position `start`, at most `count`
// (negative: all), as records and as result-list text.
std::string ListLibraryDocuments(const std::string& library, int start, int count,
                                 std::vector<DocumentRecord>* documents, std::string* text);

// The number of documents of the open library `handle` (0 when it cannot
// be listed).
int LibraryDocumentCount(int handle);

// Takes the documents `ids` out of the library (into the temporary store,
// emptied at the end of the run) and re-indexes what remains.
std::string EraseDocuments(const std::string& library, const std::vector<std::string>& ids);

}  // namespace qora

#endif  // QORA_SHELL_LIBRARY_COMMANDS_H_
