// The research state of the application and the research flows that run
// on the worker thread: research of the check-marked libraries (keywords, a
// passage, concepts or example documents), biased summaries, the analysis of
// several documents and the preview of the current document. Results go out
// as events: the document list, the result pages to show, window titles and
// the word bar.
//
// Thread-safe: the front's threads call the Start functions and the state
// accessors while a flow runs on the worker. A Start function changes no
// state when it is refused; the state it sets is taken over on the worker
// thread, so a running flow never sees it change.
#ifndef QORA_SHELL_RESEARCH_SESSION_H_
#define QORA_SHELL_RESEARCH_SESSION_H_

#include <array>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "shell/app_events.h"
#include "shell/engine_calls.h"
#include "shell/operation_worker.h"
#include "shell/shared_settings.h"

namespace qora {

// A document as the engine names it: its store's handle and its id.
struct DocumentRef {
  int store = 0;
  std::string docid;
  bool operator==(const DocumentRef&) const = default;
};

// The document list string of `documents`: "store,docid;" per document.
std::string DocumentListOf(const std::vector<DocumentRef>& documents);

// What a research or a biased summary is made of.
enum class ResearchKind { kKeywords, kPassage, kConcepts, kDocuments };

// Whether the previews show the current document or the selected ones.
enum class DisplayMode { kSingle, kSeveral };

// The completion codes of the flows.
inline constexpr int kKeywordResearchDone = 6;
inline constexpr int kPreviewDone = 7;
inline constexpr int kAnalysisDone = 8;
inline constexpr int kDocumentResearchDone = 9;
inline constexpr int kBiasedSummaryDone = 11;
inline constexpr int kPassageResearchDone = 12;
inline constexpr int kConceptResearchDone = 14;
// A research that could not run: no workspace, or nothing to research.
inline constexpr int kNoWorkspace = -1;
inline constexpr int kNothingToResearch = -2;

// The most libraries one research takes.
inline constexpr size_t kMaxResearchedLibraries = 10;
// The most documents the Analyze command takes at once.
inline constexpr size_t kMaxAnalyzedDocuments = 5;
// The view kind the Analyze command and biased summaries show.
inline constexpr int kAnalysisViewKind = 3;

// The name of a concept map file for the processor-time count `clock`:
// "map", the count in base 30 (digits, then "a" to "t"), ".dml". A negative
// count is written as 0.
std::string MapFileName(long long clock);

class ResearchSession {
 public:
  // All four must outlive the session.
  ResearchSession(EventQueue* events, SharedSettings* settings, OperationWorker* worker,
                  EngineCalls* engine);
  // Waits for the running flow, which uses the session, to end.
  ~ResearchSession();
  ResearchSession(const ResearchSession&) = delete;
  ResearchSession& operator=(const ResearchSession&) = delete;

  EventQueue* events() const { return events_; }
  SharedSettings* settings() const { return settings_; }
  OperationWorker* worker() const { return worker_; }

  // The workspace the flows use (opened at start-up; -1 when none).
  void SetWorkspace(int workspace);
  int workspace() const;

  // Tells the session that libraries were changed (documents added or
  // removed, merged, erased, rebuilt): the next research selects and
  // prepares its libraries anew, so their statistics are current.
  void LibrariesChanged();

  // The check-marked libraries, by identifier, and whether they changed
  // since the workspace was last prepared.
  std::vector<std::string> CheckedLibraries() const;
  bool SelectionChanged() const;
  // The libraries the last research selected into the workspace, as
  // (identifier, store handle) pairs.
  std::vector<std::pair<std::string, int>> SelectedStores() const;

  // The document the single-document previews show.
  void SetCurrentDocument(const DocumentRef& document);
  DocumentRef CurrentDocument() const;
  // The documents the several-document analyses use.
  void SetSelectedDocuments(const std::vector<DocumentRef>& documents);
  std::vector<DocumentRef> SelectedDocuments() const;
  void SetDisplayMode(DisplayMode mode);
  DisplayMode display_mode() const;

  // The query of the last research (-1 before the first).
  int CurrentQuery() const;
  // The text the last research of `kind` used.
  std::string ResearchText(ResearchKind kind) const;
  // The remembered concept maps: [0] the current, [1] the previous, [2] the
  // one before it ("" where none).
  std::array<std::string, 3> ConceptMaps() const;

  // Flow A. Researches the `libraries` (identifiers) with `text`; for
  // kDocuments the text is ignored and the selected documents are the
  // query. Refused with a message when busy, with the warning "Please check
  // mark the libraries first" when `libraries` is empty, or with the
  // warning naming 10 when it holds more than 10. Keywords are
  // remembered as the last keywords and as the word bar's words, a passage
  // as the last passage. Pushes the window title, the document list, and the
  // completion code (6, 12, 14 or 9; -1 without a workspace, -2 when the
  // text is empty).
  bool StartResearch(ResearchKind kind, const std::string& text,
                     const std::vector<std::string>& libraries);

  // Flow B. A summary of the current document (single mode) or of the
  // selected documents (several mode) biased fully towards `argument` (not
  // kDocuments). Refused silently without a workspace, for an empty
  // argument or for kDocuments; with a message when busy. Completion 11.
  bool StartBiasedSummary(ResearchKind kind, const std::string& argument);

  // Flow C. The combined summary and the concept map of the selected
  // documents. Refused silently when none is selected. Completion 8.
  bool StartAnalysis();

  // Flow D. The preview of `document`, which becomes the current document
  // (single mode): its summary biased towards the current query by the
  // "biasPercent" setting, and its concept map. Completion 7.
  bool StartPreview(const DocumentRef& document);

  // The Analyze command of the document list on the checked documents.
  // None: the warning "Please checkmark documents first"; more than 5: the
  // warning that names 5; one: its preview (view kind 3); two to five:
  // their analysis (view kind 3). True when a flow started.
  bool Analyze(const std::vector<DocumentRef>& checked);

  // For the operation running on the worker that saved a page into the
  // library `library` (identifier): its last document becomes the current
  // one and is previewed as StartPreview does. Returns 7, or `otherwise`
  // when the library has no document. Call it on the worker thread only.
  int PreviewLastDocumentOf(const std::string& library, int otherwise);

  // Shows the concept map remembered at `level` (1 the previous map, 2 the
  // one before it); nothing for another level or where none is remembered.
  bool ShowRememberedMap(int level);

  // Pushes the documents of the library `library` (identifier) from
  // position `start`, at most `count` (negative: all), as a document list
  // titled with the library's name. Refused when busy; an error message
  // when the data folder holds no such library or it cannot be opened.
  bool ListLibrary(const std::string& library, int start, int count);

  // Next and Prev of the document list: the following (`forward`) or the
  // preceding set of "docFetchCount" documents of the list shown last, a
  // library's listing or a research's ranking. Refused when busy; the
  // information "There is no further set of this list." when no list was
  // shown or none lies that way, and the list shown stays.
  bool ShowNextSet(bool forward);

 private:
  // Flow D of `document`; `analysis_view` sets the single-document view
  // kind to the analysis view first.
  bool StartPreviewOf(const DocumentRef& document, bool analysis_view);

  // The flows' bodies, on the worker thread.
  int RunResearch(ResearchKind kind);
  int RunBiasedSummary(ResearchKind kind, const std::string& argument);
  int RunAnalysis();
  int RunPreview();

  void TakeResearch(ResearchKind kind, const std::string& text,
                    const std::vector<std::string>& libraries);
  void SelectLibraries(int workspace);
  int MakeQuery(ResearchKind kind, const std::string& text, int workspace);
  void SingleSummary(int query, int bias_percent, int workspace);
  void CombinedSummary(int query, const std::string& documents, int workspace);
  void MapConcepts(const std::string& documents, int workspace);
  void ShowMap(const std::string& path);
  void ShowSummary(const std::string& kind, const std::string& path);
  // The handle of the library `library`, opened when it is not; -1 with an
  // error message when there is no such library or it cannot be opened.
  int LibraryStore(const std::string& library);
  // The list event of the result-list `text` from its record `skip` on;
  // false (and nothing pushed) when it holds no record there and `skip` > 0.
  bool PushList(const std::string& text, int store = 0, size_t skip = 0);
  void SetViewKind(int kind);
  std::string ListOfDisplay() const;

  EventQueue* const events_;
  SharedSettings* const settings_;
  OperationWorker* const worker_;
  EngineCalls* const engine_;

  mutable std::mutex mutex_;  // guards everything below
  int workspace_ = -1;
  std::vector<std::string> checked_;
  std::vector<std::pair<std::string, int>> opened_;  // identifier, handle
  bool selection_changed_ = false;
  DocumentRef current_;
  std::vector<DocumentRef> selected_;
  DisplayMode mode_ = DisplayMode::kSingle;
  int query_ = -1;
  std::array<std::string, 4> texts_;  // by ResearchKind
  std::array<std::string, 3> maps_;
  // The list shown last: a library's documents (`library` set) or the
  // ranking of `query`, from position `start`.
  struct Listing {
    std::string library;
    int query = -1;
    int start = 0;
  };
  Listing listing_;
};

}  // namespace qora

#endif  // QORA_SHELL_RESEARCH_SESSION_H_
