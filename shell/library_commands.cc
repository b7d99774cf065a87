#include "shell/library_commands.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "qora/engine.h"
#include "shell/engine_string.h"
#include "util/result_text_reader.h"

namespace qora {
namespace {

std::string TempStoreIdent() {
  char* name = nullptr;
  int handle = -1, result = -1;
  EngineGetTempStore(&name, &handle, &result);
  return TakeEngineString(name);
}

// Every store of the data folder as listed by the engine, temporary store
// included; the engine's text goes to `text` when given.
std::vector<DocumentRecord> AllStores(std::string* text = nullptr) {
  char* listed = nullptr;
  int result = -1;
  EngineListStores(&listed, &result);
  const std::string copy = TakeEngineString(listed);
  std::vector<DocumentRecord> stores;
  ReadResultText(copy, &stores);
  if (text != nullptr) *text = copy;
  return stores;
}

// The handle of the library `ident`, opening it when this run has not yet.
int HandleOf(const std::string& ident) {
  int handle = -1;
  EngineFindStore(ident.c_str(), &handle);
  if (handle == -1) EngineOpenStore(ident.c_str(), &handle);
  return handle;
}

std::string Formatted(const char* format, const std::string& value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value.c_str());
  return text;
}

std::string Formatted(const char* format, int value) {
  char text[512];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string IndexLibrary(int handle, bool full) {
  int processed = -1;
  EngineProcessStore(handle, full ? 1 : 0, &processed);
  int released = -1;
  EngineReleaseStoreStatistics(handle, &released);
  if (processed == 0) return "";
  return "The index of the library could not be written; its documents are kept and are "
         "indexed again next time.";
}

std::string ListLibraries(std::vector<LibraryInfo>* libraries, std::string* text) {
  libraries->clear();
  const std::string temp = TempStoreIdent();
  for (const DocumentRecord& store : AllStores(text)) {
    if (store.docid == temp) continue;
    LibraryInfo info;
    info.ident = store.docid;
    info.name = store.header;
    info.documents = store.ord;
    info.bytes = std::atoll(store.size.c_str());
    info.date = store.date_cr;
    HandleOf(info.ident);
    libraries->push_back(std::move(info));
  }
  return "";
}

std::string ResolveLibrary(const std::string& name_or_ident, std::string* ident) {
  const std::vector<DocumentRecord> stores = AllStores();
  for (const DocumentRecord& store : stores) {
    if (store.docid == name_or_ident) {
      *ident = store.docid;
      return "";
    }
  }
  int matches = 0;
  for (const DocumentRecord& store : stores) {
    if (store.header == name_or_ident) {
      *ident = store.docid;
      ++matches;
    }
  }
  if (matches == 1) return "";
  if (matches > 1) {
    return "More than one library is named " + name_or_ident + ". Please name it by identifier.";
  }
  return "There is no library " + name_or_ident + ".";
}

std::string OpenLibrary(const std::string& library, int* handle) {
  std::string ident;
  std::string failure = ResolveLibrary(library, &ident);
  if (!failure.empty()) return failure;
  *handle = HandleOf(ident);
  return *handle < 0 ? "The library " + library + " cannot be opened." : "";
}

std::string NewLibrary(const std::string& name, std::string* ident) {
  std::vector<LibraryInfo> libraries;
  ListLibraries(&libraries);
  if (static_cast<int>(libraries.size()) >= kMaxLibraries) {
    return "Maximum number of allowed libraries reached. You cannot create any more new "
           "libraries unless you erase an existing one.";
  }
  char* actual = nullptr;
  int handle = -1;
  EngineCreateStore(name.c_str(), &actual, &handle);
  *ident = TakeEngineString(actual);
  return handle < 0 ? "The library " + name + " could not be made." : "";
}

std::string MergeLibraries(const std::string& name, const std::vector<std::string>& libraries,
                           std::string* ident) {
  std::vector<LibraryInfo> listed;
  ListLibraries(&listed);
  std::vector<const LibraryInfo*> chosen;
  for (const std::string& library : libraries) {
    std::string found;
    std::string failure = ResolveLibrary(library, &found);
    if (!failure.empty()) return failure;
    auto info = std::find_if(listed.begin(), listed.end(),
                             [&found](const LibraryInfo& l) { return l.ident == found; });
    if (info == listed.end()) return "The temporary library cannot be merged.";
    if (std::find(chosen.begin(), chosen.end(), &*info) == chosen.end()) chosen.push_back(&*info);
  }
  if (chosen.size() < 2) return "Please check mark the libraries first";
  int documents = 0;
  for (const LibraryInfo* info : chosen) documents += info->documents;
  if (documents > kMaxMergedDocuments) {
    return Formatted("ERROR: Cannot have more than %d documents in the merged library.",
                     kMaxMergedDocuments) +
           " Please retry merging smaller libraries.";
  }
  std::string failure = NewLibrary(name, ident);
  if (!failure.empty()) return failure;
  const int target = HandleOf(*ident);
  std::string skipped;
  for (const LibraryInfo* info : chosen) {
    int source = -1;
    EngineFindStore(info->ident.c_str(), &source);
    if (source == -1) {
      skipped += Formatted("Cannot do this on open library. %s is currently open.", info->name);
      continue;
    }
    int result = -1;
    EngineMergeStores(target, source, &result);
    if (result != 0) {
      // Erasing a library whose merge failed would lose its documents.
      skipped += Formatted("%s could not be merged and is kept.", info->name);
      continue;
    }
    EngineEraseStore(source, &result);
  }
  return skipped + IndexLibrary(target, /*full=*/false);
}

std::string EmptyLibrary(const std::string& library) {
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  int result = -1;
  EngineEmptyStore(handle, &result);
  return result == 0 ? "" : "The library " + library + " could not be emptied.";
}

std::string EraseLibrary(const std::string& library) {
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  int result = -1;
  EngineEraseStore(handle, &result);
  if (result == 0) return "";
  int temp = -1;
  char* name = nullptr;
  EngineGetTempStore(&name, &temp, &result);
  TakeEngineString(name);
  return handle == temp ? "The temporary library cannot be erased."
                        : "The library " + library + " could not be erased.";
}

std::string ProcessLibrary(const std::string& library, bool full) {
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  return IndexLibrary(handle, full);
}

std::string RepairLibraries() {
  std::vector<LibraryInfo> libraries;
  ListLibraries(&libraries);  // opens every library but the temporary store
  int result = -1;
  EngineReloadWordLists(&result);
  std::string failures;
  for (const LibraryInfo& library : libraries) {
    if (!IndexLibrary(HandleOf(library.ident), true).empty()) {
      failures += "The index of " + library.name + " could not be written. ";
    }
  }
  return failures;
}

std::string ListLibraryDocuments(const std::string& library, int start, int count,
                                 std::vector<DocumentRecord>* documents, std::string* text) {
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  char* listed = nullptr;
  int result = -1;
  EngineListStoreDocuments(handle, start, count, &listed, &result);
  *text = TakeEngineString(listed);
  documents->clear();
  ReadResultText(*text, documents);
  return "";
}

int LibraryDocumentCount(int handle) {
  char* listed = nullptr;
  int result = -1;
  EngineListStoreDocuments(handle, 0, -1, &listed, &result);
  std::vector<DocumentRecord> documents;
  ReadResultText(TakeEngineString(listed), &documents);
  return static_cast<int>(documents.size());
}

std::string EraseDocuments(const std::string& library, const std::vector<std::string>& ids) {
  int handle = -1;
  std::string failure = OpenLibrary(library, &handle);
  if (!failure.empty()) return failure;
  std::vector<DocumentRecord> documents;
  std::string text;
  ListLibraryDocuments(library, 0, -1, &documents, &text);
  std::set<std::string> present;
  for (const DocumentRecord& document : documents) present.insert(document.docid);
  std::string list;
  for (const std::string& id : ids) {
    if (present.count(id) == 0) return "There is no document " + id + " in " + library + ".";
    list += std::to_string(handle) + "," + id + ";";
  }
  int result = -1;
  EngineEraseDocuments(list.c_str(), &result);
  if (result != 0) return "The documents could not be erased.";
  // The master index still counts the documents taken out: rebuild it.
  return IndexLibrary(handle, /*full=*/true);
}

}  // namespace qora
