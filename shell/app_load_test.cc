// `qora serve` under load, on 127.0.0.1 only: clients poll the status and
// fetch pages and lists without pause while a crawl runs and while
// researches run. No request may fail except by the busy refusal, and the
// latencies are reported. Then malformed and oversized requests, each of
// which must get a 4xx answer while the server stays up.
//
// Every phase is bounded in time and every client in its count of requests.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/spawned_program.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kPollers = 6;
constexpr int kReaders = 6;
constexpr int kRequestsPerClient = 1500;
constexpr auto kPhaseLimit = std::chrono::seconds(20);

// What the clients of one phase saw.
struct Tally {
  std::mutex mutex;
  std::vector<double> latencies_ms;
  int busy_refusals = 0;
  std::vector<std::string> failures;
  std::string slowest;
  double slowest_ms = 0;
  Clock::time_point begin = Clock::now();

  void Add(double ms, int status, const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex);
    latencies_ms.push_back(ms);
    if (ms > slowest_ms) {
      slowest_ms = ms;
      slowest = what;
    }
    if (status == 409) {
      ++busy_refusals;
    } else if (status < 200 || status >= 300) {
      if (failures.size() < 10) failures.push_back(what + " -> " + std::to_string(status));
    }
  }

  double Percentile(double p) {
    std::sort(latencies_ms.begin(), latencies_ms.end());
    if (latencies_ms.empty()) return 0;
    const size_t at = static_cast<size_t>(p / 100.0 * static_cast<double>(latencies_ms.size() - 1));
    return latencies_ms[at];
  }

  void Report(const std::string& phase) {
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const auto slow = std::count_if(latencies_ms.begin(), latencies_ms.end(),
                                    [](double ms) { return ms > 500; });
    std::printf("[ load ] %s: %zu requests by %d clients in %.1f s, %d busy refusals, %zu failed; "
                "latency p50 %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms (%s), %ld over 500 ms\n",
                phase.c_str(), latencies_ms.size(), kPollers + kReaders, seconds, busy_refusals,
                failures.size(), Percentile(50), Percentile(90), Percentile(99), Percentile(100),
                slowest.c_str(), static_cast<long>(slow));
    std::fflush(stdout);
  }
};

// A site whose pages each link ten more and take 40 ms to come: a crawl of
// it lasts seconds.
class SlowSite {
 public:
  SlowSite() {
    server_.Get(R"(/p(\d+)\.html)", [](const httplib::Request& req, httplib::Response& res) {
      std::this_thread::sleep_for(milliseconds(40));
      const int n = std::stoi(req.matches[1].str());
      std::string links;
      for (int j = 1; j <= 10; ++j) {
        const std::string next = std::to_string(n * 10 + j);
        links += "<a href=\"/p" + next + ".html\">page " + next + "</a> ";
      }
      res.set_content(test::Page("Page " + std::to_string(n),
                                 "Volcanoes erupt lava and ash near the reef. " + links),
                      "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~SlowSite() {
    server_.stop();
    thread_.join();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

class AppLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "data/";
    settings_ = dir_.path() + "settings.ini";
    ASSERT_EQ(Qora({"init", data_}), 0) << Log();
    ASSERT_EQ(Qora({"lib", "new", "Sample"}), 0) << Log();
    ASSERT_EQ(Qora({"add-folder", "Sample", std::string(QORA_SOURCE_DIR) + "/samples/library"}), 0)
        << Log();
    // The crawl of the internet dialog takes its depth and budgets from the
    // settings.
    test::WriteFile(settings_, "[Main]\nrootFolder=" + data_ +
                                   "\n[Settings]\ngracefullyTerminated=1\n"
                                   "[CrawlerOptions]\nDpth=3\nMaxSites=300\nMaxDocs=300\nMaxKB=100000\n");
    port_ = test::FreePort();
    server_ = test::SpawnProgram(
        {QORA_PROGRAM, "serve", "--no-browser", "--port", std::to_string(port_)},
        {"QORA_SETTINGS=" + settings_, "HOME=" + dir_.path(), "XDG_RUNTIME_DIR=" + dir_.path(),
         "QORA_WEB=" + std::string(QORA_SOURCE_DIR) + "/web", "PATH=/usr/bin:/bin"},
        dir_.path() + "log.txt");
    ASSERT_GT(server_, 0);
    ASSERT_TRUE(WaitUntil([this] { return Status().find("\"busy\":false") != std::string::npos; }))
        << Log();
  }

  void TearDown() override {
    if (server_ > 0) {
      ::kill(server_, SIGTERM);
      EXPECT_EQ(test::WaitForExit(server_, std::chrono::seconds(30)), 0) << Log();
    }
  }

  int Qora(std::vector<std::string> words) {
    words.insert(words.begin(), {QORA_PROGRAM, "--data", data_});
    return test::WaitForExit(
        test::SpawnProgram(std::move(words),
                           {"QORA_SETTINGS=" + dir_.path() + "none.ini", "PATH=/usr/bin:/bin"},
                           dir_.path() + "log.txt"),
        std::chrono::minutes(1));
  }
  std::string Log() { return test::ReadFile(dir_.path() + "log.txt"); }

  httplib::Client Client() {
    httplib::Client client("127.0.0.1", port_);
    // Commands are taken from the application's own pages only.
    client.set_default_headers({{"Origin", "http://127.0.0.1:" + std::to_string(port_)}});
    client.set_keep_alive(true);
    client.set_read_timeout(std::chrono::seconds(30));
    return client;
  }
  std::string Status() {
    auto res = Client().Get("/api/poll");
    return res ? res->body : "";
  }
  bool Post(const std::string& path, const std::string& body) {
    auto res = Client().Post(path, body, "application/json");
    return res && res->status / 100 == 2;
  }
  static bool WaitUntil(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + kPhaseLimit;
    while (!done()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(50));
    }
    return true;
  }

  // Runs the clients until `running` turns false (or the phase's time is
  // up); `tally` gets every answer.
  void Load(const std::atomic<bool>& running, Tally* tally) {
    const std::vector<std::string> reads = {"/",
                                            "/js/main.js",
                                            "/api/libraries",
                                            "/api/settings",
                                            "/api/start",
                                            "/api/engines",
                                            "/api/scratch"};
    std::vector<std::thread> clients;
    const auto deadline = Clock::now() + kPhaseLimit;
    for (int c = 0; c < kPollers + kReaders; ++c) {
      clients.emplace_back([&, c] {
        httplib::Client client = Client();
        for (int i = 0; i < kRequestsPerClient && running && Clock::now() < deadline; ++i) {
          const std::string path =
              c < kPollers ? "/api/poll?after=0" : reads[static_cast<size_t>(i) % reads.size()];
          const auto begin = Clock::now();
          auto res = client.Get(path);
          const double ms =
              std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
          tally->Add(ms, res ? res->status : -1,
                     path + (res ? "" : " (" + httplib::to_string(res.error()) + ")"));
        }
      });
    }
    for (std::thread& client : clients) client.join();
  }

  test::TempDir dir_;
  std::string data_;
  std::string settings_;
  int port_ = 0;
  pid_t server_ = -1;
};

// The identifier of the only library.
std::string OnlyLibrary(httplib::Client* client) {
  auto res = client->Get("/api/libraries");
  if (!res) return "";
  const size_t at = res->body.find("\"ident\":\"");
  if (at == std::string::npos) return "";
  const size_t begin = at + 9;
  return res->body.substr(begin, res->body.find('"', begin) - begin);
}

TEST_F(AppLoadTest, ClientsAreServedWhileACrawlAndResearchesRun) {
  httplib::Client control = Client();
  const std::string ident = OnlyLibrary(&control);
  ASSERT_FALSE(ident.empty());

  {
    SlowSite site;
    Tally tally;
    std::atomic<bool> running{true};
    ASSERT_TRUE(Post("/api/acquire", R"({"kind":"internet","mode":"crawl","addresses":[")" +
                                         site.Url("/p1.html") + R"("],"target":{"library":")" +
                                         ident + R"("}})"));
    std::thread load([&] { Load(running, &tally); });
    const bool ended = WaitUntil([&] {
      return Status().find("\"busy\":false") != std::string::npos;
    });
    running = false;
    load.join();
    EXPECT_TRUE(ended) << "the crawl did not end within the phase";
    // The sample library had 43 documents; the crawl added to them.
    auto listed = control.Get("/api/manager");
    ASSERT_TRUE(listed);
    const size_t count = listed->body.find("\"documents\":");
    ASSERT_NE(count, std::string::npos) << listed->body;
    const int documents = std::atoi(listed->body.c_str() + count + 12);
    EXPECT_GT(documents, 43 + 20) << listed->body;
    tally.Report("crawl (" + std::to_string(documents - 43) + " pages stored)");
    EXPECT_EQ(tally.failures, std::vector<std::string>());
    EXPECT_GT(tally.latencies_ms.size(), 100u);
  }

  Tally tally;
  std::atomic<bool> running{true};
  std::thread load([&] { Load(running, &tally); });
  int researches = 0;
  const auto until = Clock::now() + std::chrono::seconds(4);
  while (Clock::now() < until) {
    ASSERT_TRUE(Post("/api/research", R"({"kind":"keywords","text":"volcano lava database index",)"
                                      R"("libraries":[")" + ident + R"("]})"));
    ++researches;
    ASSERT_TRUE(WaitUntil([&] { return Status().find("\"busy\":false") != std::string::npos; }));
  }
  running = false;
  load.join();
  tally.Report("researches (" + std::to_string(researches) + ")");
  EXPECT_EQ(tally.failures, std::vector<std::string>());
  EXPECT_GT(researches, 1);
}

// Sends `request` as it stands on a connection of its own; the status of
// the answer, or -1 when none came.
int RawStatus(int port, const std::string& request) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{10, 0};
  ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(sock);
    return -1;
  }
  // The server may answer and close before all of a huge request is sent.
  ::send(sock, request.data(), request.size(), MSG_NOSIGNAL);
  char head[64] = {};
  const ssize_t got = ::recv(sock, head, sizeof head - 1, 0);
  ::close(sock);
  int status = -1;
  if (got > 12) std::sscanf(head, "HTTP/1.%*d %d", &status);
  return status;
}

TEST_F(AppLoadTest, MalformedAndOversizedRequestsGetA4xxAndTheServerStaysUp) {
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port_) + "\r\n";
  const std::string origin = "Origin: http://127.0.0.1:" + std::to_string(port_) + "\r\n";
  const auto post = [&](const std::string& path, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\n" + host + origin +
           "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
  };
  const auto get = [&](const std::string& target, const std::string& headers = "") {
    return "GET " + target + " HTTP/1.1\r\n" + host + headers + "Connection: close\r\n\r\n";
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"not HTTP at all", "HELLO THERE\r\n\r\n"},
      {"no host of ours", "GET /api/start HTTP/1.1\r\nHost: evil.example\r\n\r\n"},
      {"unknown route", get("/api/no-such-thing")},
      {"bad poll number", get("/api/poll?after=soon")},
      {"bad percent escape", get("/%zz%")},
      {"path out of the folder", get("/../../etc/passwd")},
      {"huge address", get("/" + std::string(200 * 1024, 'a'))},
      {"huge header", get("/api/start", "X-Filler: " + std::string(200 * 1024, 'b') + "\r\n")},
      {"not JSON", post("/api/research", "{\"kind\": ")},
      {"JSON of the wrong shape", post("/api/research", "[1, 2, 3]")},
      {"research of no kind", post("/api/research", R"({"kind":"dreams"})")},
      {"acquisition of no kind", post("/api/acquire", R"({"kind":"everything"})")},
      {"oversized JSON", post("/api/settings", "\"" + std::string(5 * 1024 * 1024, 'c') + "\"")},
      {"upload out of its folder", post("/api/upload?name=../../escape.html", "<p>x</p>")},
      {"command without origin",
       "POST /api/command HTTP/1.1\r\n" + host +
           "Content-Type: application/json\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}"},
      {"length beyond the body", "POST /api/research HTTP/1.1\r\n" + host + origin +
                                     "Content-Length: 99999999999999999999\r\n\r\n{}"},
  };
  for (const auto& [what, request] : cases) {
    const int status = RawStatus(port_, request);
    EXPECT_GE(status, 400) << what;
    EXPECT_LT(status, 500) << what;
    auto res = Client().Get("/api/start");
    ASSERT_TRUE(res) << "the server is down after: " << what;
    EXPECT_EQ(res->status, 200) << what;
  }
}

}  // namespace
}  // namespace qora
