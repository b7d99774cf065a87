#include "acquire/local_import.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "store/cache_table.h"
#include "store/document_id.h"
#include "util/ascii.h"
#include "util/decimal.h"

namespace qora {
namespace {

// The path with "/" at its end, every "\" read as "/" first.
std::string FolderPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// The file name of `path`: what follows its last "/" or "\".
std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

// Copies `from` to `to` byte for byte; a copy that fails part way is removed.
bool CopyFile(const std::string& from, const std::string& to) {
  std::error_code error;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
  if (!error) return true;
  std::filesystem::remove(to, error);
  return false;
}

// The names in the folder `path`, sorted, without "." and "..": the walk
// then imports in the same order on every run. False when it cannot be
// listed.
bool ListFolder(const std::string& path, std::vector<std::string>* names) {
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) return false;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  ::closedir(folder);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace

LocalImporter::LocalImporter(DocumentStore* store, AnalysisEnvironment* environment)
    : store_(store),
      environment_(environment),
      processor_(store, &settings_, environment, nullptr) {}

bool LocalImporter::StopRequested() {
  if (!environment_->progress().StopRequested()) return false;
  environment_->progress().SetStatus("Stop requested. Please wait...");
  return true;
}

void LocalImporter::BeginOperation() {
  settings_ = CrawlSettings();
  settings_.ReadCrawlIni(store_->ident(), *environment_);
  CacheTable& table = store_->local().table;
  table.Clear();
  table.Load(store_->local().TablePath());
}

// Only the lines the operation added go to the file: appending the lines
// loaded from it at the start as well would write every one of them twice.
int LocalImporter::EndOperation() {
  CacheTable& table = store_->local().table;
  CacheTable loaded;
  loaded.Load(store_->local().TablePath());
  const int written = table.AppendFiltered(store_->local().TablePath(), loaded);
  table.Clear();
  return written == 0 ? 0 : 1;
}

int LocalImporter::AddFiles(std::string_view file_list) {
  std::vector<std::string> paths;
  for (size_t start = 0; start <= file_list.size();) {
    size_t end = file_list.find('|', start);
    if (end == std::string_view::npos) end = file_list.size();
    if (end > start) paths.emplace_back(file_list.substr(start, end - start));
    start = end + 1;
  }
  if (paths.empty()) return -1;
  BeginOperation();
  settings_.sitesDone = 0;
  for (const std::string& path : paths) {
    if (StopRequested()) break;
    ImportFile(path);
  }
  return EndOperation();
}

int LocalImporter::CrawlFolder(const std::string& folder, int depth, int max_bytes, int max_docs) {
  BeginOperation();
  settings_.folderMaxDepth = depth;
  settings_.maxBytes = max_bytes;
  settings_.maxDocs = max_docs;
  settings_.sitesDone = 0;
  settings_.bytesDone = 0;
  walked_.clear();
  WalkFolder(FolderPath(folder), 0);
  return EndOperation();
}

// Entries map onto kinds as the walk needs them: a regular file, read-only
// or not, is imported; a folder is entered unless it is read-only (no write
// permission bit set: the mode, not what the running user may do, so a
// walk as the superuser judges alike); a name beginning with "." is hidden
// and skipped, like symbolic links (never followed, so no link can lead the
// walk in circles), devices, pipes and sockets.
void LocalImporter::WalkFolder(const std::string& folder, int level) {
  ++level;
  if (level > settings_.folderMaxDepth) return;
  if (settings_.sitesDone >= settings_.maxDocs || settings_.bytesDone >= settings_.maxBytes) return;
  if (StopRequested()) return;
  const std::string path = FolderPath(folder);
  struct stat folder_status;
  if (::stat(path.c_str(), &folder_status) != 0) return;
  if (!walked_.insert({folder_status.st_dev, folder_status.st_ino}).second) return;
  std::vector<std::string> names;
  if (!ListFolder(path, &names)) return;
  for (const std::string& name : names) {
    if (settings_.sitesDone >= settings_.maxDocs || settings_.bytesDone >= settings_.maxBytes)
      break;
    struct stat status;
    const std::string entry = path + name;
    if (name[0] != '.' && ::lstat(entry.c_str(), &status) == 0) {
      if (S_ISREG(status.st_mode)) {
        ImportFile(entry);
      } else if (S_ISDIR(status.st_mode) && (status.st_mode & 0222) != 0) {
        WalkFolder(entry, level);
      }
    }
    if (StopRequested()) break;
  }
}

void LocalImporter::ImportFile(const std::string& path) {
  const std::string lowered = AsciiLower(path);
  const size_t dot = lowered.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : lowered.substr(dot);
  const std::string types = AsciiLower(settings_.folderFileTypes);
  if (types.find(ext) == std::string::npos || (ext.empty() && types.empty())) return;
  const std::string id = MakeDocumentId(path);
  CacheTable& table = store_->local().table;
  // A document already in the library is not copied again: its archived copy
  // stays as it was stored.
  if (!table.Contains(id)) StoreFile(path, id, ext);
  if (table.Contains(id)) {
    settings_.sitesDone += 1;
    settings_.bytesDone += ParseDecimal(table.Find(id).size);
  }
  environment_->progress().SetStatus(std::to_string(settings_.sitesDone) + ": " + FileNameOf(path));
}

void LocalImporter::StoreFile(const std::string& path, const std::string& id,
                              const std::string& ext) {
  const bool pdf = ext == ".pdf";
  const bool html = ext == ".htm" || ext == ".html";
  if (!pdf && !html) return;  // an accepted type the importer has no processing for
  const std::string base = store_->local().cache_folder + id;
  const std::string raw = base + (pdf ? ".pdf" : ".htm");
  if (!CopyFile(path, raw)) return;
  try {
    if (pdf) {
      processor_.ProcessPdf(path, raw, base, id, true);
    } else {
      std::vector<std::string> links;
      std::vector<int> kinds;
      int frames = 0;
      processor_.ProcessPage(path, raw, id, &links, &kinds, &frames, true);
    }
  } catch (const std::exception&) {
    // A page the processor could not handle is simply not stored.
  }
  if (store_->local().table.Contains(id)) return;
  // Not stored: nothing of the document may stay behind.
  for (const std::string& leftover : {raw, raw + "_", base + ".html", base + ".dml"}) {
    std::remove(leftover.c_str());
  }
}

}  // namespace qora
