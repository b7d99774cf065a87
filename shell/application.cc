#include "shell/application.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "qora/engine.h"
#include "shell/app_server.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "shell/instance_lock.h"
#include "shell/settings_keys.h"
#include "shell/settings_store.h"
#include "shell/startup.h"

extern char** environ;

namespace qora {
namespace fs = std::filesystem;

namespace {

constexpr char kWorkspaceFile[] = "wkspc.ini";

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

// The sub-folders of `path` (hidden ones left out), sorted.
nlohmann::json FolderListing(const std::string& path) {
  std::error_code error;
  const fs::path folder = fs::canonical(path.empty() ? "/" : path, error);
  if (error || !fs::is_directory(folder, error)) return nullptr;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::error_code entry_error;
    const std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] != '.' && entry.is_directory(entry_error)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  const std::string parent = folder == folder.root_path() ? "" : folder.parent_path().string();
  return {{"path", folder.string()}, {"parent", parent}, {"folders", names}};
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

  const ApplicationOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  InstanceLock lock_;
  std::string settings_path_;
  std::mutex mutex_;  // guards settings_, state_, data_folder_, crash_question_
  SettingsStore settings_;
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
  settings_ = SettingsStore::Load(settings_path_);
  installed_ = FindInstalledDataFolder();
  const std::string web = options_.web_folder.empty() ? FindWebFolder() : options_.web_folder;
  if (web.empty()) {
    err_ << "qora: the application's pages (web/index.html) cannot be found (set QORA_WEB)\n";
    return false;
  }
  const std::string configured = ConfiguredDataFolder(options_.data_folder, settings_);
  data_folder_ = configured.empty() ? "" : AbsoluteFolder(configured);
  if (data_folder_.empty() && installed_.empty()) {
    err_ << "qora: the installed data folder cannot be found (set QORA_INSTALLED_DATA), so no "
            "data folder can be made\n";
    return false;
  }
  server_ = std::make_unique<AppServer>(AppServerFolders{web, data_folder_});
  RegisterStartRoutes();
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
                     {"crash", crash_question_ ? kCrashQuestion : ""}}};
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Write(&settings_, settings::kRootFolder, folder);
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
  std::lock_guard<std::mutex> lock(mutex_);
  if (first_start) {
    Write(&settings_, settings::kUserLibVersion, installed);
    return;
  }
  if (CompareTemplateVersions(installed, Read(settings_, settings::kUserLibVersion)) != 1) return;
  const std::string failure = RefreshTemplates(installed_, data_folder_);
  if (failure.empty()) {
    Write(&settings_, settings::kUserLibVersion, installed);
  } else {
    err_ << "qora: the templates were not refreshed: " << failure << "\n";
  }
}

bool Application::Begin(bool first_start) {
  RefreshTemplatesWhenOlder(first_start);
  {
    // Every run starts with an empty word bar and no bias words.
    std::lock_guard<std::mutex> lock(mutex_);
    Write(&settings_, settings::kSearchWords, "");
    Write(&settings_, settings::kBiasWords, "");
  }
  engine_ = std::make_unique<EngineSession>();
  if (engine_->Start(data_folder_) != 0) {
    err_ << "qora: the engine could not start on \"" << data_folder_ << "\"\n";
    engine_.reset();
    return false;
  }
  EngineOpenWorkspace(kWorkspaceFile, &workspace_);
  std::lock_guard<std::mutex> lock(mutex_);
  crash_question_ = Read(settings_, settings::kGracefullyTerminated) == 0;
  state_ = State::kReady;
  return true;
}

void Application::RequestStop() {
  // From a request's thread: the server cannot stop itself from inside a
  // handler and still answer it, so a thread of its own does it.
  std::thread([server = server_.get()] { server->Stop(); }).detach();
}

void Application::Shutdown() {
  if (engine_) {
    if (workspace_ >= 0) {
      int result = -1;
      EngineDeleteHandle(workspace_, &result);
    }
    engine_->Finish();
    engine_.reset();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (state_ == State::kReady) {
    Write(&settings_, settings::kCommandUrl, server_->address() + "localservlets/");
    Write(&settings_, settings::kGracefullyTerminated, 1);
    const std::string failure = settings_.Save(settings_path_);
    if (!failure.empty()) err_ << "qora: the settings were not saved: " << failure << "\n";
  }
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
  Application application(options, out, err);
  return application.Run();
}

}  // namespace qora
