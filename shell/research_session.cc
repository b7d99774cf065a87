#include "shell/research_session.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>

#include "util/result_text_reader.h"

namespace qora {
namespace {

constexpr char kNoLibraries[] = "Please check mark the libraries first";
constexpr char kNoDocuments[] = "Please checkmark documents first";
constexpr char kMultiLibrary[] = "[Multi-Library]";
constexpr char kCombinedSummaryFile[] = "csummary.dml";
constexpr char kNoFurtherSet[] = "There is no further set of this list.";

struct KindTexts {
  const char* busy_title;    // the research dialog's title
  const char* window_title;  // the window's title (keywords follow it)
  int completion;
};

KindTexts TextsOf(ResearchKind kind) {
  switch (kind) {
    case ResearchKind::kKeywords:
      return {"Research Libraries", "Library Search '", kKeywordResearchDone};
    case ResearchKind::kPassage:
      return {"Research Libraries using Passage", "Library Search using Passage",
              kPassageResearchDone};
    case ResearchKind::kConcepts:
      return {"Research Libraries using Selected Concepts", "Library Search using Concepts",
              kConceptResearchDone};
    case ResearchKind::kDocuments:
      break;
  }
  return {"Find Similar Documents in Libraries", "Library Search using Documents",
          kDocumentResearchDone};
}

size_t IndexOf(ResearchKind kind) { return static_cast<size_t>(kind); }

std::string StripFileScheme(const std::string& path) {
  const size_t at = path.find("file://");
  return at == std::string::npos ? path : path.substr(at + 7);
}

std::string Formatted(const char* format, int value) {
  char text[256];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

std::string DocumentListOf(const std::vector<DocumentRef>& documents) {
  std::string list;
  for (const DocumentRef& document : documents) {
    list += std::to_string(document.store) + "," + document.docid + ";";
  }
  return list;
}

std::string MapFileName(long long clock) {
  constexpr char kDigits[] = "0123456789abcdefghijklmnopqrst";
  unsigned long long value = clock < 0 ? 0 : static_cast<unsigned long long>(clock);
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value % 30]);
    value /= 30;
  } while (value > 0);
  return "map" + digits + ".dml";
}

ResearchSession::ResearchSession(EventQueue* events, SharedSettings* settings,
                                 OperationWorker* worker, EngineCalls* engine)
    : events_(events), settings_(settings), worker_(worker), engine_(engine) {}

ResearchSession::~ResearchSession() { worker_->Wait(); }

// ---- State ----

void ResearchSession::SetWorkspace(int workspace) {
  std::lock_guard<std::mutex> lock(mutex_);
  workspace_ = workspace;
  selection_changed_ = true;  // a new workspace holds none of our stores
  opened_.clear();
}

int ResearchSession::workspace() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return workspace_;
}

void ResearchSession::LibrariesChanged() {
  std::lock_guard<std::mutex> lock(mutex_);
  selection_changed_ = true;
}

std::vector<std::string> ResearchSession::CheckedLibraries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return checked_;
}

bool ResearchSession::SelectionChanged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selection_changed_;
}

std::vector<std::pair<std::string, int>> ResearchSession::SelectedStores() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opened_;
}

void ResearchSession::SetCurrentDocument(const DocumentRef& document) {
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = document;
}

DocumentRef ResearchSession::CurrentDocument() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

void ResearchSession::SetSelectedDocuments(const std::vector<DocumentRef>& documents) {
  std::lock_guard<std::mutex> lock(mutex_);
  selected_ = documents;
}

std::vector<DocumentRef> ResearchSession::SelectedDocuments() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selected_;
}

void ResearchSession::SetDisplayMode(DisplayMode mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
}

DisplayMode ResearchSession::display_mode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_;
}

int ResearchSession::CurrentQuery() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return query_;
}

std::string ResearchSession::ResearchText(ResearchKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_[IndexOf(kind)];
}

std::array<std::string, 3> ResearchSession::ConceptMaps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return maps_;
}

// ---- Starting the flows ----

bool ResearchSession::StartResearch(ResearchKind kind, const std::string& text,
                                    const std::vector<std::string>& libraries) {
  if (worker_->Busy()) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  if (libraries.empty()) {
    events_->Push(MessageEvent(kWarning, kNoLibraries));
    return false;
  }
  if (libraries.size() > kMaxResearchedLibraries) {
    events_->Push(MessageEvent(
        kWarning, Formatted("Cannot select more than %d libraries at a time. Please uncheck "
                            "some libraries.",
                            static_cast<int>(kMaxResearchedLibraries))));
    return false;
  }
  return worker_->Start(TextsOf(kind).busy_title, [this, kind, text, libraries] {
    TakeResearch(kind, text, libraries);
    return RunResearch(kind);
  });
}

bool ResearchSession::StartBiasedSummary(ResearchKind kind, const std::string& argument) {
  if (kind == ResearchKind::kDocuments || argument.empty() || workspace() <= 0) return false;
  return worker_->Start("Biased Summary",
                        [this, kind, argument] { return RunBiasedSummary(kind, argument); });
}

bool ResearchSession::StartAnalysis() {
  if (SelectedDocuments().empty()) return false;
  return worker_->Start("Analyzing Documents", [this] {
    SetDisplayMode(DisplayMode::kSeveral);
    return RunAnalysis();
  });
}

bool ResearchSession::StartPreview(const DocumentRef& document) {
  return StartPreviewOf(document, false);
}

bool ResearchSession::StartPreviewOf(const DocumentRef& document, bool analysis_view) {
  return worker_->Start("Preview", [this, document, analysis_view] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      current_ = document;
      mode_ = DisplayMode::kSingle;
    }
    if (analysis_view) SetViewKind(kAnalysisViewKind);
    return RunPreview();
  });
}

int ResearchSession::PreviewLastDocumentOf(const std::string& library, int otherwise) {
  const int store = LibraryStore(library);
  if (store < 0) return otherwise;
  const int workspace_handle = workspace();
  const int list = engine_->ListDocuments(store, -1, 1, workspace_handle);
  std::vector<DocumentRecord> last;
  ReadResultText(engine_->WriteResultList(list, workspace_handle), &last);
  if (last.empty()) return otherwise;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = {store, last.front().docid};
    mode_ = DisplayMode::kSingle;
  }
  return RunPreview();
}

bool ResearchSession::Analyze(const std::vector<DocumentRef>& checked) {
  if (checked.empty()) {
    events_->Push(MessageEvent(kWarning, kNoDocuments));
    return false;
  }
  if (checked.size() > kMaxAnalyzedDocuments) {
    events_->Push(MessageEvent(
        kWarning, Formatted("Cannot analyze more than %d documents at a time. Please uncheck "
                            "some documents.",
                            static_cast<int>(kMaxAnalyzedDocuments))));
    return false;
  }
  if (checked.size() == 1) return StartPreviewOf(checked[0], true);
  return worker_->Start("Analyzing Documents", [this, checked] {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      selected_ = checked;
      mode_ = DisplayMode::kSeveral;
    }
    SetViewKind(kAnalysisViewKind);
    return RunAnalysis();
  });
}

bool ResearchSession::ShowRememberedMap(int level) {
  if (level != 1 && level != 2) return false;
  std::string path;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    path = maps_[static_cast<size_t>(level)];
  }
  if (path.empty()) return false;
  events_->Push(PageEvent("map", path));
  return true;
}

int ResearchSession::LibraryStore(const std::string& library) {
  std::vector<DocumentRecord> stores;
  ReadResultText(engine_->ListStores(), &stores);
  const bool exists = std::any_of(stores.begin(), stores.end(), [&](const DocumentRecord& store) {
    return store.docid == library;
  });
  if (!exists) {
    events_->Push(MessageEvent(kError, "There is no library " + library + "."));
    return -1;
  }
  int store = engine_->FindStore(library);
  if (store < 0) store = engine_->OpenStore(library);
  if (store < 0) {
    events_->Push(MessageEvent(kError, "The library " + library + " cannot be opened."));
  }
  return store;
}

bool ResearchSession::ListLibrary(const std::string& library, int start, int count) {
  bool listed = false;
  worker_->RunIfIdle([&] {
    const int store = LibraryStore(library);
    if (store < 0) return;
    PushList(engine_->ListStoreDocuments(store, start, count), store);
    std::lock_guard<std::mutex> lock(mutex_);
    listing_ = {library, -1, std::max(0, start)};
    listed = true;
  });
  return listed;
}

bool ResearchSession::ShowNextSet(bool forward) {
  const int count = std::max(1, settings_->Read(settings::kDocFetchCount));
  bool shown = false;
  worker_->RunIfIdle([&] {
    Listing listing;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      listing = listing_;
    }
    const bool listed = !listing.library.empty() || listing.query > 0;
    const int start = forward ? listing.start + count : std::max(0, listing.start - count);
    if (listed && (forward || listing.start > 0)) {
      if (!listing.library.empty()) {
        const int store = LibraryStore(listing.library);
        if (store < 0) return;  // the reason is told
        const std::string text = engine_->ListStoreDocuments(store, start, count);
        std::vector<DocumentRecord> records;
        ReadResultText(text, &records);
        // Past its end a store lists its last document: a set starts where
        // asked (its first rank is the position + 1) or there is none.
        shown = !records.empty() && static_cast<int>(records.front().rank) == start + 1 &&
                PushList(text, store);
      } else {
        // A ranking has no starting position: the documents up to the end
        // of the set are ranked and those before it left out.
        const int list = engine_->RankDocuments(listing.query, start + count, workspace());
        shown = PushList(engine_->WriteResultList(list, workspace()), 0, static_cast<size_t>(start));
      }
    }
    if (!shown) {
      events_->Push(MessageEvent(kInfo, kNoFurtherSet));
      return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    listing_.start = start;
  });
  return shown;
}

// ---- Flow A ----

void ResearchSession::TakeResearch(ResearchKind kind, const std::string& text,
                                   const std::vector<std::string>& libraries) {
  std::string words = text;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (libraries != checked_) {
      checked_ = libraries;
      selection_changed_ = true;
    }
    if (kind == ResearchKind::kDocuments) words = DocumentListOf(selected_);
    texts_[IndexOf(kind)] = words;
  }
  if (kind == ResearchKind::kKeywords) {
    settings_->Write(settings::kLastKeywords, words);
    settings_->Write(settings::kSearchWords, words);
    events_->Push(WordBarEvent(words));
    events_->Push(TitleEvent(std::string(TextsOf(kind).window_title) + words + "'"));
    return;
  }
  if (kind == ResearchKind::kPassage) settings_->Write(settings::kLastPassage, words);
  events_->Push(TitleEvent(TextsOf(kind).window_title));
}

// Deselects the stores selected before, opens and selects the check-marked
// libraries with their term statistics, and prepares the candidates.
void ResearchSession::SelectLibraries(int workspace) {
  std::vector<std::pair<std::string, int>> previous;
  std::vector<std::string> checked;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous.swap(opened_);
    checked = checked_;
  }
  for (const auto& [ident, handle] : previous) engine_->RemoveStoreFromWorkspace(handle, workspace);
  std::map<std::string, int> handles;
  for (const std::string& ident : checked) {
    const int handle = engine_->OpenStore(ident);
    if (handle > 0) handles[ident] = handle;
  }
  std::vector<DocumentRecord> stores;
  ReadResultText(engine_->ListStores(), &stores);
  for (const DocumentRecord& store : stores) {
    const auto found = handles.find(store.docid);
    if (found == handles.end()) continue;
    engine_->LoadStoreStatistics(found->second);
    engine_->AddStoreToWorkspace(found->second, workspace);
  }
  engine_->PrepareRanking(workspace);
  for (const DocumentRecord& store : stores) {
    const auto found = handles.find(store.docid);
    if (found != handles.end()) engine_->ReleaseStoreStatistics(found->second);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  opened_.assign(handles.begin(), handles.end());
  selection_changed_ = false;
}

int ResearchSession::MakeQuery(ResearchKind kind, const std::string& text, int workspace) {
  const int query = engine_->NewQuery(workspace);
  switch (kind) {
    case ResearchKind::kKeywords:
      engine_->SetQueryKeywords(query, text, workspace);
      break;
    case ResearchKind::kPassage:
      engine_->SetQueryPassage(query, text, workspace);
      break;
    case ResearchKind::kConcepts:
      engine_->SetQueryConcepts(query, text, workspace);
      break;
    case ResearchKind::kDocuments:
      engine_->SetQueryDocuments(query, text, workspace);
      break;
  }
  engine_->PrepareQuery(query, workspace);
  return query;
}

int ResearchSession::RunResearch(ResearchKind kind) {
  if (SelectionChanged()) SelectLibraries(workspace());
  const int workspace_handle = workspace();
  if (workspace_handle <= 0) return kNoWorkspace;
  const std::string text = ResearchText(kind);
  if (text.empty()) return kNothingToResearch;
  const int query = MakeQuery(kind, text, workspace_handle);
  const int list =
      engine_->RankDocuments(query, settings_->Read(settings::kDocFetchCount), workspace_handle);
  PushList(engine_->WriteResultList(list, workspace_handle));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    query_ = query;
    listing_ = {"", query, 0};
  }
  return TextsOf(kind).completion;
}

// The document list event of result-list `text`, titled with the name of
// the records' library, or "[Multi-Library]" when they come from several;
// an empty list is titled with the name of `store` when one is given.
bool ResearchSession::PushList(const std::string& text, int store, size_t skip) {
  std::vector<DocumentRecord> records;
  ReadResultText(text, &records);
  if (skip > 0) {
    if (records.size() <= skip) return false;
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(skip));
  }
  std::map<int, std::string> names;
  std::string title;
  nlohmann::json rows = nlohmann::json::array();
  for (size_t i = 0; i < records.size(); ++i) {
    const DocumentRecord& record = records[i];
    auto found = names.find(record.parent_handle);
    if (found == names.end()) {
      found =
          names.emplace(record.parent_handle, engine_->GetObjectName(record.parent_handle)).first;
    }
    if (i == 0) {
      title = found->second;
    } else if (found->second != title) {
      title = kMultiLibrary;
    }
    rows.push_back(ListRecord(record, found->second));
  }
  if (records.empty() && store > 0) title = engine_->GetObjectName(store);
  events_->Push(ListEvent(title, false, std::move(rows)));
  return true;
}

// ---- Flows B, C and D ----

void ResearchSession::SetViewKind(int kind) {
  settings_->Write(display_mode() == DisplayMode::kSingle ? settings::kPreviewPaneSingleDocType
                                                          : settings::kPreviewPaneMultipleDocType,
                   kind);
}

std::string ResearchSession::ListOfDisplay() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_ == DisplayMode::kSingle ? DocumentListOf({current_}) : DocumentListOf(selected_);
}

int ResearchSession::RunBiasedSummary(ResearchKind kind, const std::string& argument) {
  SetViewKind(kAnalysisViewKind);
  const int workspace_handle = workspace();
  const int query = MakeQuery(kind, argument, workspace_handle);
  if ((kind == ResearchKind::kKeywords || kind == ResearchKind::kPassage) &&
      settings_->Read(settings::kExpandQuery) == 1) {
    engine_->ExpandQuery(query, workspace_handle);
  }
  if (display_mode() == DisplayMode::kSingle) {
    SingleSummary(query, 100, workspace_handle);
  } else {
    CombinedSummary(query, ListOfDisplay(), workspace_handle);
  }
  return kBiasedSummaryDone;
}

int ResearchSession::RunAnalysis() {
  const int workspace_handle = workspace();
  const std::string documents = DocumentListOf(SelectedDocuments());
  const int query = MakeQuery(ResearchKind::kDocuments, documents, workspace_handle);
  CombinedSummary(query, documents, workspace_handle);
  MapConcepts(documents, workspace_handle);
  return kAnalysisDone;
}

int ResearchSession::RunPreview() {
  const int workspace_handle = workspace();
  SingleSummary(CurrentQuery(), settings_->Read(settings::kBiasPercent), workspace_handle);
  MapConcepts(DocumentListOf({CurrentDocument()}), workspace_handle);
  return kPreviewDone;
}

// The summary of the current document; its pages are shown when the engine
// made exactly one weighted copy.
void ResearchSession::SingleSummary(int query, int bias_percent, int workspace) {
  const int list =
      engine_->Summarize(query, DocumentListOf({CurrentDocument()}), workspace, bias_percent);
  std::vector<DocumentRecord> copies;
  ReadResultText(engine_->WriteResultList(list, workspace), &copies);
  if (copies.size() == 1) ShowSummary("sumry", copies[0].bcuri);
}

void ResearchSession::CombinedSummary(int query, const std::string& documents, int workspace) {
  const int list = engine_->Summarize(query, documents, workspace, 100);
  std::string path;
  engine_->WriteMap(kCombinedSummaryFile, list, workspace, &path);
  ShowSummary("csum", path);
}

void ResearchSession::ShowSummary(const std::string& kind, const std::string& path) {
  const std::string dml = StripFileScheme(path);
  if (!dml.empty()) events_->Push(PageEvent(kind, dml));
}

// The concept map of `documents`, shown and remembered, or the current map
// forgotten when none can be made.
void ResearchSession::MapConcepts(const std::string& documents, int workspace) {
  const int query = MakeQuery(ResearchKind::kDocuments, documents, workspace);
  const std::string request =
      "&wkspc_h=" + std::to_string(workspace) + "&qry_h=" + std::to_string(query) +
      "&number1=" + std::to_string(settings_->Read(settings::kMaxConcepts)) +
      "&number2=" + std::to_string(settings_->Read(settings::kMaxPhrases));
  const int list = engine_->ConceptMap(request);
  if (list == -1) {
    ShowMap("");
    return;
  }
  std::string path;
  engine_->WriteMap(MapFileName(static_cast<long long>(std::clock())), list, workspace, &path);
  ShowMap(path);
}

void ResearchSession::ShowMap(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (path.empty()) {
      maps_[0].clear();
      return;
    }
    maps_[2] = maps_[1];
    maps_[1] = maps_[0];
    maps_[0] = path;
  }
  events_->Push(PageEvent("map", path));
}

}  // namespace qora
