#include "shell/acquisition_session.h"

#include <algorithm>

#include "shell/acquisition_requests.h"
#include "shell/library_commands.h"
#include "shell/web_requests.h"

namespace qora {
namespace {

constexpr char kNoTarget[] = "Please checkmark libraries first";
constexpr char kNoFiles[] = "Please choose files";
constexpr char kNoFolder[] = "Please choose a folder";
constexpr char kNoKeywords[] = "Please enter keywords";
constexpr char kNoAddresses[] = "Please enter start addresses";
constexpr char kLibraryFull[] =
    "Maximum number of allowed documents reached in the selected library. Please select another "
    "one.";
constexpr char kQuickSearchTitle[] = "[Quick Search Results]";

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

bool AllBlank(const std::vector<std::string>& texts) {
  return std::all_of(texts.begin(), texts.end(), Blank);
}

}  // namespace

bool IsCrawlMode(AcquisitionMode mode) {
  return mode == AcquisitionMode::kCrawl || mode == AcquisitionMode::kCrawlThisPage ||
         mode == AcquisitionMode::kSaveThisPage || mode == AcquisitionMode::kWizardCrawl;
}

AcquisitionSession::AcquisitionSession(EventQueue* events, SharedSettings* settings,
                                       OperationWorker* worker, ResearchSession* research)
    : events_(events), settings_(settings), worker_(worker), research_(research) {}

bool AcquisitionSession::Resolve(const AcquisitionTarget& target, std::string* ident,
                                 std::string* name) {
  if (target.create ? Blank(target.new_name) : target.library.empty()) {
    events_->Push(MessageEvent(kWarning, kNoTarget));
    return false;
  }
  std::string failure;
  if (target.create) {
    failure = NewLibrary(target.new_name, ident);
    *name = target.new_name;
  } else {
    std::vector<LibraryInfo> libraries;
    failure = ListLibraries(&libraries);
    const auto found = std::find_if(libraries.begin(), libraries.end(),
                                    [&](const LibraryInfo& l) { return l.ident == target.library; });
    if (failure.empty() && found == libraries.end()) failure = "Cannot do this now.";
    if (failure.empty() && found->documents >= kMaxDocumentsPerLibrary) {
      events_->Push(MessageEvent(kWarning, kLibraryFull));
      return false;
    }
    if (failure.empty()) {
      *ident = found->ident;
      *name = found->name;
    }
  }
  if (!failure.empty()) {
    events_->Push(MessageEvent(kError, failure));
    return false;
  }
  settings_->Write(settings::kNewLib, target.create ? 1 : 0);
  return true;
}

bool AcquisitionSession::Run(const AcquisitionTarget& target, const std::string& title,
                             int completion,
                             const std::function<std::string(const std::string& ident)>& request,
                             const std::function<int(const std::string& ident)>& then) {
  std::string ident;
  std::string name;
  bool resolved = false;
  if (!worker_->RunIfIdle([&] { resolved = Resolve(target, &ident, &name); }) || !resolved) {
    return false;
  }
  const std::string shown = title.back() == '\'' ? title + name + "'" : title;
  return worker_->Start(shown, [this, ident, completion, request, then] {
    const std::string failure = request(ident);
    if (research_ != nullptr) research_->LibrariesChanged();
    if (!failure.empty()) {
      events_->Push(MessageEvent(kError, failure));
      return completion;
    }
    return then ? then(ident) : completion;
  });
}

bool AcquisitionSession::StartInternet(const InternetRequest& request) {
  if (worker_->Busy()) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  const bool crawl = IsCrawlMode(request.mode);
  if (crawl ? AllBlank(request.addresses) : Blank(request.keywords)) {
    events_->Push(MessageEvent(kWarning, crawl ? kNoAddresses : kNoKeywords));
    return false;
  }
  std::string parameters;
  std::string failure;
  settings_->Use([&](SettingsStore* store) {
    failure = AcquisitionParameters(request.mode, ReadAcquisitionOptions(*store), &parameters);
  });
  if (!failure.empty()) {
    events_->Push(MessageEvent(kError, failure));
    return false;
  }
  if (crawl) {
    const std::vector<std::string> addresses = request.addresses;
    std::function<int(const std::string&)> preview;
    if (request.mode == AcquisitionMode::kSaveThisPage && research_ != nullptr) {
      preview = [this](const std::string& ident) {
        return research_->PreviewLastDocumentOf(ident, kCrawlDone);
      };
    }
    return Run(request.target, "Internet Crawl '", kCrawlDone,
               [addresses, parameters](const std::string& ident) {
                 return CrawlIntoLibrary(ident, addresses, parameters);
               },
               preview);
  }
  const std::string words = request.keywords;
  return Run(request.target, "Internet Search '", kSearchDone,
             [words, parameters](const std::string& ident) {
               return SearchIntoLibrary(ident, words, parameters);
             });
}

bool AcquisitionSession::StartQuickSearch(const std::string& keywords) {
  if (worker_->Busy()) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  if (Blank(keywords)) {
    events_->Push(MessageEvent(kWarning, kNoKeywords));
    return false;
  }
  std::string parameters;
  settings_->Use([&](SettingsStore* store) {
    parameters = EngineParameters(ReadEngineOptions(*store));
  });
  std::string title = "Internet Search '";
  title += keywords;
  title += "'";
  return worker_->Start(title, [this, keywords, parameters] {
    std::vector<DocumentRecord> hits;
    const std::string failure = QuickSearchHits(keywords, parameters, &hits);
    if (!failure.empty()) {
      events_->Push(MessageEvent(kError, failure));
      return kQuickSearchDone;
    }
    nlohmann::json rows = nlohmann::json::array();
    for (DocumentRecord& hit : hits) {
      // The source column of a quick search names the engine that found it.
      if (hit.source.empty()) hit.source = hit.fetcher;
      rows.push_back(ListRecord(hit, ""));
    }
    events_->Push(ListEvent(kQuickSearchTitle, true, std::move(rows)));
    return kQuickSearchDone;
  });
}

bool AcquisitionSession::StartAddFiles(const AcquisitionTarget& target,
                                       const std::vector<std::string>& files) {
  if (worker_->Busy()) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  if (AllBlank(files)) {
    events_->Push(MessageEvent(kWarning, kNoFiles));
    return false;
  }
  return Run(target, "Adding Documents to Library", kFilesAdded,
             [files](const std::string& ident) { return AddFilesToLibrary(ident, files); });
}

bool AcquisitionSession::StartAddFolder(const AcquisitionTarget& target,
                                        const FolderOptions& folder) {
  if (worker_->Busy()) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  if (Blank(folder.folder)) {
    events_->Push(MessageEvent(kWarning, kNoFolder));
    return false;
  }
  return Run(target, "Adding Folder Contents to Library", kFolderAdded,
             [folder](const std::string& ident) {
               return AddFolderToLibrary(ident, folder.folder, folder.depth, folder.kilobytes,
                                         folder.documents);
             });
}

}  // namespace qora
