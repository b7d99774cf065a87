// File and folder operations of the library layer. None of them throws;
// failures of one file are skipped and the operation goes on.
#ifndef QORA_STORE_FOLDER_OPS_H_
#define QORA_STORE_FOLDER_OPS_H_

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace qora {

// `folder` with every "\" turned into "/" and a trailing "/" added.
std::string NormalizeFolder(std::string_view folder);

// Removes every file directly in `folder` (sub-folders are not entered)
// whose name ends with `suffix` ("" removes every file). -1 when the folder
// cannot be read, else 0.
int RemoveFilesIn(const std::string& folder, std::string_view suffix = "");

// Makes `to` and copies the files and sub-folders of `from` into it,
// recursively. -1 when `from` cannot be read or `to` cannot be made.
int CopyFolder(const std::string& from, const std::string& to);

// Removes `folder` with everything in it. -1 when it cannot be removed.
int RemoveFolderTree(const std::string& folder);

// Moves every file directly in `from` into `to` by renaming it, except the
// files named in `keep`; a file whose name is taken in `to` stays where it is.
void MoveFiles(const std::string& from, const std::string& to,
               std::initializer_list<std::string_view> keep = {});

// Moves the files of document `id` (named `id` + "." + extension, so files of
// a document whose id merely starts with `id` stay) from `from` into `to`.
void MoveDocumentFiles(const std::string& from, const std::string& to, std::string_view id);

// Counts the files below `folder` (recursively) whose name contains
// `name_part`, and adds up the sizes of all files there, in bytes.
struct FileTally {
  int64_t matching = 0;
  int64_t bytes = 0;
};
FileTally TallyFiles(const std::string& folder, std::string_view name_part);

// Makes `folder` and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& folder);

// True when `path` names an existing folder.
bool FolderExists(const std::string& path);

}  // namespace qora

#endif  // QORA_STORE_FOLDER_OPS_H_
