// The application's web server: serves the front, the result pages and the
// data folder's files, and hands API requests and command URLs to the
// handlers registered for them, on 127.0.0.1 only. Every request passes the
// checks of shell/request_guard.h first.
#ifndef QORA_SHELL_APP_SERVER_H_
#define QORA_SHELL_APP_SERVER_H_

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace qora {

// What a handler answers: an HTTP status and a JSON body (none for 204).
struct ApiReply {
  int status = 200;
  nlohmann::json body;
};

// A handler of an API request. `query` holds the decoded parameters of the
// address, `body` the request's JSON (null for GET).
using ApiHandler =
    std::function<ApiReply(const std::map<std::string, std::string>& query, const nlohmann::json& body)>;

// A handler of a file sent whole as the body of a POST request (any
// content type); `query` as above.
using UploadHandler =
    std::function<ApiReply(const std::map<std::string, std::string>& query, const std::string& bytes)>;

// A handler of a command URL: receives the command text (the raw address
// after "/localservlets/", with "%20" as blanks and nothing else decoded).
using CommandHandler = std::function<void(const std::string& command)>;

// A live page as the application fetched it for the browser frame: on
// success the body, the content type the site sent and the address of its
// final answer; else the message saying why it could not be fetched.
struct LivePage {
  bool fetched = false;
  std::string body;
  std::string content_type;
  std::string address;
  std::string error;
};
using LiveFetcher = std::function<LivePage(const std::string& address)>;

struct AppServerFolders {
  std::string web;    // the front: index.html and its files
  std::string data;   // the user data folder (result pages in "html/")
};

class AppServer {
 public:
  explicit AppServer(AppServerFolders folders);
  ~AppServer();
  AppServer(const AppServer&) = delete;
  AppServer& operator=(const AppServer&) = delete;

  // Register handlers before Start. GET handlers must not change anything:
  // only POST requests and command URLs pass the own-origin check.
  void OnGet(const std::string& path, ApiHandler handler);
  void OnPost(const std::string& path, ApiHandler handler);
  // A POST request to `path` whose body is a file of at most 64 MiB, not
  // JSON (which is held to 4 MiB).
  void OnUpload(const std::string& path, UploadHandler handler);
  void OnCommand(CommandHandler handler);
  // Fetches the pages of "/live?url=ADDRESS" (web addresses only), which
  // the frame shows sandboxed with the frame agent and a <base> of the
  // page's address (shell/frame_documents.h). Without it "/live" is 404.
  void OnLive(LiveFetcher fetch);
  // Sets the user data folder once it is known (after a first start).
  void SetDataFolder(const std::string& folder);

  // Names the file of the front that "/" serves (index.html by default).
  void OnIndex(std::function<std::string()> page);

  // Binds 127.0.0.1:`port` (0: a free port). Returns "" when bound, else
  // the message. Serving starts with Run.
  std::string Bind(int port);
  // Serves until Stop; on its own thread or the caller's.
  void Run();
  // Ends Run (from any thread or a signal-safe context's helper thread).
  void Stop();

  int port() const { return port_; }
  // The secret that lets a client outside a browser send commands
  // (header X-Qora-Token); new every run.
  const std::string& token() const { return token_; }
  // "http://127.0.0.1:PORT/".
  std::string address() const;

 private:
  void RegisterRoutes();
  std::string DataFolder() const;

  AppServerFolders folders_;
  mutable std::mutex mutex_;  // guards folders_.data
  std::unique_ptr<httplib::Server> server_;
  std::map<std::string, ApiHandler> gets_;
  std::map<std::string, ApiHandler> posts_;
  std::map<std::string, UploadHandler> uploads_;
  CommandHandler command_;
  LiveFetcher live_;
  std::function<std::string()> index_;
  int port_ = 0;
  std::string token_;
};

}  // namespace qora

#endif  // QORA_SHELL_APP_SERVER_H_
