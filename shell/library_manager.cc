#include "shell/library_manager.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace qora {
namespace {

constexpr char kNoneChecked[] = "Please check mark the libraries first";
constexpr char kNoName[] = "Please enter a library name";
constexpr char kTooManyLibraries[] =
    "Maximum number of allowed libraries reached. You cannot create any more new libraries "
    "unless you erase an existing one.";

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

std::string TooManyMerged() {
  char text[128];
  std::snprintf(text, sizeof text, "ERROR: Cannot have more than %d documents in the merged library.",
                kMaxMergedDocuments);
  std::string message = text;
  message += " Please retry merging smaller libraries.";
  return message;
}

// Runs `command` on each of `libraries` in turn; the failures, joined.
std::string ForEach(const std::vector<std::string>& libraries,
                    std::string (*command)(const std::string&)) {
  std::string failures;
  for (const std::string& library : libraries) {
    const std::string failure = command(library);
    if (failure.empty()) continue;
    if (!failures.empty()) failures += " ";
    failures += failure;
  }
  return failures;
}

}  // namespace

std::string KilobyteText(long long bytes) {
  const std::string text = std::to_string(bytes);
  return text.size() <= 3 ? "0" : text.substr(0, text.size() - 3);
}

LibraryManager::LibraryManager(EventQueue* events, OperationWorker* worker,
                               ResearchSession* research)
    : events_(events), worker_(worker), research_(research) {}

bool LibraryManager::List(std::vector<ManagedLibrary>* libraries) {
  libraries->clear();
  std::string failure;
  std::vector<LibraryInfo> listed;
  if (!worker_->RunIfIdle([&] { failure = ListLibraries(&listed); }, /*tell_busy=*/false)) {
    return false;
  }
  if (!failure.empty()) {
    events_->Push(MessageEvent(kError, failure));
    return false;
  }
  std::set<std::string> open;
  for (const auto& [ident, handle] : research_->SelectedStores()) open.insert(ident);
  for (LibraryInfo& library : listed) {
    const bool held = open.count(library.ident) > 0;
    libraries->push_back({std::move(library), held});
  }
  return true;
}

bool LibraryManager::Run(const std::string& title, int completion,
                         std::function<std::string()> command) {
  return worker_->Start(title, [this, completion, command = std::move(command)] {
    const std::string failure = command();
    research_->LibrariesChanged();
    if (!failure.empty()) events_->Push(MessageEvent(kError, failure));
    return completion;
  });
}

bool LibraryManager::Checked(const std::vector<std::string>& libraries) {
  if (!libraries.empty()) return true;
  events_->Push(MessageEvent(kWarning, kNoneChecked));
  return false;
}

bool LibraryManager::StartNew(const std::string& name) {
  if (Blank(name)) {
    events_->Push(MessageEvent(kWarning, kNoName));
    return false;
  }
  std::vector<LibraryInfo> listed;
  if (!worker_->RunIfIdle([&] { ListLibraries(&listed); })) return false;
  if (static_cast<int>(listed.size()) >= kMaxLibraries) {
    events_->Push(MessageEvent(kWarning, kTooManyLibraries));
    return false;
  }
  return Run("Making a Library", kLibraryCommandDone, [name] {
    std::string ident;
    return NewLibrary(name, &ident);
  });
}

bool LibraryManager::StartMerge(const std::string& name, const std::vector<std::string>& libraries) {
  const std::set<std::string> distinct(libraries.begin(), libraries.end());
  if (distinct.size() < 2) {
    events_->Push(MessageEvent(kWarning, kNoneChecked));
    return false;
  }
  if (Blank(name)) {
    events_->Push(MessageEvent(kWarning, kNoName));
    return false;
  }
  std::vector<LibraryInfo> listed;
  if (!worker_->RunIfIdle([&] { ListLibraries(&listed); })) return false;
  int documents = 0;
  for (const LibraryInfo& library : listed) {
    if (distinct.count(library.ident) > 0) documents += library.documents;
  }
  if (documents > kMaxMergedDocuments) {
    events_->Push(MessageEvent(kError, TooManyMerged()));
    return false;
  }
  return Run("Merging Libraries", kMergeDone, [name, libraries] {
    std::string ident;
    return MergeLibraries(name, libraries, &ident);
  });
}

bool LibraryManager::StartEmpty(const std::vector<std::string>& libraries) {
  if (!Checked(libraries)) return false;
  return Run("Emptying Libraries", kLibraryCommandDone,
             [libraries] { return ForEach(libraries, EmptyLibrary); });
}

bool LibraryManager::StartErase(const std::vector<std::string>& libraries) {
  if (!Checked(libraries)) return false;
  return Run("Erasing Libraries", kLibraryCommandDone,
             [libraries] { return ForEach(libraries, EraseLibrary); });
}

bool LibraryManager::StartRepair() {
  return worker_->Start("Repairing Libraries", [this] {
    const std::string failure = RepairLibraries();
    research_->LibrariesChanged();
    events_->Push(failure.empty() ? MessageEvent(kInfo, "Repair done.")
                                  : MessageEvent(kError, failure));
    return kRepairDone;
  });
}

}  // namespace qora
