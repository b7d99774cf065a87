// Fills the local half of a library from files on disk: files named in a
// list, or the files of a folder walked to a given depth. Each accepted file
// is copied into the local cache folder under its document id and stored by
// the page processor; links in local pages are not followed.
#ifndef QORA_ACQUIRE_LOCAL_IMPORT_H_
#define QORA_ACQUIRE_LOCAL_IMPORT_H_

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "acquire/crawl_settings.h"
#include "acquire/page_processor.h"
#include "analysis/analysis_environment.h"
#include "store/document_store.h"

namespace qora {

// One import operation on `store`; `store` and `environment` must outlive
// it. The store's local document table is emptied and loaded from its file
// at the start of each operation, and at the end the lines the operation
// added are appended to the file and the table is emptied again.
class LocalImporter {
 public:
  LocalImporter(DocumentStore* store, AnalysisEnvironment* environment);

  LocalImporter(const LocalImporter&) = delete;
  LocalImporter& operator=(const LocalImporter&) = delete;

  // Imports the files of `file_list` (paths separated by "|", empty pieces
  // dropped) in order, until a stop is requested. 0; -1 when the list names
  // no file (nothing is done); 1 when the table lines of the imported
  // documents cannot be appended to the table file. Throws CfgError when
  // "crawl.ini" cannot be read; nothing is imported then.
  int AddFiles(std::string_view file_list);

  // Imports the files of `folder` and its sub-folders: `depth` levels (the
  // folder itself is level 1), until `max_docs` documents are in the table
  // or `max_bytes` bytes were stored, or a stop is requested. 0; 1 when the
  // table lines cannot be written, as AddFiles. Throws CfgError as AddFiles.
  int CrawlFolder(const std::string& folder, int depth, int max_bytes, int max_docs);

  // The settings of the last operation, with its counters.
  const CrawlSettings& settings() const { return settings_; }

 private:
  // Reads "crawl.ini" and loads the local table; remembers the ids it held.
  void BeginOperation();
  // Appends the lines added since BeginOperation and empties the table. 0;
  // 1 when the table file cannot be written.
  int EndOperation();

  // Walks one folder level; `level` is that of the folder's parent.
  void WalkFolder(const std::string& path, int level);
  // Imports one file when its extension is accepted.
  void ImportFile(const std::string& path);
  // Stores the file at `path` as document `id`; its raw copy gets `ext`.
  void StoreFile(const std::string& path, const std::string& id, const std::string& ext);
  // True when the stop was requested; then sets the status text.
  bool StopRequested();

  DocumentStore* store_;
  AnalysisEnvironment* environment_;
  CrawlSettings settings_;
  PageProcessor processor_;
  // Folders entered by the running walk, by device and inode: a folder
  // reached twice (through a bind mount) is not walked again.
  std::set<std::pair<unsigned long long, unsigned long long>> walked_;
};

}  // namespace qora

#endif  // QORA_ACQUIRE_LOCAL_IMPORT_H_
