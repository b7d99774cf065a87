// The requests that fill a library from local files, as every front runs
// them: the import, then indexing the new documents and releasing the
// library's statistics. Each needs a started engine (EngineSession) and
// returns "" when done, else the message to show.
#ifndef QORA_SHELL_ACQUISITION_REQUESTS_H_
#define QORA_SHELL_ACQUISITION_REQUESTS_H_

#include <string>
#include <vector>

namespace qora {

// Imports the HTML and PDF files `files` into the library `library` (name or
// identifier). Relative paths are taken from the working folder; each
// document's address is its absolute path. Refuses, importing nothing, when
// one of the files is not there.
// `*added` (when given) receives the number of documents the library gained.
std::string AddFilesToLibrary(const std::string& library, const std::vector<std::string>& files,
                              int* added = nullptr);

// Imports the files of `folder` down to `depth` levels (1: the folder's own
// files), at most `kilobytes` thousand bytes and `documents` documents.
// Refuses a folder that is not there. `*added` as above.
std::string AddFolderToLibrary(const std::string& library, const std::string& folder, int depth,
                               int kilobytes, int documents, int* added = nullptr);

}  // namespace qora

#endif  // QORA_SHELL_ACQUISITION_REQUESTS_H_
