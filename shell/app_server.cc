#include "shell/app_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <optional>
#include <random>

#include "shell/frame_documents.h"
#include "shell/request_guard.h"
#include "util/ascii.h"
#include "util/file_bytes.h"

namespace qora {
namespace {

constexpr char kCommandPath[] = "/localservlets/";
// No request of the front comes near this; a larger one is refused whole.
constexpr size_t kMaxRequestBytes = 4 << 20;
constexpr size_t kMaxUploadBytes = 64 << 20;
// Requests served on one kept connection before it is closed, and the
// threads that serve connections.
constexpr size_t kRequestsPerConnection = 1000;
constexpr size_t kServingThreads = 16;

void Refuse(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(nlohmann::json{{"error", message}}.dump(-1, ' ', false,
                                                        nlohmann::json::error_handler_t::replace),
                  "application/json");
}

std::string NewToken() {
  std::random_device device;
  static const char kDigits[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 32; ++i) token.push_back(kDigits[device() % 16]);
  return token;
}

RequestSource SourceOf(const httplib::Request& req) {
  return RequestSource{req.get_header_value("Sec-Fetch-Site"), req.get_header_value("Origin"),
                       req.get_header_value("Referer"), req.get_header_value("X-Qora-Token")};
}

// The command text of the request target: what follows "/localservlets/",
// with "%20" as blanks and no other escape decoded. Nothing when the target
// does not begin with that prefix as written (a target that escapes a letter
// of it reaches the route, whose path is decoded, but names no command).
std::optional<std::string> CommandText(const std::string& target) {
  if (target.rfind(kCommandPath, 0) != 0) return std::nullopt;
  const std::string_view raw = std::string_view(target).substr(sizeof(kCommandPath) - 1);
  std::string command;
  command.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw.compare(i, 3, "%20") == 0) {
      command.push_back(' ');
      i += 2;
    } else {
      command.push_back(raw[i]);
    }
  }
  return command;
}

void ServeFile(const std::string& path, httplib::Response& res) {
  std::string bytes;
  if (path.empty() || !ReadWholeFile(path, &bytes)) {
    Refuse(res, 404, "There is no such file.");
    return;
  }
  res.set_header("Cache-Control", "no-store");
  res.set_content(bytes, ContentTypeOf(path).c_str());
}

// The address of the frame agent as a page from outside names it: whole,
// as a live page's <base> points elsewhere. The host was checked before.
std::string AgentUrl(const httplib::Request& req) {
  return "http://" + req.get_header_value("Host") + kFrameAgentPath;
}

// Serves an HTML document from outside: sandboxed, its own scripts
// refused, with the frame agent (and a <base> when `base` is not empty).
void ServeFramedDocument(const httplib::Request& req, const std::string& html,
                         const std::string& type, const std::string& base, httplib::Response& res) {
  const std::string nonce = NewNonce();
  res.set_header("Content-Security-Policy", FramedDocumentPolicy(nonce));
  res.set_header("Cache-Control", "no-store");
  res.set_content(WithFrameAgent(html, AgentUrl(req), nonce, base), type.c_str());
}

// Files of the data folder include archived copies of web pages: shown as
// a document, such a file is sandboxed (an origin of its own, none of its
// scripts), so nothing a stored page carries can reach the application;
// only the frame agent runs in an HTML file. Scripts and styles the
// templates load from there are not documents and work as ever.
void ServeDataFile(const httplib::Request& req, const std::string& path, httplib::Response& res) {
  const std::string type = ContentTypeOf(path);
  if (type.rfind("text/html", 0) != 0) {
    res.set_header("Content-Security-Policy", kFramedFilePolicy);
    ServeFile(path, res);
    return;
  }
  std::string bytes;
  if (path.empty() || !ReadWholeFile(path, &bytes)) {
    Refuse(res, 404, "There is no such file.");
    return;
  }
  ServeFramedDocument(req, bytes, type, "", res);
}

bool IsWebAddress(const std::string& address) {
  const std::string lower = AsciiLower(std::string_view(address).substr(0, 8));
  return lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0;
}

// Serves the live page `page`: HTML as a framed document with a <base> of
// its address, a file of a harmless type sandboxed, a failure as a message.
void ServeLivePage(const httplib::Request& req, const LivePage& page, httplib::Response& res) {
  if (!page.fetched) {
    res.status = 502;
    ServeFramedDocument(req, FramedMessagePage("The page could not be shown: " + page.error),
                        "text/html; charset=utf-8", "", res);
    return;
  }
  if (IsHtmlType(page.content_type)) {
    ServeFramedDocument(req, page.body, HtmlType(page.content_type), page.address, res);
    return;
  }
  res.set_header("Content-Security-Policy", kFramedFilePolicy);
  res.set_header("Cache-Control", "no-store");
  res.set_content(page.body, SafeFileType(page.content_type).c_str());
}

// The engine's texts are 8-bit: bytes that do not form UTF-8 are written as
// U+FFFD, so an answer never fails to be written.
std::string JsonText(const nlohmann::json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void Answer(const ApiReply& reply, httplib::Response& res) {
  res.status = reply.status;
  if (reply.status != 204) res.set_content(JsonText(reply.body), "application/json");
}

}  // namespace

AppServer::AppServer(AppServerFolders folders)
    : folders_(std::move(folders)), server_(std::make_unique<httplib::Server>()), token_(NewToken()) {}

AppServer::~AppServer() { Stop(); }

void AppServer::OnGet(const std::string& path, ApiHandler handler) { gets_[path] = std::move(handler); }
void AppServer::OnUpload(const std::string& path, UploadHandler handler) {
  uploads_[path] = std::move(handler);
}

void AppServer::OnPost(const std::string& path, ApiHandler handler) {
  posts_[path] = std::move(handler);
}
void AppServer::OnCommand(CommandHandler handler) { command_ = std::move(handler); }
void AppServer::OnLive(LiveFetcher fetch) { live_ = std::move(fetch); }
void AppServer::OnIndex(std::function<std::string()> page) { index_ = std::move(page); }

void AppServer::SetDataFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(mutex_);
  folders_.data = folder;
}

std::string AppServer::DataFolder() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return folders_.data;
}

std::string AppServer::address() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

std::string AppServer::Bind(int port) {
  server_->set_payload_max_length(kMaxUploadBytes);
  // Address reuse only: with port reuse, as the library sets by default, a
  // second program could listen on our port and take half the requests.
  server_->set_socket_options([](int sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  });
  // An answer goes out in two writes (head, then body): without this the
  // second waits for the browser's delayed acknowledgement, some 40 ms a
  // request.
  server_->set_tcp_nodelay(true);
  // A window polls while it loads pages, lists and archived copies on
  // connections of its own: a connection is kept for many requests, and
  // enough threads serve them that a new one is not left waiting.
  server_->set_keep_alive_max_count(kRequestsPerConnection);
  server_->new_task_queue = [] { return new httplib::ThreadPool(kServingThreads); };
  RegisterRoutes();
  if (port == 0) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) return "no port of 127.0.0.1 could be bound";
  } else {
    if (!server_->bind_to_port("127.0.0.1", port)) {
      return "port " + std::to_string(port) + " of 127.0.0.1 is taken or cannot be bound";
    }
    port_ = port;
  }
  return "";
}

void AppServer::Run() { server_->listen_after_bind(); }

void AppServer::Stop() {
  if (server_) server_->stop();
}

void AppServer::RegisterRoutes() {
  // Every request: addressed to this application by its own name, and a
  // request that changes something sent by its own pages.
  server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!IsOwnHost(req.get_header_value("Host"), port_)) {
      Refuse(res, 421, "This application answers only to 127.0.0.1 and localhost.");
      return httplib::Server::HandlerResponse::Handled;
    }
    // A live page is fetched for the application's own frame only, so that
    // no other site uses it to reach addresses it could not.
    const bool changes = req.method != "GET" || req.path.rfind(kCommandPath, 0) == 0 ||
                         req.path == "/live";
    if (changes && !IsOwnRequest(SourceOf(req), port_, token_)) {
      Refuse(res, 403, "Commands are taken only from the application's own pages.");
      return httplib::Server::HandlerResponse::Handled;
    }
    // No page of another site may show the application in a frame.
    res.set_header("X-Frame-Options", "SAMEORIGIN");
    res.set_header("X-Content-Type-Options", "nosniff");
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server_->Get("/", [this](const httplib::Request&, httplib::Response& res) {
    ServeFile(FileInside(folders_.web, index_ ? index_() : "index.html"), res);
  });
  server_->Get(R"(/web/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    ServeFile(FileInside(folders_.web, req.matches[1].str()), res);
  });
  server_->Get(R"(/pages/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    ServeFile(FileInside(DataFolder() + "/html", req.matches[1].str()), res);
  });
  server_->Get(R"(/data/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    ServeDataFile(req, FileInside(DataFolder(), req.matches[1].str()), res);
  });
  server_->Get("/datafile", [this](const httplib::Request& req, httplib::Response& res) {
    // Map files are named as the engine writes them, "file://" and a path.
    std::string path = req.get_param_value("path");
    if (path.rfind("file://", 0) == 0) path.erase(0, 7);
    ServeDataFile(req, AbsoluteFileInside(DataFolder(), path), res);
  });
  server_->Get("/live", [this](const httplib::Request& req, httplib::Response& res) {
    if (!live_) return Refuse(res, 404, "There is no such request.");
    const std::string address = req.get_param_value("url");
    if (!IsWebAddress(address)) {
      res.status = 400;
      ServeFramedDocument(req, FramedMessagePage("Only web addresses can be shown: " + address),
                          "text/html; charset=utf-8", "", res);
      return;
    }
    ServeLivePage(req, live_(address), res);
  });
  server_->Get(R"(/localservlets/.*)", [this](const httplib::Request& req, httplib::Response& res) {
    const std::optional<std::string> command = CommandText(req.target);
    if (!command) return Refuse(res, 404, "There is no such request.");
    if (command_) command_(*command);
    // 204: the frame that followed the link stays on its page.
    res.status = 204;
  });
  server_->Get(R"(/api/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    const auto handler = gets_.find(req.matches[1].str());
    if (handler == gets_.end()) return Refuse(res, 404, "There is no such request.");
    std::map<std::string, std::string> query(req.params.begin(), req.params.end());
    Answer(handler->second(query, nullptr), res);
  });
  server_->Post(R"(/api/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    std::map<std::string, std::string> query(req.params.begin(), req.params.end());
    const auto upload = uploads_.find(req.matches[1].str());
    if (upload != uploads_.end()) return Answer(upload->second(query, req.body), res);
    const auto handler = posts_.find(req.matches[1].str());
    if (handler == posts_.end()) return Refuse(res, 404, "There is no such request.");
    if (req.body.size() > kMaxRequestBytes) return Refuse(res, 413, "The request is too large.");
    nlohmann::json body = nlohmann::json::parse(req.body, nullptr, /*allow_exceptions=*/false);
    if (!req.body.empty() && body.is_discarded()) {
      return Refuse(res, 400, "The request is not well-formed JSON.");
    }
    Answer(handler->second(query, body), res);
  });
  // The front's files also stand at the top, as its pages name them
  // relatively ("js/main.js"); registered last, so every route above wins.
  server_->Get(R"(/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    ServeFile(FileInside(folders_.web, req.matches[1].str()), res);
  });
  // A handler that throws answers 500 with its message; the server goes on.
  server_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
        std::string what = "internal error";
        try {
          if (error) std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
          // Not an exception of ours: the generic text stands.
        }
        Refuse(res, 500, what);
      });
}

}  // namespace qora
