#include "shell/application.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "qora/engine.h"
#include "shell/acquisition_request_json.h"
#include "shell/acquisition_session.h"
#include "shell/app_events.h"
#include "shell/app_server.h"
#include "shell/command_dispatcher.h"
#include "shell/data_folder.h"
#include "shell/engine_calls.h"
#include "shell/engine_session.h"
#include "shell/frame_requests.h"
#include "shell/instance_lock.h"
#include "shell/library_commands.h"
#include "shell/library_manager.h"
#include "shell/operation_worker.h"
#include "shell/research_session.h"
#include "shell/result_pages.h"
#include "shell/scratch_routes.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/shared_settings.h"
#include "shell/startup.h"
#include "shell/upload_store.h"

extern char** environ;

namespace qora {
namespace fs = std::filesystem;

namespace {

constexpr char kWorkspaceFile[] = "wkspc.ini";
// The completion code of the repair of every library.

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Opens `address` in the user's browser with xdg-open, without waiting for
// it and without its output on our terminal. False when it cannot start.
bool OpenBrowser(const std::string& address) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv = {const_cast<char*>("xdg-open"), const_cast<char*>(address.c_str()),
                             nullptr};
  pid_t child = -1;
  const int started = posix_spawnp(&child, "xdg-open", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return false;
  // Reaped on a thread of its own, so no zombie stays while we serve.
  std::thread([child] { ::waitpid(child, nullptr, 0); }).detach();
  return true;
}

std::string AbsoluteFolder(const std::string& folder) {
  std::error_code error;
  const fs::path absolute = fs::absolute(folder, error);
  return WithTrailingSeparator(error ? folder : absolute.lexically_normal().string());
}

// The sub-folders of `path` and its HTML and PDF files (hidden ones left
// out), each sorted: what the folder and file choosers show.
nlohmann::json FolderListing(const std::string& path) {
  std::error_code error;
  const fs::path folder = fs::canonical(path.empty() ? "/" : path, error);
  if (error || !fs::is_directory(folder, error)) return nullptr;
  std::vector<std::string> folders;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::error_code entry_error;
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (entry.is_directory(entry_error)) {
      folders.push_back(name);
    } else if (entry.is_regular_file(entry_error) && ImportableFileName(name)) {
      files.push_back(name);
    }
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  const std::string parent = folder == folder.root_path() ? "" : folder.parent_path().string();
  return {{"path", folder.string()}, {"parent", parent}, {"folders", folders}, {"files", files}};
}

class Application {
 public:
  Application(const ApplicationOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  int Run();

 private:
  enum class State { kFirstStart, kReady };

  bool Prepare();
  void RegisterStartRoutes();
  ApiReply FirstStart(const std::string& chosen);
  // Steps of the start that follow once the data folder exists; false (with
  // the reason on err_) when the engine cannot start.
  bool Begin(bool first_start);
  void RefreshTemplatesWhenOlder(bool first_start);
  void Shutdown();
  void RequestStop();

  void RegisterResearchRoutes();
  nlohmann::json RewriteEvent(nlohmann::json event);
  void SaveSettings();
  ApiReply WhenIdle(const std::function<ApiReply()>& use, bool tell_busy = true);

  const ApplicationOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  InstanceLock lock_;
  std::string settings_path_;
  SettingsStore settings_;
  SharedSettings shared_{&settings_};
  EventQueue events_;
  OperationWorker worker_{&events_, &shared_};
  EngineCalls engine_calls_;
  ResearchSession session_{&events_, &shared_, &worker_, &engine_calls_};
  CommandDispatcher dispatcher_{&session_};
  AcquisitionSession acquisition_{&events_, &shared_, &worker_, &session_};
  LibraryManager manager_{&events_, &worker_, &session_};
  std::mutex mutex_;  // guards state_, data_folder_, crash_question_
  State state_ = State::kFirstStart;
  std::string data_folder_;
  std::string installed_;
  std::unique_ptr<AppServer> server_;
  std::unique_ptr<EngineSession> engine_;
  int workspace_ = -1;
  bool crash_question_ = false;
  int exit_status_ = 0;
};

bool Application::Prepare() {
  const std::string lock_path = InstanceLockPath();
  const std::string locked = lock_.Acquire(lock_path);
  if (!locked.empty()) {
    err_ << "qora: " << locked;
    const std::string running = RunningAddress(lock_path);
    if (locked == kAlreadyRunning && !running.empty()) {
      err_ << " It is at " << running;
      if (options_.open_browser && HasDisplay()) OpenBrowser(running);
    }
    err_ << "\n";
    return false;
  }
  settings_path_ = SettingsFilePath();
  shared_.Use([this](SettingsStore* store) { *store = SettingsStore::Load(settings_path_); });
  events_.SetRewriter([this](nlohmann::json event) { return RewriteEvent(std::move(event)); });
  installed_ = FindInstalledDataFolder();
  const std::string web = options_.web_folder.empty() ? FindWebFolder() : options_.web_folder;
  if (web.empty()) {
    err_ << "qora: the application's pages (web/index.html) cannot be found (set QORA_WEB)\n";
    return false;
  }
  std::string configured;
  shared_.Use([&](SettingsStore* store) {
    configured = ConfiguredDataFolder(options_.data_folder, *store);
  });
  data_folder_ = configured.empty() ? "" : AbsoluteFolder(configured);
  if (data_folder_.empty() && installed_.empty()) {
    err_ << "qora: the installed data folder cannot be found (set QORA_INSTALLED_DATA), so no "
            "data folder can be made\n";
    return false;
  }
  server_ = std::make_unique<AppServer>(AppServerFolders{web, data_folder_});
  RegisterStartRoutes();
  RegisterResearchRoutes();
  RegisterScratchRoutes(server_.get(), &events_,
                        {[this] {
                           std::lock_guard<std::mutex> lock(mutex_);
                           return data_folder_;
                         },
                         // xdg-open hands the exported file to the word processor.
                         [](const std::string& path) {
                           if (HasDisplay()) OpenBrowser(path);
                         }});
  const int port = options_.port != 0 ? options_.port : kDefaultPort;
  std::string bound = server_->Bind(port);
  // The usual port may belong to another program: any free one will do.
  if (!bound.empty() && options_.port == 0) bound = server_->Bind(0);
  if (!bound.empty()) {
    err_ << "qora: " << bound << "\n";
    return false;
  }
  lock_.RecordAddress(server_->address());
  if (!data_folder_.empty() && !Begin(/*first_start=*/false)) return false;
  return true;
}

void Application::RegisterStartRoutes() {
  server_->OnIndex([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == State::kFirstStart ? std::string("first.html") : std::string("index.html");
  });
  server_->OnGet("start", [this](const auto&, const auto&) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == State::kFirstStart) {
      const char* home = std::getenv("HOME");
      return ApiReply{200,
                      {{"state", "first-start"},
                       {"message", kFirstStartMessage},
                       {"title", kFolderDialogTitle},
                       {"prompt", kFolderDialogPrompt},
                       {"home", home != nullptr ? home : "/"}}};
    }
    return ApiReply{200,
                    {{"state", "ready"},
                     {"data", data_folder_},
                     {"crash", crash_question_ ? kCrashQuestion : ""},
                     {"seq", events_.LastSeq()}}};
  });
  server_->OnGet("folders", [](const std::map<std::string, std::string>& query, const auto&) {
    const auto path = query.find("path");
    nlohmann::json listing = FolderListing(path != query.end() ? path->second : "/");
    if (listing.is_null()) return ApiReply{404, {{"error", "There is no such folder."}}};
    return ApiReply{200, listing};
  });
  server_->OnPost("firststart", [this](const auto&, const nlohmann::json& body) {
    const nlohmann::json folder = body.is_object() ? body.value("folder", nlohmann::json()) : nullptr;
    return FirstStart(folder.is_string() ? folder.get<std::string>() : "");
  });
}

ApiReply Application::FirstStart(const std::string& chosen) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ != State::kFirstStart) return ApiReply{409, {{"error", "QORA has its data folder."}}};
  }
  const std::string folder = FirstStartFolder(chosen);
  std::string failure = folder.empty() ? "" : MakeUserDataFolder(installed_, folder);
  if (folder.empty() || !failure.empty()) {
    // A refused first start ends the program; the next start asks again.
    std::string text = failure.empty() ? "" : failure + " ";
    if (failure != kCreateFolderFailed && !failure.empty()) text = "Create folder failed. " + text;
    err_ << "qora: " << text << kFirstStartRefused << "\n";
    exit_status_ = 1;
    RequestStop();
    return ApiReply{400, {{"error", text + kFirstStartRefused}}};
  }
  shared_.Write(settings::kRootFolder, folder);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    data_folder_ = folder;
  }
  server_->SetDataFolder(folder);
  if (!Begin(/*first_start=*/true)) {
    exit_status_ = 1;
    RequestStop();
    return ApiReply{500, {{"error", "The engine could not start on " + folder + "."}}};
  }
  out_ << "made the data folder " << folder << "\n";
  return ApiReply{200, {{"state", "ready"}, {"data", folder}}};
}

void Application::RefreshTemplatesWhenOlder(bool first_start) {
  const int installed = InstalledTemplateVersion(installed_);
  if (installed < 0) return;  // no installed version: nothing to compare
  if (first_start) {
    shared_.Write(settings::kUserLibVersion, installed);
    return;
  }
  if (CompareTemplateVersions(installed, shared_.Read(settings::kUserLibVersion)) != 1) return;
  const std::string failure = RefreshTemplates(installed_, data_folder_);
  if (failure.empty()) {
    shared_.Write(settings::kUserLibVersion, installed);
  } else {
    err_ << "qora: the templates were not refreshed: " << failure << "\n";
  }
}

bool Application::Begin(bool first_start) {
  RefreshTemplatesWhenOlder(first_start);
  // Every run starts with an empty word bar and no bias words.
  shared_.Write(settings::kSearchWords, "");
  shared_.Write(settings::kBiasWords, "");
  engine_ = std::make_unique<EngineSession>();
  if (engine_->Start(data_folder_) != 0) {
    err_ << "qora: the engine could not start on \"" << data_folder_ << "\"\n";
    engine_.reset();
    return false;
  }
  EngineOpenWorkspace(kWorkspaceFile, &workspace_);
  session_.SetWorkspace(workspace_);
  const bool crashed = shared_.Read(settings::kGracefullyTerminated) == 0;
  std::lock_guard<std::mutex> lock(mutex_);
  crash_question_ = crashed;
  state_ = State::kReady;
  return true;
}

void Application::RequestStop() {
  // From a request's thread: the server cannot stop itself from inside a
  // handler and still answer it, so a thread of its own does it.
  std::thread([server = server_.get()] { server->Stop(); }).detach();
}

void Application::SaveSettings() {
  shared_.Use([this](SettingsStore* store) {
    const std::string failure = store->Save(settings_path_);
    if (!failure.empty()) err_ << "qora: the settings were not saved: " << failure << "\n";
  });
}

void Application::Shutdown() {
  // The running operation ends first (asked to stop), so the engine it uses
  // is finished after it.
  worker_.Stop();
  worker_.Wait();
  if (engine_) {
    if (workspace_ >= 0) {
      int result = -1;
      EngineDeleteHandle(workspace_, &result);
    }
    engine_->Finish();
    engine_.reset();
  }
  bool ready = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready = state_ == State::kReady;
  }
  if (!ready) return;
  shared_.Write(settings::kCommandUrl, server_->address() + "localservlets/");
  shared_.Write(settings::kGracefullyTerminated, 1);
  SaveSettings();
}


// Page events carry the kind and the DML file: the pages are written here,
// once, and the front is told which one to show. A busy event follows the
// mark that the libraries are in use: the settings file gets it at once, so
// an end of the program during the operation leads to the repair question.
nlohmann::json Application::RewriteEvent(nlohmann::json event) {
  const std::string type = event.value("type", "");
  if (type == "busy" && event.value("busy", false)) {
    SaveSettings();
    return event;
  }
  if (type != "page" || !event.contains("kind")) return event;
  const std::optional<ResultPageKind> kind = ResultPageKindNamed(event.value("kind", ""));
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    folder = data_folder_;
  }
  std::string first_page;
  const std::string failure =
      kind ? WriteResultPages(folder, *kind, event.value("dml", ""), &first_page)
           : "there is no result page of the kind " + event.value("kind", "");
  if (!failure.empty()) return MessageEvent(kError, "The result page cannot be shown: " + failure);
  if (first_page.empty()) return nlohmann::json{{"type", "page"}, {"url", ""}};
  return nlohmann::json{{"type", "page"}, {"url", "/pages/" + first_page}};
}

// Runs a short engine request unless an operation runs; then the answer
// is 409 with the busy text, and the front hears the busy message unless
// the request only reads (the front reads again after the operation).
ApiReply Application::WhenIdle(const std::function<ApiReply()>& use, bool tell_busy) {
  ApiReply reply{409, {{"error", "Program is busy. Please wait."}}};
  worker_.RunIfIdle([&] { reply = use(); }, tell_busy);
  return reply;
}

namespace {

std::optional<ResearchKind> ResearchKindNamed(const std::string& name) {
  if (name == "keywords") return ResearchKind::kKeywords;
  if (name == "passage") return ResearchKind::kPassage;
  if (name == "concepts") return ResearchKind::kConcepts;
  if (name == "documents") return ResearchKind::kDocuments;
  return std::nullopt;
}

// The documents of a request: [{"handle": h, "docid": "..."}]; false when
// the list is malformed.
bool DocumentsOf(const nlohmann::json& list, std::vector<DocumentRef>* documents) {
  documents->clear();
  if (list.is_null()) return true;
  if (!list.is_array()) return false;
  for (const nlohmann::json& item : list) {
    if (!item.is_object() || !item.contains("handle") || !item["handle"].is_number_integer() ||
        !item.contains("docid") || !item["docid"].is_string()) {
      return false;
    }
    documents->push_back(DocumentRef{item["handle"].get<int>(), item["docid"].get<std::string>()});
  }
  return true;
}

ApiReply BadRequest(const std::string& text) { return ApiReply{400, {{"error", text}}}; }
ApiReply Done() { return ApiReply{204, nullptr}; }

nlohmann::json LibrariesJson(const std::vector<LibraryInfo>& libraries) {
  nlohmann::json list = nlohmann::json::array();
  for (const LibraryInfo& library : libraries) {
    list.push_back({{"ident", library.ident},
                    {"name", library.name},
                    {"documents", library.documents},
                    {"bytes", library.bytes},
                    {"date", library.date}});
  }
  return list;
}

// The local date and time in the locale's full form, for the default names
// of new and merged libraries.
std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[128];
  return std::strftime(text, sizeof text, "%c", &local) > 0 ? std::string(text) : std::string();
}

// The sections the front may write; the data folder and the template
// version are the start's own.
bool WritableSection(const std::string& section) { return section != "Main"; }

}  // namespace

void Application::RegisterResearchRoutes() {
  server_->OnGet("poll", [this](const std::map<std::string, std::string>& query, const auto&) {
    int64_t after = 0;
    if (const auto given = query.find("after"); given != query.end()) {
      char* end = nullptr;
      after = std::strtoll(given->second.c_str(), &end, 10);
      if (given->second.empty() || *end != '\0' || after < 0) {
        return BadRequest("after must be a whole number");
      }
    }
    nlohmann::json events = events_.After(after);
    return ApiReply{200,
                    {{"busy", worker_.Busy()},
                     {"status", worker_.Status()},
                     {"seq", events_.LastSeq()},
                     {"events", std::move(events)}}};
  });
  server_->OnPost("stop", [this](const auto&, const auto&) {
    worker_.Stop();
    return Done();
  });
  server_->OnCommand([this](const std::string& command) { dispatcher_.Dispatch(command); });
  // The browser frame: live pages fetched on the server's own threads (the
  // fetch touches no engine state, so it runs beside any operation), and
  // the search engines of its quick web search.
  server_->OnLive([](const std::string& address) { return FetchLivePage(address); });
  server_->OnGet("engines", [this](const auto&, const auto&) {
    std::string folder;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      folder = data_folder_;
    }
    return ApiReply{200, SearchEnginesJson(WithTrailingSeparator(folder))};
  });
  server_->OnPost("command", [this](const auto&, const nlohmann::json& body) {
    if (!body.is_object() || !body.contains("command") || !body["command"].is_string()) {
      return BadRequest("A command is sent as {\"command\": \"...\"}.");
    }
    dispatcher_.Dispatch(body["command"].get<std::string>());
    return Done();
  });
  server_->OnGet("libraries", [this](const auto&, const auto&) {
    return WhenIdle([] {
      std::vector<LibraryInfo> libraries;
      const std::string failure = ListLibraries(&libraries);
      if (!failure.empty()) return ApiReply{500, {{"error", failure}}};
      return ApiReply{200, LibrariesJson(libraries)};
    }, /*tell_busy=*/false);
  });
  server_->OnPost("research", [this](const auto&, const nlohmann::json& body) {
    if (!body.is_object()) return BadRequest("A research is sent as a JSON object.");
    const std::string kind_name = body.value("kind", "");
    if (kind_name == "websearch") {
      events_.Push(MessageEvent(kInfo, "Not yet implemented"));
      return Done();
    }
    const std::optional<ResearchKind> kind = ResearchKindNamed(kind_name);
    std::vector<DocumentRef> documents;
    const nlohmann::json libraries = body.value("libraries", nlohmann::json::array());
    if (!kind || !libraries.is_array() || !DocumentsOf(body.value("documents", nlohmann::json()), &documents)) {
      return BadRequest("The research request is malformed.");
    }
    std::vector<std::string> idents;
    for (const nlohmann::json& ident : libraries) {
      if (!ident.is_string()) return BadRequest("Libraries are named by their identifiers.");
      idents.push_back(ident.get<std::string>());
    }
    if (*kind == ResearchKind::kDocuments && !documents.empty()) {
      session_.SetSelectedDocuments(documents);
    }
    session_.StartResearch(*kind, body.value("text", ""), idents);
    return Done();
  });
  server_->OnPost("library", [this](const auto&, const nlohmann::json& body) {
    if (!body.is_object() || !body.contains("ident") || !body["ident"].is_string()) {
      return BadRequest("A library is named by {\"ident\": \"...\"}.");
    }
    const std::string ident = body["ident"].get<std::string>();
    session_.ListLibrary(ident, 0, shared_.Read(settings::kDocFetchCount));
    return Done();
  });
  server_->OnPost("fetch", [this](const auto&, const nlohmann::json& body) {
    const std::string direction = body.is_object() ? body.value("direction", "") : "";
    if (direction != "next" && direction != "prev") {
      return BadRequest("The direction is \"next\" or \"prev\".");
    }
    session_.ShowNextSet(direction == "next");
    return Done();
  });
  server_->OnUpload("upload", [this](const std::map<std::string, std::string>& query,
                                     const std::string& bytes) {
    const auto name = query.find("name");
    std::string folder;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      folder = data_folder_;
    }
    std::string path;
    const std::string failure =
        SaveUpload(folder, name != query.end() ? name->second : "", bytes, &path);
    if (!failure.empty()) return BadRequest(failure);
    return ApiReply{200, {{"path", path}}};
  });
  server_->OnGet("manager", [this](const auto&, const auto&) {
    std::vector<ManagedLibrary> libraries;
    if (!manager_.List(&libraries)) return ApiReply{409, {{"error", kBusyText}}};
    nlohmann::json rows = nlohmann::json::array();
    for (const ManagedLibrary& row : libraries) {
      rows.push_back({{"ident", row.library.ident},
                      {"name", row.library.name},
                      {"open", row.open},
                      {"documents", row.library.documents},
                      {"kb", KilobyteText(row.library.bytes)},
                      {"date", row.library.date}});
    }
    return ApiReply{200, {{"libraries", rows}, {"now", LocalDateTime()}}};
  });
  server_->OnPost("manager", [this](const auto&, const nlohmann::json& body) {
    const std::string command = body.is_object() ? body.value("command", "") : "";
    const nlohmann::json listed = body.is_object() ? body.value("libraries", nlohmann::json::array())
                                                   : nlohmann::json();
    const nlohmann::json name = body.is_object() ? body.value("name", nlohmann::json("")) : nullptr;
    std::vector<std::string> libraries;
    bool texts = listed.is_array() && name.is_string();
    for (const nlohmann::json& ident : texts ? listed : nlohmann::json::array()) {
      if (!ident.is_string()) texts = false;
      if (ident.is_string()) libraries.push_back(ident.get<std::string>());
    }
    if (!texts) return BadRequest("A library command names its libraries by their identifiers.");
    if (command == "new") {
      manager_.StartNew(name.get<std::string>());
    } else if (command == "merge") {
      manager_.StartMerge(name.get<std::string>(), libraries);
    } else if (command == "empty") {
      manager_.StartEmpty(libraries);
    } else if (command == "erase") {
      manager_.StartErase(libraries);
    } else if (command == "repair") {
      manager_.StartRepair();
    } else {
      return BadRequest("The command is new, merge, empty, erase or repair.");
    }
    return Done();
  });
  server_->OnPost("acquire", [this](const auto&, const nlohmann::json& body) {
    AcquisitionCall call;
    const std::string malformed = AcquisitionCallOf(body, &call);
    if (!malformed.empty()) return BadRequest(malformed);
    switch (call.kind) {
      case AcquisitionCall::Kind::kInternet:
        acquisition_.StartInternet(call.internet);
        break;
      case AcquisitionCall::Kind::kFiles:
        acquisition_.StartAddFiles(call.target, call.files);
        break;
      case AcquisitionCall::Kind::kQuick:
        acquisition_.StartQuickSearch(call.internet.keywords);
        break;
      case AcquisitionCall::Kind::kFolder: {
        FolderOptions folder;
        shared_.Use([&folder](SettingsStore* store) { folder = ReadFolderOptions(*store); });
        acquisition_.StartAddFolder(call.target, folder);
        break;
      }
    }
    return Done();
  });
  server_->OnPost("preview", [this](const auto&, const nlohmann::json& body) {
    std::vector<DocumentRef> documents;
    if (!DocumentsOf(nlohmann::json::array({body}), &documents)) {
      return BadRequest("A document is named by {\"handle\": h, \"docid\": \"...\"}.");
    }
    session_.StartPreview(documents.front());
    return Done();
  });
  server_->OnPost("analyze", [this](const auto&, const nlohmann::json& body) {
    std::vector<DocumentRef> documents;
    if (!body.is_object() || !DocumentsOf(body.value("documents", nlohmann::json()), &documents)) {
      return BadRequest("Documents are sent as {\"documents\": [{\"handle\": h, \"docid\": \"...\"}]}.");
    }
    session_.Analyze(documents);
    return Done();
  });
  server_->OnPost("delete", [this](const auto&, const nlohmann::json& body) {
    std::vector<DocumentRef> documents;
    if (!body.is_object() || !DocumentsOf(body.value("documents", nlohmann::json()), &documents) ||
        documents.empty()) {
      return BadRequest("Documents are sent as {\"documents\": [{\"handle\": h, \"docid\": \"...\"}]}.");
    }
    return WhenIdle([&documents] {
      int result = -1;
      EngineEraseDocuments(DocumentListOf(documents).c_str(), &result);
      if (result != 0) return ApiReply{500, {{"error", "The documents could not be erased."}}};
      // Each library's master index still counts what was taken out.
      std::vector<int> stores;
      for (const DocumentRef& document : documents) stores.push_back(document.store);
      std::sort(stores.begin(), stores.end());
      stores.erase(std::unique(stores.begin(), stores.end()), stores.end());
      for (int store : stores) {
        const std::string failure = IndexLibrary(store, /*full=*/true);
        if (!failure.empty()) return ApiReply{500, {{"error", failure}}};
      }
      return ApiReply{200, nlohmann::json::object()};
    });
  });
  server_->OnGet("settings", [this](const auto&, const auto&) {
    nlohmann::json all = nlohmann::json::object();
    shared_.Use([&all](SettingsStore* store) {
      store->ForEach([&all](const std::string& section, const std::string& key,
                            const std::string& value) { all[section][key] = value; });
    });
    return ApiReply{200, all};
  });
  server_->OnPost("settings", [this](const auto&, const nlohmann::json& body) {
    if (!body.is_object()) return BadRequest("Settings are sent as {\"Section\": {\"key\": value}}.");
    for (const auto& [section, values] : body.items()) {
      if (values.is_null() && (section == settings::kAdvancedOptions || section == settings::kCrawlerOptions)) continue;
      if (!values.is_object() || !WritableSection(section)) {
        return BadRequest("The settings of \"" + section + "\" cannot be written here.");
      }
      for (const auto& [key, value] : values.items()) {
        if (!value.is_string() && !value.is_number_integer()) {
          return BadRequest("A setting is a text or a whole number: " + section + "/" + key);
        }
      }
    }
    shared_.Use([&body](SettingsStore* store) {
      for (auto section = body.begin(); section != body.end(); ++section) {
        // null resets the advanced or the crawler page to its defaults
        if (section->is_null()) ResetOptionSection(store, section.key().c_str());
        for (auto value = section->begin(); value != section->end(); ++value) {
          if (value->is_string()) {
            store->WriteString(section.key(), value.key(), value->get<std::string>());
          } else {
            store->WriteInt(section.key(), value.key(), value->get<int>());
          }
        }
      }
    });
    return Done();
  });
  server_->OnPost("crashcheck", [this](const auto&, const nlohmann::json& body) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!crash_question_) return Done();
      crash_question_ = false;
    }
    if (!body.is_object() || !body.value("repair", false)) return Done();
    manager_.StartRepair();
    return Done();
  });
}

int Application::Run() {
  // SIGINT and SIGTERM are taken by one thread that ends the serving, so
  // the engine and the settings are closed as after any normal end.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  if (!Prepare()) {
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    return 1;
  }
  std::thread waiter([this, signals] {
    int received = 0;
    sigwait(&signals, &received);
    if (received != SIGUSR1) server_->Stop();
  });
  out_ << "QORA is at " << server_->address() << "\n" << std::flush;
  if (options_.open_browser && HasDisplay()) OpenBrowser(server_->address());
  server_->Run();
  // Wake the signal thread when serving ended for another reason.
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  Shutdown();
  // A second Ctrl-C or SIGTERM that came during the shutdown is taken here
  // rather than ending the finished program with a signal's status.
  const timespec none = {0, 0};
  while (sigtimedwait(&signals, nullptr, &none) > 0) {
  }
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  return exit_status_;
}

}  // namespace

std::string FindWebFolder() {
  if (const char* configured = std::getenv("QORA_WEB"); configured != nullptr && *configured) {
    std::error_code error;
    return fs::is_regular_file(fs::path(configured) / "index.html", error)
               ? AbsoluteFolder(configured)
               : "";
  }
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error) return "";
  for (const fs::path& candidate : {executable.parent_path() / "web",
                                    executable.parent_path() / ".." / "share" / "qora" / "web"}) {
    if (fs::is_regular_file(candidate / "index.html", error)) {
      return WithTrailingSeparator(candidate.lexically_normal().string());
    }
  }
  return "";
}

int RunApplication(const ApplicationOptions& options, std::ostream& out, std::ostream& err) {
  // Dates shown to the user (the default names of new libraries) follow
  // the user's locale; nothing else of the locale is taken.
  std::setlocale(LC_TIME, "");
  Application application(options, out, err);
  return application.Run();
}

}  // namespace qora
