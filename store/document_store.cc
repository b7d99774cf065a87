#include "store/document_store.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/cfg_file.h"
#include "store/bounded_queue.h"
#include "store/document_indexer.h"
#include "store/document_reader.h"
#include "store/folder_ops.h"
#include "store/table_repair.h"
#include "util/atomic_file.h"
#include "util/file_bytes.h"

namespace qora {
namespace {

// The text between the last "/" and the last "." of `file_name`.
std::string IdentOf(const std::string& file_name) {
  const size_t slash = file_name.rfind('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = file_name.rfind('.');
  const size_t end = (dot == std::string::npos || dot < start) ? file_name.size() : dot;
  return file_name.substr(start, end - start);
}

// Reads the library name from the description file at `path` into `name`;
// false when the file cannot be read. A store without a description file is
// an empty store, not an error, so nothing is reported.
bool ReadDescription(const std::string& path, std::string* name) {
  std::optional<CfgFile> description = CfgFile::CfgTryLoad(path);
  if (!description) return false;
  *name = description->CfgGet("docstore", "name");
  return true;
}

// Reads the two vectors of an index file; false when it cannot be opened.
bool ReadIndexFile(const std::string& path, TermVector* plain, TermVector* stemmed) {
  FileBytes file;
  if (!file.Open(path)) return false;
  std::string_view bytes = file.bytes();
  plain->ReadVector(&bytes);
  stemmed->ReadVector(&bytes);
  return true;
}

// Replaces the index file of a document by its two vectors. Not synced: a
// document's index file is rebuilt from its DML file when lost. 0 when the
// whole file was written, else -1.
int WriteIndexFile(const std::string& path, const TermVector& plain, const TermVector& stemmed) {
  const bool written = ReplaceFile(
      path,
      [&](std::ostream& out) {
        plain.WriteVector(out);
        stemmed.WriteVector(out);
        return static_cast<bool>(out);
      },
      Durability::kRenamed);
  return written ? 0 : -1;
}

}  // namespace

int DocumentStore::OpenStore(const std::string& file_name) {
  if (file_name.empty()) return -1;
  const std::string root = environment_->StoreFolderRoot();
  description_path_ = root + file_name;
  library_name_.clear();
  ReadDescription(description_path_, &library_name_);
  ident_ = IdentOf(file_name);
  const std::string folder = root + ident_ + "/";
  local_.cache_folder = folder + "loc_c/";
  local_.index_folder = folder + "loc_i/";
  web_.cache_folder = folder + "web_c/";
  web_.index_folder = folder + "web_i/";
  local_.table.Load(local_.TablePath());
  web_.table.Load(web_.TablePath());
  return 0;
}

bool DocumentStore::DescriptionReadable(const std::string& path) {
  std::string name;
  return ReadDescription(path, &name);
}

std::string DocumentStore::StoreFolder() const {
  const size_t dot = description_path_.rfind('.');
  const size_t slash = description_path_.rfind('/');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? description_path_.substr(0, dot) : description_path_) + "/";
}

int DocumentStore::RefreshIndex() {
  for (LibraryHalf* half : {&local_, &web_}) {
    TermVector plain, stemmed;
    if (ReadIndexFile(half->MasterPath(), &plain, &stemmed)) {
      half->ReplacePlain(std::move(plain));
      half->stemmed = std::move(stemmed);
    }
    half->table.Load(half->TablePath());
  }
  return 0;
}

int DocumentStore::ProcessDocuments(bool full) {
  // A full run is also the repair after a crash: a library whose folders
  // were not all made yet gets them, so its files can be written.
  if (full) {
    for (const std::string* folder :
         {&local_.cache_folder, &local_.index_folder, &web_.cache_folder, &web_.index_folder}) {
      if (!folder->empty()) CreateFolders(*folder);
    }
  }
  // The web half is processed even when the local one failed: its files
  // are its own, and the caller learns of the failure all the same.
  const int local = ProcessHalf(&local_, full);
  const int web = ProcessHalf(&web_, full);
  environment_->progress().SetStatus("Document processing completed");
  return local == 0 && web == 0 ? 0 : -1;
}

int DocumentStore::ProcessHalf(LibraryHalf* half, bool full) {
  TermVector sum;
  if (full) {
    half->stemmed.Clear();
    RemoveFilesIn(half->index_folder, ".idx");
  } else {
    // An incremental run adds to the master index as it stands on disk: the
    // vectors in memory may have been released since the last refresh, and
    // writing their sum back would drop every document processed before.
    if (!ReadIndexFile(half->MasterPath(), &sum, &half->stemmed)) sum = half->plain();
  }
  half->table.Clear();
  half->table.Load(half->TablePath());
  // A full run rebuilds the half from its documents as they are on disk.
  if (full) ReconcileTable(half->cache_folder, &half->table);
  std::vector<size_t> pending;
  for (size_t i = 0; i < half->table.size(); ++i) {
    if (full || half->table.at(i).processed == 0) pending.push_back(i);
  }
  const std::vector<bool> written = IndexAndSum(*half, pending, &sum);
  // The flag records that the index file exists, whatever the model: a
  // document counted into the master vectors is never counted again.
  for (size_t k = 0; k < pending.size(); ++k) {
    if (written[k]) half->table.at(pending[k]).processed = 1;
  }
  const int master = WriteMasterIndex(half, sum);
  half->ReplacePlain(std::move(sum));
  // Without the new master index on file the flags stay as they were on
  // file too: the next run counts these documents again instead of leaving
  // them out of the master index for good.
  if (master != 0) return -1;
  return half->table.Rewrite(half->TablePath());
}

// The plain sum goes to the file on a thread of its own while this one makes
// the stemmed copy, which follows it in the file. Both only read `sum`.
// The master index is synced to disk: unlike a document's index file it is
// not rebuilt by the next processing run.
int DocumentStore::WriteMasterIndex(LibraryHalf* half, const TermVector& sum) {
  bool stemmed_made = false;
  const auto make_stemmed_copy = [&] {
    if (environment_->stemmed_model()) half->stemmed.StemmedCopyOf(sum, environment_->stems());
    stemmed_made = true;
  };
  const bool written = ReplaceFile(
      half->MasterPath(),
      [&](std::ostream& out) {
        // What the writer throws (memory running out) is thrown again here:
        // an exception leaving a thread's function would end the process.
        std::exception_ptr writer_failure;
        std::jthread writer([&] {
          try {
            sum.WriteVector(out);
          } catch (...) {
            writer_failure = std::current_exception();
          }
        });
        make_stemmed_copy();
        writer.join();
        if (writer_failure) std::rethrow_exception(writer_failure);
        half->stemmed.WriteVector(out);
        return static_cast<bool>(out);
      },
      Durability::kSynced);
  // The stemmed copy serves research even when the file could not be made.
  if (!stemmed_made) make_stemmed_copy();
  return written ? 0 : -1;
}

// A thread of its own indexes the documents (reading, tokenizing against the
// dictionary, building the vectors) while this one writes their index files
// and adds them to the sum, the costs of processing in about equal parts.
// Only the indexing thread touches the environment's dictionary and stems,
// and the vectors are added in table order, so the sum is the one a single
// thread makes, bit for bit.
std::vector<bool> DocumentStore::IndexAndSum(const LibraryHalf& half,
                                             const std::vector<size_t>& pending, TermVector* sum) {
  struct Indexed {
    size_t k = 0;  // position in `pending`
    TermVector plain;
    TermVector stemmed;
  };
  std::vector<bool> written(pending.size(), false);
  BoundedQueue<Indexed> queue(kQueuedVectors);
  const size_t n = half.table.size();
  // What the indexer throws (memory running out) is thrown again here, as a
  // single thread would have thrown it.
  std::exception_ptr indexer_failure;
  std::thread indexer([&] {
    try {
      for (size_t k = 0; k < pending.size(); ++k) {
        const size_t i = pending[k];
        environment_->progress().SetStatus("Processing " + std::to_string(i + 1) + " of " +
                                           std::to_string(n));
        Indexed document;
        document.k = k;
        IndexDocumentBody(half.cache_folder + half.table.at(i).id + ".dml", environment_,
                          &document.plain, &document.stemmed);
        if (!queue.Push(std::move(document))) break;
      }
    } catch (...) {
      indexer_failure = std::current_exception();
    }
    queue.Close();
  });
  try {
    Indexed document;
    while (queue.Pop(&document)) {
      const std::string& id = half.table.at(pending[document.k]).id;
      written[document.k] =
          WriteIndexFile(half.index_folder + id + ".idx", document.plain, document.stemmed) == 0;
      sum->Merge(document.plain);
    }
  } catch (...) {
    queue.Close();  // the indexer stops at its next push
    indexer.join();
    throw;
  }
  indexer.join();
  if (indexer_failure) std::rethrow_exception(indexer_failure);
  return written;
}

int DocumentStore::ClearTerms() {
  for (LibraryHalf* half : {&local_, &web_}) {
    half->ReplacePlain(TermVector());
    half->stemmed.Clear();
  }
  return 0;
}

void DocumentStore::CloseStore() {
  ClearTerms();
  local_.table.Clear();
  web_.table.Clear();
}

int DocumentStore::EmptyStore() {
  int result = 0;
  for (const std::string* folder :
       {&local_.cache_folder, &local_.index_folder, &web_.cache_folder, &web_.index_folder}) {
    if (!folder->empty() && RemoveFilesIn(*folder) != 0) result = -1;
  }
  ClearTerms();
  return result;
}

int DocumentStore::EraseStoreFiles() {
  // Without an identifier of its own (never opened, or opened as ".ini")
  // the store folder would be the library root or a folder above it.
  if (ident_.empty() || ident_ == "." || ident_ == "..") return -1;
  ClearTerms();
  // A store opened without a description file has none to remove; any
  // other file that stays would list the library again.
  std::error_code error;
  std::filesystem::remove(description_path_, error);
  const int folder = RemoveFolderTree(StoreFolder());
  return !error && folder == 0 ? 0 : -1;
}

std::string DocumentStore::AddLocalDocument(const std::string& name, const std::string& address,
                                            std::string_view content) {
  const std::string path = local_.cache_folder + name;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return "";
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      std::remove(path.c_str());
      return "";
    }
  }
  CacheTable line;
  line.Add(CacheEntry{name, address, std::to_string(content.size()), 0, 0, 0});
  if (line.AppendFiltered(local_.TablePath(), CacheTable()) != 0) {
    // A file no table line names would never be listed, processed or removed.
    std::remove(path.c_str());
    return "";
  }
  return "file://" + path;
}

const LibraryHalf* DocumentStore::HalfOf(std::string_view id) const {
  if (local_.table.Contains(id)) return &local_;
  if (web_.table.Contains(id)) return &web_;
  return nullptr;
}

bool DocumentStore::DocumentFolder(std::string_view id, std::string* cache_folder) const {
  const LibraryHalf* half = HalfOf(id);
  if (half == nullptr) return false;
  *cache_folder = half->cache_folder;
  return true;
}

int DocumentStore::ReadStoredRecord(std::string_view id, DocumentRecord* record) const {
  const LibraryHalf* half = HalfOf(id);
  if (half == nullptr) return -1;
  ReadDocumentRecord(half->cache_folder + std::string(id) + ".dml", record);
  record->bcuri = "file://" + half->cache_folder;
  return 0;
}

int DocumentStore::LoadDocumentIndex(std::string_view id, TermVector* plain,
                                     TermVector* stemmed) const {
  const LibraryHalf* half = HalfOf(id);
  if (half == nullptr) return -1;
  plain->Clear();
  stemmed->Clear();
  ReadIndexFile(half->index_folder + std::string(id) + ".idx", plain, stemmed);
  return 0;
}

int DocumentStore::LoadDocumentPairs(std::string_view id, bool stemmed, std::string* buffer,
                                     std::vector<TermPair>* pairs) const {
  const LibraryHalf* half = HalfOf(id);
  if (half == nullptr) return -1;
  pairs->clear();
  if (!ReadWholeFile(half->index_folder + std::string(id) + ".idx", buffer)) return 0;
  std::string_view bytes = *buffer;
  if (stemmed) TermVector::ReadPairs(&bytes, nullptr);
  TermVector::ReadPairs(&bytes, pairs);
  return 0;
}

}  // namespace qora
