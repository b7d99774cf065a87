#include "tests/fake_search_engines.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/test_util.h"

namespace qora::test {
namespace {

constexpr char kPageOne[] =
    "<html><body><ol><li class=\"r\"><a href=\"http://ads.example/buy\">Buy</a></li></ol>\n"
    "<!-- results -->\n<ol>\n"
    "<li class=\"r\"><a href=\"http://example.org/tides/\">Tidal <b>power</b> basics</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/report.PDF\">Annual report</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/a%2Fb\">Escaped address</a></li>\n"
    "<li class=\"r\"><a href=\"http://example.org/broken</li>\n"
    "<li class=\"r\"><a href=\"http://example.org/shared/\">Shared hit</a></li>\n"
    "</ol></body></html>\n";

constexpr char kPageTwo[] =
    "<html><div id=\"results\">\n"
    "<h3><a href=\"http://example.org/early\" class=\"t\">Too early</a></h3>\n"
    "<div class=\"list\">\n"
    "<h3><a href=\"http://example.org/shared\" class=\"t\">Shared again</a></h3>\n"
    "<h3><a href=\"http://example.org/wind\" class=\"t\">Wind <i>farms</i></a></h3>\n"
    "</div></html>\n";

// Redirection links that carry the escaped target.
constexpr char kRedirectionPage[] =
    "<html><form>...</form><div id=\"links\" class=\"results\">\n"
    "<div class=\"result\"><h2 class=\"result__title\"><a rel=\"nofollow\" "
    "class=\"result__a\" href=\"//duckduckgo.com/l/?uddg=https%3A%2F%2Fexample.org%2Ftides%2F"
    "&amp;rut=abc123\">Tidal <b>power</b></a></h2></div>\n"
    "<div class=\"result\"><h2 class=\"result__title\"><a rel=\"nofollow\" "
    "class=\"result__a\" href=\"//duckduckgo.com/l/?uddg=https%3A%2F%2Fexample.org%2Fwave.pdf"
    "\">Wave report</a></h2></div>\n</div></html>";

// Lets a handler wait until the test opens it.
class Gate {
 public:
  void WaitUpTo(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, wait, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// The raw query text of a request as it was sent.
std::string QueryText(const httplib::Request& request) {
  const size_t question = request.target.find('?');
  return question == std::string::npos ? "" : request.target.substr(question + 1);
}

}  // namespace

struct FakeSearchEngines::Server {
  httplib::Server http;
  std::thread thread;
  int port = 0;
  Gate held;
  mutable std::mutex seen_mutex;
  std::vector<std::string> seen;

  void Seen(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(seen_mutex);
    seen.push_back(request.path + "?" + QueryText(request));
  }

  // Serves `content` as HTML at `path`, noting each request.
  void Page(const char* path, std::string content) {
    http.Get(path, [this, content](const httplib::Request& request, httplib::Response& response) {
      Seen(request);
      response.set_content(content, "text/html");
    });
  }
};

EngineSection EngineOne() {
  return {"One", "/one", "<!-- results -->", "", "<li class=\"r\"><a href=\"", "\">", "</a>"};
}
EngineSection EngineTwo() {
  return {"Two",      "/two", "<div id=\"results\">", "<div class=\"list\">", "<h3><a href=\"",
          "\"[^>]*>", "</a>"};
}
EngineSection BrokenEngine() { return {"Broken", "/one", "results", "", "([", "\">", "</a>"}; }
EngineSection NoMarkEngine() {
  return {"NoMark", "/one", "<div id=\"nothing\">", "", "<li", ">", "<"};
}
EngineSection LocalEngine() {
  return {"Local", "/local", "<!-- results -->", "", "<li class=\"r\"><a href=\"", "\">", "</a>"};
}

FakeSearchEngines::FakeSearchEngines() : server_(std::make_unique<Server>()) {
  Server& s = *server_;
  s.Page("/one", kPageOne);
  s.Page("/two", kPageTwo);
  s.Page("/html/", kRedirectionPage);
  s.port = s.http.bind_to_any_port("127.0.0.1");
  const std::string site = Site();
  s.Page("/local", "<!-- results -->\n<li class=\"r\"><a href=\"" + site +
                       "/page/a/\">Page a</a></li>\n<li class=\"r\"><a href=\"" + site +
                       "/page/b\">Page b</a></li>\n<li class=\"r\"><a href=\"" + site +
                       "/page/a\">Page a again</a>\n");
  s.http.Get(R"(/page/(\w+))", [&s](const httplib::Request& request, httplib::Response& response) {
    s.Seen(request);
    const std::string name = request.matches[1];
    response.set_content("<html><head><title>Tides " + name + "</title></head><body><p>Page " +
                             name +
                             " tells of tidal power and the moon that drives it.</p>"
                             "<a href=\"/page/deeper\">deeper</a></body></html>",
                         "text/html");
  });
  s.http.Get("/held", [&s](const httplib::Request& request, httplib::Response& response) {
    s.Seen(request);
    s.held.WaitUpTo(std::chrono::seconds(20));
    response.set_content(kPageOne, "text/html");
  });
  if (s.port <= 0) return;
  s.thread = std::thread([&s] { s.http.listen_after_bind(); });
  while (!s.http.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FakeSearchEngines::~FakeSearchEngines() {
  server_->held.Open();
  server_->http.stop();
  if (server_->thread.joinable()) server_->thread.join();
}

int FakeSearchEngines::port() const { return server_->port; }

std::string FakeSearchEngines::Site() const {
  return "http://127.0.0.1:" + std::to_string(server_->port);
}

void FakeSearchEngines::WriteDefinitions(const std::string& data_folder,
                                         const std::vector<EngineSection>& engines) const {
  std::string text = "% fake search engines of the test\n";
  for (size_t i = 0; i < engines.size(); ++i) {
    const EngineSection& e = engines[i];
    text += "[engine" + std::to_string(i + 1) + "]\nname = " + e.name + "\nurl = " + Site() +
            e.path + "\npre_query_string = ?q=\npost_query_string = &n=\n" +
            "cuestring1 = " + e.cue1 + "\ncuestring2 = " + e.cue2 + "\nhitstring = " + e.hit +
            "\nsepstring1 = " + e.sep1 + "\nsepstring2 = " + e.sep2 + "\n\n";
  }
  WriteFile(data_folder + "se.ini", text);
}

void FakeSearchEngines::WriteControl(const std::string& data_folder,
                                     const std::vector<std::string>& on) {
  std::string text = "[engines]\n";
  for (size_t i = 0; i < on.size(); ++i) {
    text += "engine" + std::to_string(i + 1) + " = " + on[i] + "\n";
  }
  text +=
      "[result_count]\nengine1 = 10\nengine2 = 20\nengine3 = 30\n"
      "engine4 = 40\nengine5 = 50\n";
  WriteFile(data_folder + "se_ctrl.ini", text);
}

std::vector<std::string> FakeSearchEngines::SeenRequests() const {
  std::lock_guard<std::mutex> lock(server_->seen_mutex);
  return server_->seen;
}

void FakeSearchEngines::OpenGate() { server_->held.Open(); }

}  // namespace qora::test
