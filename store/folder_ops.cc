#include "store/folder_ops.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace qora {
namespace fs = std::filesystem;

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsFileOfDocument(std::string_view name, std::string_view id) {
  return name.size() > id.size() && name.substr(0, id.size()) == id && name[id.size()] == '.';
}

// Renames `file` into `to` unless a file of that name is there already.
void MoveInto(const fs::path& file, const std::string& to) {
  std::error_code error;
  const fs::path target = fs::path(to) / file.filename();
  if (fs::exists(target, error)) return;
  fs::rename(file, target, error);
}

}  // namespace

std::string NormalizeFolder(std::string_view folder) {
  std::string normal(folder);
  for (char& c : normal) {
    if (c == '\\') c = '/';
  }
  if (normal.empty() || normal.back() != '/') normal += '/';
  return normal;
}

int RemoveFilesIn(const std::string& folder, std::string_view suffix) {
  std::error_code error;
  fs::directory_iterator it(NormalizeFolder(folder), error);
  if (error) return -1;
  for (const fs::directory_entry& entry : it) {
    if (!entry.is_regular_file(error)) continue;
    if (EndsWith(entry.path().filename().string(), suffix)) fs::remove(entry.path(), error);
  }
  return 0;
}

int CopyFolder(const std::string& from, const std::string& to) {
  std::error_code error;
  if (!fs::is_directory(from, error)) return -1;
  fs::create_directories(to, error);
  if (error) return -1;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::skip_existing, error);
  return error ? -1 : 0;
}

int RemoveFolderTree(const std::string& folder) {
  std::error_code error;
  fs::remove_all(folder, error);
  return error ? -1 : 0;
}

void MoveFiles(const std::string& from, const std::string& to,
               std::initializer_list<std::string_view> keep) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(NormalizeFolder(from), error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = entry.path().filename().string();
    if (std::find(keep.begin(), keep.end(), name) == keep.end()) MoveInto(entry.path(), to);
  }
}

void MoveDocumentFiles(const std::string& from, const std::string& to, std::string_view id) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(NormalizeFolder(from), error)) {
    if (entry.is_regular_file(error) && IsFileOfDocument(entry.path().filename().string(), id)) {
      MoveInto(entry.path(), to);
    }
  }
}

FileTally TallyFiles(const std::string& folder, std::string_view name_part) {
  FileTally tally;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    std::error_code entry_error;
    if (!it->is_regular_file(entry_error)) continue;
    if (it->path().filename().string().find(name_part) != std::string::npos) ++tally.matching;
    const uintmax_t size = it->file_size(entry_error);
    if (!entry_error) tally.bytes += static_cast<int64_t>(size);
  }
  return tally;
}

bool CreateFolders(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::is_directory(folder, error);
}

bool FolderExists(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

}  // namespace qora
