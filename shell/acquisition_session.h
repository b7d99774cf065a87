// The application's requests that fill a library: the internet dialog's
// modes and the new-library wizard's (searches, crawls, saving a page),
// adding local files and adding a folder. Each is refused before any engine
// call when the program is busy or the request lacks what it needs;
// otherwise its target library is made or opened and the request runs on
// the worker thread with the same library commands the command line uses,
// its parameter string built from the option pages of the settings.
//
// Thread-safe: the server's threads call the Start functions.
#ifndef QORA_SHELL_ACQUISITION_SESSION_H_
#define QORA_SHELL_ACQUISITION_SESSION_H_

#include <string>
#include <vector>

#include "shell/acquisition_parameters.h"
#include "shell/app_events.h"
#include "shell/operation_worker.h"
#include "shell/research_session.h"
#include "shell/shared_settings.h"

namespace qora {

// The completion codes of the requests.
inline constexpr int kSearchDone = 0;
inline constexpr int kQuickSearchDone = 1;
inline constexpr int kCrawlDone = 2;
inline constexpr int kFolderAdded = 3;
inline constexpr int kFilesAdded = 4;

// The library a request fills: a new one named `new_name` when `create`,
// else the existing library `library` (identifier).
struct AcquisitionTarget {
  bool create = false;
  std::string new_name;
  std::string library;
};

struct InternetRequest {
  AcquisitionMode mode = AcquisitionMode::kBasicSearch;
  std::string keywords;                // the search modes
  std::vector<std::string> addresses;  // the crawls' start addresses, or the page's
  AcquisitionTarget target;
};

// Whether `mode` crawls from addresses (the crawls and saving a page) rather
// than searching.
bool IsCrawlMode(AcquisitionMode mode);

class AcquisitionSession {
 public:
  // All must outlive the session. `research` (may be null) previews a
  // page saved into a library.
  AcquisitionSession(EventQueue* events, SharedSettings* settings, OperationWorker* worker,
                     ResearchSession* research = nullptr);
  AcquisitionSession(const AcquisitionSession&) = delete;
  AcquisitionSession& operator=(const AcquisitionSession&) = delete;

  // An internet request. Refused with a message when busy, when the mode's
  // keywords or addresses are missing, when the target is missing
  // ("Please checkmark libraries first"), or when the chosen library holds
  // 200 documents or more. The window title is "Internet
  // Crawl '" or "Internet Search '" with the library's name and "'".
  // Completion 2 for the crawls, 0 for the searches; saving a page ends
  // with the preview of the library's last document and completion 7 when
  // a research session is given. True when it started.
  bool StartInternet(const InternetRequest& request);

  // The quick internet search: the hits of the engines the engine page
  // switches on for `keywords`, nothing stored, shown as the document list
  // "[Quick Search Results]" in its quick-search mode. Refused when busy or
  // with "Please enter keywords". The window title is "Internet Search '"
  // with the keywords and "'". Completion 1.
  bool StartQuickSearch(const std::string& keywords);

  // Adds the HTML and PDF files `files` (absolute paths). "Please choose
  // files" when there are none. Completion 4.
  bool StartAddFiles(const AcquisitionTarget& target, const std::vector<std::string>& files);

  // Adds the files of the folder page's folder as its depth and limits say.
  // "Please choose a folder" when it names none. Completion 3.
  bool StartAddFolder(const AcquisitionTarget& target, const FolderOptions& folder);

 private:
  // Makes or opens the target library and sets "newLib"; its identifier and
  // name go to the out-parameters. False (with the message pushed) when
  // the target is missing or cannot be made. Runs on the calling thread
  // while the worker is idle.
  bool Resolve(const AcquisitionTarget& target, std::string* ident, std::string* name);
  // Resolves the target, then runs `request` on the worker under `title`
  // (the library's name is appended to a title ending in "'", followed by
  // "'"); a failure text of `request` is shown as an error.
  // When `then` is given it runs after a request that did not fail and its
  // result is the completion code.
  bool Run(const AcquisitionTarget& target, const std::string& title, int completion,
           const std::function<std::string(const std::string& ident)>& request,
           const std::function<int(const std::string& ident)>& then = {});

  EventQueue* const events_;
  SharedSettings* const settings_;
  OperationWorker* const worker_;
  ResearchSession* const research_;
};

}  // namespace qora

#endif  // QORA_SHELL_ACQUISITION_SESSION_H_
