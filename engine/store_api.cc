// Entry points of the document stores.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "engine/api_support.h"
#include "engine/document_list.h"
#include "engine/store_listing.h"
#include "qora/engine.h"
#include "store/dml_writer.h"
#include "store/folder_ops.h"
#include "store/result_list.h"

using qora::DocumentStore;
using qora::Engine;
using qora::EngineOr;
using qora::HandOut;
using qora::SetResult;
using qora::Text;

namespace qora {
namespace {

// The creation time of `path` where the file system records one, else its
// last modification time.
std::time_t CreationTime(const std::string& path) {
  struct statx info;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) == 0) {
    if ((info.stx_mask & STATX_BTIME) != 0) return static_cast<std::time_t>(info.stx_btime.tv_sec);
    return static_cast<std::time_t>(info.stx_mtime.tv_sec);
  }
  return 0;
}

// One record of the store list for the description file `file_name`.
DocumentRecord DescribeStore(const std::string& root, const std::string& file_name,
                             const DocumentStore& store) {
  DocumentRecord record;
  record.docid = file_name.substr(0, file_name.rfind('.'));
  record.uri = file_name;
  record.date_cr = FormatDate(CreationTime(root + file_name));
  record.header = store.library_name();
  const FileTally tally = TallyFiles(root + record.docid, ".dml");
  record.ord = static_cast<int32_t>(tally.matching);
  record.size = std::to_string(tally.bytes);
  return record;
}

// Lists every store of the store folder root into `list`; false when the
// folder cannot be read.
bool ListStores(EngineEnvironment* environment, ResultList* list) {
  namespace fs = std::filesystem;
  const std::string root = environment->StoreFolderRoot();
  std::error_code error;
  fs::directory_iterator entries(root, error);
  if (error) return false;
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file(error) && name.size() > 4 && name.ends_with(".ini")) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());  // a stable order for the user
  for (const std::string& name : names) {
    DocumentStore store(environment);
    if (store.OpenStore(name) == 0) list->Append(DescribeStore(root, name, store));
  }
  return true;
}

}  // namespace
}  // namespace qora

extern "C" {

void EngineFindStore(const char* name, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->FindStoreName(Text(name)));
  });
}

void EngineOpenStore(const char* name, int* result) {
  qora::Guarded(result, qora::kFailedHandle, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->OpenStore(Text(name)));
  });
}

void EngineCreateStore(const char* name, char** actual_name, int* result) {
  qora::Guarded(result, qora::kFailedHandle, {actual_name}, [&] {
    Engine* engine = EngineOr(result, actual_name);
    if (engine == nullptr) return;
    std::string ident;
    const int handle = engine->CreateStore(Text(name), &ident);
    HandOut(ident, actual_name);
    SetResult(result, handle);
  });
}

void EngineCloseStore(int store, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    SetResult(result, engine->CloseStore(store) ? 0 : 1);
  });
}

void EngineEmptyStore(int store, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* found = engine->FindStore(store);
    SetResult(result, found != nullptr && found->EmptyStore() == 0 ? 0 : 1);
  });
}

void EngineEraseStore(int store, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* found = engine->FindStore(store);
    if (found == nullptr || store == engine->temp_store_handle() || found->EraseStoreFiles() != 0) {
      SetResult(result, 1);
      return;
    }
    engine->CloseStore(store);
    SetResult(result, 0);
  });
}

void EngineMergeStores(int target, int source, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    engine->environment().EnvironmentSetStatus("Merging");
    DocumentStore* into = engine->FindStore(target);
    DocumentStore* from = engine->FindStore(source);
    const bool merge = into != nullptr && from != nullptr && into != from;
    SetResult(result, merge && into->MergeStore(from) != 0 ? 1 : 0);
  });
}

void EngineListStores(char** out, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    qora::ResultList list;
    const bool listed = qora::ListStores(&engine->environment(), &list);
    HandOut(listed ? qora::WriteResultText(list) : std::string(), out);
    SetResult(result, listed && list.count() > 0 ? 0 : 1);
  });
}

void EngineGetTempStore(char** name, int* handle, int* result) {
  qora::Guarded(result, qora::kFailed, {name}, [&] {
    Engine* engine = EngineOr(result, name);
    if (engine == nullptr) {
      if (handle != nullptr) *handle = -1;
      return;
    }
    const DocumentStore* temp = engine->temp_store();
    HandOut(temp == nullptr ? std::string() : engine->environment().temp_store_name(), name);
    if (handle != nullptr) *handle = engine->temp_store_handle();
    SetResult(result, 0);
  });
}

void EngineEraseDocuments(const char* document_list, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* temp = engine->temp_store();
    if (temp == nullptr) {
      SetResult(result, 1);
      return;
    }
    // A document its store does not hold is skipped like an unknown handle;
    // one that is held but cannot be moved fails the call, after the others
    // were moved. A document of the temporary store itself leaves its table;
    // its files go when the store is emptied at the end of the run.
    bool failed = false;
    for (const qora::DocumentReference& entry : qora::ParseDocumentList(Text(document_list))) {
      DocumentStore* source = engine->FindStore(entry.store_handle);
      if (source == nullptr || source->HalfOf(entry.document_id) == nullptr) continue;
      if (temp->MoveDocument(source, entry.document_id) != 0) failed = true;
    }
    SetResult(result, failed ? 1 : 0);
  });
}

void EngineProcessStore(int store, int full, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* found = engine->FindStore(store);
    SetResult(result, found != nullptr && found->ProcessDocuments(full != 0) == 0 ? 0 : 1);
  });
}

void EngineLoadStoreStatistics(int store, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* found = engine->FindStore(store);
    if (found != nullptr) found->RefreshIndex();
    SetResult(result, found == nullptr ? 1 : 0);
  });
}

void EngineReleaseStoreStatistics(int store, int* result) {
  qora::Guarded(result, qora::kFailed, [&] {
    Engine* engine = EngineOr(result);
    if (engine == nullptr) return;
    DocumentStore* found = engine->FindStore(store);
    if (found != nullptr) found->ClearTerms();
    SetResult(result, found == nullptr ? 1 : 0);
  });
}

void EngineListStoreDocuments(int store, int start, int count, char** out, int* result) {
  qora::Guarded(result, qora::kFailed, {out}, [&] {
    Engine* engine = EngineOr(result, out);
    if (engine == nullptr) return;
    const DocumentStore* found = engine->FindStore(store);
    qora::ResultList list;
    if (found != nullptr) qora::ListStoreDocuments(*found, store, start, count, &list);
    HandOut(found == nullptr ? std::string() : qora::WriteResultText(list), out);
    SetResult(result, found == nullptr ? 1 : 0);
  });
}

}  // extern "C"
