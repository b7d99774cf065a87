// One library: its description file, and a local and a web half, each with a
// cache folder (DML files, raw files, the "cache.chx" table) and an index
// folder (one ".idx" per document and the half's "master.idx").
#ifndef QORA_STORE_DOCUMENT_STORE_H_
#define QORA_STORE_DOCUMENT_STORE_H_

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/analysis_environment.h"
#include "analysis/term_vector.h"
#include "store/cache_table.h"
#include "util/document_record.h"

namespace qora {

// The document table file of every cache folder.
inline constexpr char kCacheTableFile[] = "cache.chx";
// The master index file of every index folder.
inline constexpr char kMasterIndexFile[] = "master.idx";

// One half of a library.
struct LibraryHalf {
  std::string cache_folder;
  std::string index_folder;
  CacheTable table;
  TermVector stemmed;  // the stemmed copy of plain(), when the stemmed model is on

  std::string TablePath() const { return cache_folder + kCacheTableFile; }
  std::string MasterPath() const { return index_folder + kMasterIndexFile; }

  // The sum of the documents' vectors.
  const TermVector& plain() const { return *plain_; }
  // The sum as it stands now, for a reader that must keep it although the
  // library changes or releases it later (a prepared workspace). Never null.
  std::shared_ptr<const TermVector> SharedPlain() const { return plain_; }
  // Makes `sum` the sum. A reader sharing the old sum keeps it unchanged:
  // the sum is never changed in place.
  void ReplacePlain(TermVector sum) { plain_ = std::make_shared<TermVector>(std::move(sum)); }

 private:
  std::shared_ptr<const TermVector> plain_ = std::make_shared<const TermVector>();
};

class DocumentStore {
 public:
  explicit DocumentStore(AnalysisEnvironment* environment) : environment_(environment) {}
  DocumentStore(const DocumentStore&) = delete;
  DocumentStore& operator=(const DocumentStore&) = delete;

  // Reads the description file `file_name` in the store folder root, takes
  // the library name from it, sets the folders from the file name and loads
  // both document tables. -1 only when the name is empty; a missing
  // description file gives a store without name whose folders are still set.
  int OpenStore(const std::string& file_name);

  // True when the description file at `path` can be read as a cfg file.
  static bool DescriptionReadable(const std::string& path);

  // Reloads both master indexes (a half whose file is missing keeps its
  // vectors) and adds new document-table lines to the tables. 0.
  int RefreshIndex();

  // Indexes the documents whose processed flag is 0 (all of them when `full`
  // is set, after removing every ".idx" file) into their ".idx" files and the
  // halves' master vectors, then writes "master.idx" and "cache.chx". A full
  // run is also the repair after a crash: it first makes any missing folder
  // and brings each table into agreement with the DML files on disk
  // (ReconcileTable: lines without a DML file go, DML files without a line
  // are listed again). An
  // incremental run starts from the "master.idx" on disk. 0; -1 when a
  // half's "master.idx" or "cache.chx" cannot be written (the other half is
  // still processed; a half whose master index failed keeps its table file,
  // so the next run counts its documents again). A document whose ".idx"
  // cannot be written is no failure: it keeps its flag 0 for the next run.
  int ProcessDocuments(bool full);

  // Empties the four master vectors. 0.
  int ClearTerms();

  // Empties the master vectors and the tables; the files stay.
  void CloseStore();

  // Removes every file of the four folders and empties the master vectors;
  // the tables in memory stay. 0; -1 when a folder cannot be read.
  int EmptyStore();

  // Removes the description file and the store folder with all it holds. 0
  // (also when there was no description file); -1 when the description file
  // or the folder cannot be removed, and -1, removing nothing, when the
  // store has no identifier of its own ("", "." or "..").
  int EraseStoreFiles();

  // Writes `content` as `name` into the local cache folder and appends its
  // line (id `name`, address `address`) to the local table file; the tables
  // in memory stay. Returns "file://" + the written path; "" when the file
  // or its table line cannot be written (then no file is left behind).
  std::string AddLocalDocument(const std::string& name, const std::string& address,
                               std::string_view content);

  // The half holding `id` (local first), or nullptr.
  const LibraryHalf* HalfOf(std::string_view id) const;

  // Sets `cache_folder` to the cache folder of the half holding `id`; false
  // when neither table holds it.
  bool DocumentFolder(std::string_view id, std::string* cache_folder) const;

  // Reads the DML description of `id` into `record` and sets its bcuri to
  // "file://" + its cache folder. -1 when neither table holds the id, else 0
  // (also when the DML file is missing).
  int ReadStoredRecord(std::string_view id, DocumentRecord* record) const;

  // Reads the ".idx" file of `id` into the two vectors. -1 when neither table
  // holds the id.
  int LoadDocumentIndex(std::string_view id, TermVector* plain, TermVector* stemmed) const;

  // Reads the pairs of the stemmed vector of `id` (the plain one when
  // `stemmed` is false) from its ".idx" file, with `buffer` holding the
  // file's bytes. -1 when neither table holds the id; else 0, with `pairs`
  // empty when the file is missing or damaged, as LoadDocumentIndex would
  // leave the vector. Ranking reads thousands of these, so nothing else of the
  // file is decoded.
  int LoadDocumentPairs(std::string_view id, bool stemmed, std::string* buffer,
                        std::vector<TermPair>* pairs) const;

  // Moves every document of `source` into this library: table lines (a
  // source line wins over a target line of the same id, but keeps the
  // target's processed flag; other moved lines are marked unprocessed) and
  // files (a file whose name is taken here stays in the source). Both source
  // tables end empty, in memory and on file. 0. -1 when a table file of this
  // library cannot be written: then neither library has changed. -1 also
  // when a source table file cannot be emptied: the documents and their
  // files are here all the same, and that file still lists them.
  int MergeStore(DocumentStore* source);

  // Moves document `id` of `source` with its files into this library. When
  // `source` is this library, the document's line leaves its table file and
  // table, and its files stay where they are. 0; -1 when the source holds no
  // such document, or when the receiving table file cannot be written
  // (nothing moves then), or when the source table file cannot be rewritten
  // without it (it is here, and still listed there).
  int MoveDocument(DocumentStore* source, std::string_view id);

  // The library name shown to the user, and the identifier that names its
  // description file and folder.
  const std::string& library_name() const { return library_name_; }
  const std::string& ident() const { return ident_; }
  const std::string& description_path() const { return description_path_; }
  // The store folder: the description path without its extension, plus "/".
  std::string StoreFolder() const;

  LibraryHalf& local() { return local_; }
  LibraryHalf& web() { return web_; }
  const LibraryHalf& local() const { return local_; }
  const LibraryHalf& web() const { return web_; }

  // Number of documents in both tables.
  size_t DocumentCount() const { return local_.table.size() + web_.table.size(); }

 private:
  // ProcessDocuments for one half. 0; -1 when its master index or table file
  // cannot be written.
  int ProcessHalf(LibraryHalf* half, bool full);
  // Indexes the documents at the table positions `pending`, in order, and
  // adds each one's plain vector to `*sum`; element k of the result tells
  // whether the index file of pending[k] was written.
  std::vector<bool> IndexAndSum(const LibraryHalf& half, const std::vector<size_t>& pending,
                                TermVector* sum);
  // Makes the stemmed copy of `sum` when the stemmed model is on and writes
  // both to the master index file. 0 when the file was written, else -1.
  int WriteMasterIndex(LibraryHalf* half, const TermVector& sum);
  // Vectors indexed ahead of the summing, at most.
  static constexpr size_t kQueuedVectors = 8;
  static int MoveHalfDocument(LibraryHalf* target, LibraryHalf* source, std::string_view id);

  AnalysisEnvironment* environment_;
  std::string library_name_;
  std::string ident_;
  std::string description_path_;
  LibraryHalf local_;
  LibraryHalf web_;
};

// Makes a new library named `name` from the template in the data folder,
// under a new identifier, and opens it into `store`. Returns -1, leaving
// nothing behind, when the template cannot be read or the library cannot be
// written.
int CreateStore(DocumentStore* store, const std::string& name, AnalysisEnvironment* environment);

// A fresh library identifier: "ds", the processor-clock count and a
// pseudo-random number, in decimal.
std::string MakeStoreIdent();

}  // namespace qora

#endif  // QORA_STORE_DOCUMENT_STORE_H_
