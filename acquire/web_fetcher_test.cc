#include "acquire/web_fetcher.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/hostile_server.h"

namespace qora {
namespace {

using Clock = std::chrono::steady_clock;

// Short time-outs keep the failing cases to well under a second each.
constexpr int32_t kShortTimeoutMs = 300;
// How long a failing fetch with the short time-outs may take at most.
constexpr auto kTimeoutBound = std::chrono::milliseconds(2000);

std::string ContentText(const WebFetcher& fetcher) {
  if (fetcher.content() == nullptr) return "<none>";
  return std::string(fetcher.content(), static_cast<size_t>(fetcher.content_size()));
}

// `text` followed by the zero byte the fetcher appends.
std::string WithZero(const std::string& text) { return text + std::string(1, '\0'); }

// Several megabytes of every byte value, zero bytes included.
std::string LargeBody() {
  std::string body(6 * 1024 * 1024 + 17, '\0');
  uint32_t state = 12345;
  for (char& c : body) {
    state = state * 1103515245u + 12345u;
    c = static_cast<char>(state >> 24);
  }
  return body;
}

// A listening socket on 127.0.0.1 that the test drives by hand: it never
// answers, so connections complete in the kernel and then hear nothing.
class RawListener {
 public:
  explicit RawListener(int backlog) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, backlog) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen: " << std::strerror(errno);
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~RawListener() {
    for (int fd : clients_) ::close(fd);
    if (fd_ >= 0) ::close(fd_);
  }
  RawListener(const RawListener&) = delete;
  RawListener& operator=(const RawListener&) = delete;

  int port() const { return port_; }

  // Accepts one connection within `wait` and returns its first bytes ("" when
  // none came).
  std::string AcceptAndRead(std::chrono::milliseconds wait) {
    pollfd listening{fd_, POLLIN, 0};
    if (::poll(&listening, 1, static_cast<int>(wait.count())) != 1) return "";
    const int client = ::accept(fd_, nullptr, nullptr);
    if (client < 0) return "";
    clients_.push_back(client);
    pollfd incoming{client, POLLIN, 0};
    if (::poll(&incoming, 1, static_cast<int>(wait.count())) != 1) return "";
    char buffer[512];
    const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
  }

  // Opens a connection to the listener without waiting for it to complete,
  // to fill the listener's queue.
  void ConnectWithoutWaiting() {
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    clients_.push_back(client);
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::vector<int> clients_;
};

// Lets slow handlers wait until the test ends.
class Gate {
 public:
  void WaitUpTo(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    open_cv_.wait_for(lock, wait, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    open_cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable open_cv_;
  bool open_ = false;
};

// An HTTP server on 127.0.0.1 inside the test process, with the pages the
// tests fetch. It records the headers of the last request it answered.
class WebFetcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddPages();
    port_ = server_.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port_, 0);
    server_thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  void TearDown() override {
    gate_.Open();
    server_.stop();
    server_thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

  void Remember(const httplib::Request& request) {
    std::lock_guard<std::mutex> lock(seen_mutex_);
    seen_agent_ = request.get_header_value("User-Agent");
    seen_pragma_ = request.get_header_value("Pragma");
    seen_cookie_ = request.has_header("Cookie") ? request.get_header_value("Cookie") : "<none>";
  }

  void AddPages() {
    server_.Get("/page", [this](const httplib::Request& request, httplib::Response& response) {
      Remember(request);
      response.set_content(kPage, "text/html");
    });
    server_.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("", "text/html");
    });
    server_.Get("/large", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(large_body_, "application/octet-stream");
    });
    server_.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
      response.status = 404;
      response.set_content(kMissingPage, "text/html");
    });
    server_.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
      response.status = 500;
      response.set_content("server trouble", "text/plain");
    });
    server_.Get("/r1", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Set-Cookie", "session=abc; Path=/");
      response.set_redirect("/r2", 302);
    });
    server_.Get("/r2", [this](const httplib::Request&, httplib::Response& response) {
      response.set_redirect(Url("/page"), 301);
    });
    server_.Get("/to_https", [this](const httplib::Request&, httplib::Response& response) {
      std::lock_guard<std::mutex> lock(seen_mutex_);
      response.set_redirect(https_target_, 302);
    });
    server_.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("/loop", 302);
    });
    server_.Get("/slow", [this](const httplib::Request&, httplib::Response& response) {
      gate_.WaitUpTo(std::chrono::seconds(10));
      response.set_content("late", "text/plain");
    });
    server_.Get("/stall", [this](const httplib::Request&, httplib::Response& response) {
      response.set_chunked_content_provider("text/plain",
                                            [this](size_t offset, httplib::DataSink& sink) {
                                              if (offset == 0) {
                                                sink.write("first part", 10);
                                                return true;
                                              }
                                              gate_.WaitUpTo(std::chrono::seconds(10));
                                              sink.done();
                                              return true;
                                            });
    });
  }

  static constexpr char kPage[] = "<html><body>hello</body></html>";
  static constexpr char kMissingPage[] = "<html>not here</html>";

  httplib::Server server_;
  std::thread server_thread_;
  int port_ = 0;
  Gate gate_;
  const std::string large_body_ = LargeBody();

  std::mutex seen_mutex_;
  std::string seen_agent_;
  std::string seen_pragma_;
  std::string seen_cookie_;
  std::string https_target_;  // where "/to_https" redirects to
};

TEST(FetchAddressTest, PrefixesAddressesWithoutHttpScheme) {
  EXPECT_EQ(FetchAddress("host/a"), "http://host/a");
  EXPECT_EQ(FetchAddress("http://host/a"), "http://host/a");
  EXPECT_EQ(FetchAddress("https://host/a"), "https://host/a");
  // The prefix test is case-sensitive.
  EXPECT_EQ(FetchAddress("HTTP://host/a"), "http://HTTP://host/a");
  EXPECT_EQ(FetchAddress("ftp://host/a"), "http://ftp://host/a");
  EXPECT_EQ(FetchAddress(""), "http://");
}

TEST(WebFetcherStateTest, InitialState) {
  WebFetcher fetcher;
  EXPECT_EQ(fetcher.connect_receive_timeout(), 90000);
  EXPECT_EQ(fetcher.send_timeout(), 90000);
  EXPECT_EQ(fetcher.error_code(), 0);
  EXPECT_EQ(fetcher.error_text(), "");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);
  fetcher.ReleaseContent();  // nothing to free
  EXPECT_EQ(fetcher.content_size(), 0);
}

TEST_F(WebFetcherTest, FetchesAPageWithATrailingZeroByte) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/page"))) << fetcher.error_text();
  EXPECT_EQ(fetcher.content_size(), static_cast<int32_t>(std::strlen(kPage)) + 1);
  EXPECT_EQ(ContentText(fetcher), WithZero(kPage));
  EXPECT_EQ(fetcher.error_code(), 0);
  std::lock_guard<std::mutex> lock(seen_mutex_);
  EXPECT_EQ(seen_agent_, "QORA");
  EXPECT_EQ(seen_pragma_, "no-cache");
}

TEST_F(WebFetcherTest, AddressWithoutSchemeIsFetchedOverHttp) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch("127.0.0.1:" + std::to_string(port_) + "/page"))
      << fetcher.error_text();
  EXPECT_EQ(ContentText(fetcher), WithZero(kPage));
}

TEST_F(WebFetcherTest, AnEmptyResourceIsOneZeroByte) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/empty"))) << fetcher.error_text();
  ASSERT_NE(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 1);
  EXPECT_EQ(fetcher.content()[0], '\0');
}

TEST_F(WebFetcherTest, ALargeBodyArrivesWhole) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/large"))) << fetcher.error_text();
  ASSERT_EQ(fetcher.content_size(), static_cast<int32_t>(large_body_.size()) + 1);
  EXPECT_EQ(std::memcmp(fetcher.content(), large_body_.data(), large_body_.size()), 0);
  EXPECT_EQ(fetcher.content()[large_body_.size()], '\0');
}

TEST_F(WebFetcherTest, FollowsRedirectsWithoutSendingCookies) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/r1"))) << fetcher.error_text();
  // Only the final page is content; the redirect answers are not.
  EXPECT_EQ(ContentText(fetcher), WithZero(kPage));
  // The type and address are those of the final answer, not the redirect's.
  EXPECT_EQ(fetcher.final_address(), Url("/page"));
  EXPECT_NE(fetcher.content_type().find("text/html"), std::string::npos) << fetcher.content_type();
  std::lock_guard<std::mutex> lock(seen_mutex_);
  EXPECT_EQ(seen_cookie_, "<none>");  // the cookie of /r1 was not sent back
  EXPECT_EQ(seen_agent_, "QORA");
}

TEST_F(WebFetcherTest, FollowsARedirectFromHttpToHttps) {
  RawListener tls_side(4);
  {
    std::lock_guard<std::mutex> lock(seen_mutex_);
    https_target_ = "https://127.0.0.1:" + std::to_string(tls_side.port()) + "/secure";
  }
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  std::atomic<bool> result{true};
  std::thread fetching([&] { result = fetcher.Fetch(Url("/to_https")); });
  // The fetcher opens a TLS session on the redirect target: its first bytes
  // are a TLS handshake record (type 22, version 3.x).
  const std::string hello = tls_side.AcceptAndRead(std::chrono::seconds(5));
  fetching.join();
  ASSERT_GE(hello.size(), 3u);
  EXPECT_EQ(hello[0], '\x16');
  EXPECT_EQ(hello[1], '\x03');
  // The handshake never completes, so the fetch fails.
  EXPECT_FALSE(result);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
}

TEST_F(WebFetcherTest, AnEndlessRedirectLoopFails) {
  WebFetcher fetcher;
  EXPECT_FALSE(fetcher.Fetch(Url("/loop")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
}

TEST_F(WebFetcherTest, ErrorStatusPagesAreContentLikeAnyOther) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/missing"))) << fetcher.error_text();
  EXPECT_EQ(ContentText(fetcher), WithZero(kMissingPage));
  EXPECT_EQ(fetcher.response_status(), 404);
  ASSERT_TRUE(fetcher.Fetch(Url("/broken"))) << fetcher.error_text();
  EXPECT_EQ(ContentText(fetcher), WithZero("server trouble"));
  EXPECT_EQ(fetcher.response_status(), 500);
  // httplib's own answer for a path it does not serve.
  ASSERT_TRUE(fetcher.Fetch(Url("/nowhere"))) << fetcher.error_text();
  EXPECT_EQ(fetcher.content_size(), 1);
}

TEST_F(WebFetcherTest, ASlowAnswerTimesOut) {
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  fetcher.set_send_timeout(kShortTimeoutMs);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch(Url("/slow")));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(kShortTimeoutMs - 20));
  EXPECT_LT(took, kTimeoutBound);
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
  EXPECT_EQ(fetcher.content(), nullptr);
}

TEST_F(WebFetcherTest, AnAnswerThatStallsMidwayTimesOutAndKeepsNothing) {
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch(Url("/stall")));
  EXPECT_LT(Clock::now() - start, kTimeoutBound);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);
}

TEST(WebFetcherSocketTest, AServerThatNeverAnswersTimesOut) {
  RawListener silent(8);
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  fetcher.set_send_timeout(kShortTimeoutMs);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch("http://127.0.0.1:" + std::to_string(silent.port()) + "/"));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(kShortTimeoutMs - 20));
  EXPECT_LT(took, kTimeoutBound);
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
}

TEST(WebFetcherSocketTest, AConnectionThatCannotBeMadeTimesOut) {
  // A listener whose queue is full drops new connection attempts, so the
  // fetcher's connection never completes and only the connect time-out can
  // end the fetch.
  RawListener full(0);
  for (int i = 0; i < 4; ++i) full.ConnectWithoutWaiting();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch("http://127.0.0.1:" + std::to_string(full.port()) + "/"));
  EXPECT_LT(Clock::now() - start, kTimeoutBound);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
}

TEST(WebFetcherSocketTest, ARefusedConnectionFails) {
  int port = 0;
  {
    RawListener closed_soon(1);
    port = closed_soon.port();
  }
  WebFetcher fetcher;
  EXPECT_FALSE(fetcher.Fetch("http://127.0.0.1:" + std::to_string(port) + "/"));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
}

TEST_F(WebFetcherTest, ANewFetchFreesTheOldContentAlsoWhenItFails) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/page")));
  ASSERT_NE(fetcher.content(), nullptr);
  fetcher.set_connect_receive_timeout(kShortTimeoutMs);
  EXPECT_FALSE(fetcher.Fetch(Url("/slow")));
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);
  // The error stays until the next failure; a success brings content back.
  ASSERT_TRUE(fetcher.Fetch(Url("/empty")));
  EXPECT_EQ(fetcher.content_size(), 1);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
  fetcher.ReleaseContent();
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);
}

TEST_F(WebFetcherTest, BadTimeOutsFailBeforeAnythingIsSent) {
  WebFetcher fetcher;
  ASSERT_TRUE(fetcher.Fetch(Url("/page")));
  fetcher.set_connect_receive_timeout(-1);
  EXPECT_FALSE(fetcher.Fetch(Url("/page")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error setting Internet connect timeout");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);

  fetcher.set_connect_receive_timeout(1000);
  fetcher.set_send_timeout(-5);
  EXPECT_FALSE(fetcher.Fetch(Url("/page")));
  EXPECT_EQ(fetcher.error_text(), "Error setting Internet send timeout");
}

TEST_F(WebFetcherTest, ZeroTimeOutsMeanTheDefault) {
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(0);
  fetcher.set_send_timeout(0);
  ASSERT_TRUE(fetcher.Fetch(Url("/page"))) << fetcher.error_text();
  EXPECT_EQ(ContentText(fetcher), WithZero(kPage));
}

// Bounded fetches: in size, in time and by the caller.

constexpr int32_t kMiB = 1024 * 1024;

TEST_F(WebFetcherTest, ABodyOfTheLimitIsKeptAndOneByteMoreIsTooLarge) {
  const int32_t length = static_cast<int32_t>(std::strlen(kPage));
  WebFetcher fetcher;
  EXPECT_EQ(fetcher.max_body_bytes(), WebFetcher::kNoBodyLimit);
  fetcher.set_max_body_bytes(length);
  ASSERT_TRUE(fetcher.Fetch(Url("/page"))) << fetcher.error_text();
  EXPECT_EQ(ContentText(fetcher), WithZero(kPage));

  fetcher.set_max_body_bytes(length - 1);
  EXPECT_FALSE(fetcher.Fetch(Url("/page")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kTooLargeError);
  EXPECT_EQ(fetcher.error_text(), "Content too large");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);

  // An empty body fits a limit of 0; a negative limit counts as 0.
  fetcher.set_max_body_bytes(-7);
  EXPECT_EQ(fetcher.max_body_bytes(), 0);
  ASSERT_TRUE(fetcher.Fetch(Url("/empty"))) << fetcher.error_text();
  EXPECT_EQ(fetcher.content_size(), 1);
  EXPECT_FALSE(fetcher.Fetch(Url("/large")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kTooLargeError);
}

TEST(WebFetcherBoundsTest, AnEndlessBodyIsCutAtTheLimitAndNotKept) {
  // A server that would send 300 MB as fast as it is taken: the fetcher
  // stops reading once the body passes one megabyte.
  test::HostileServer flood(test::HostileServer::Kind::kFlood, int64_t{300} * kMiB);
  ASSERT_GT(flood.port(), 0);
  const bool reset = test::ResetPeakResident();
  const int64_t base = test::ProcessStatusBytes(reset ? "VmRSS:" : "VmHWM:");
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(5000);
  fetcher.set_send_timeout(5000);
  fetcher.set_max_body_bytes(kMiB);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch(flood.Url("/endless.html")));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kTooLargeError);
  EXPECT_EQ(fetcher.error_text(), "Content too large");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(fetcher.content_size(), 0);
  // The connection was closed: the server stops soon after, having sent
  // the limit and what the socket buffers on the way held, not 300 MB.
  EXPECT_TRUE(flood.WaitUntilAllClosed(std::chrono::seconds(5)));
  EXPECT_LT(flood.BytesSent(), int64_t{48} * kMiB);
  EXPECT_GE(flood.BytesSent(), int64_t{kMiB});
  // Nor did the process ever hold much of it.
  const int64_t peak = test::ProcessStatusBytes("VmHWM:");
  ASSERT_GT(base, 0);
  EXPECT_LT(peak - base, int64_t{64} * kMiB);
}

TEST(WebFetcherBoundsTest, ASlowDripEndsAtTheOverallDeadline) {
  // One byte every 200 ms keeps restarting the 500-ms receive time-out; the
  // deadline of 500 + 2 x 500 ms ends the fetch. (The server gives up after
  // 50 bytes, ten seconds.)
  test::HostileServer drip(test::HostileServer::Kind::kDrip, 50, std::chrono::milliseconds(200));
  ASSERT_GT(drip.port(), 0);
  WebFetcher fetcher;
  fetcher.set_connect_receive_timeout(500);
  fetcher.set_send_timeout(500);
  EXPECT_EQ(fetcher.overall_deadline_ms(), 1500);
  const auto start = Clock::now();
  EXPECT_FALSE(fetcher.Fetch(drip.Url("/drip.html")));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(1400));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_GE(drip.BytesSent(), 3);  // the drip did get through, and did not help
}

TEST(WebFetcherBoundsTest, TheOverallDeadlineFollowsTheTimeOuts) {
  EXPECT_EQ(WebFetcher::OverallDeadlineMs(20000, 20000), 60000);
  EXPECT_EQ(WebFetcher::OverallDeadlineMs(1000, 3000), 5000);
  // 0 is the default of 90000 for either.
  EXPECT_EQ(WebFetcher::OverallDeadlineMs(0, 0), 270000);
  // No overflow with the largest time-outs.
  EXPECT_EQ(WebFetcher::OverallDeadlineMs(INT32_MAX, INT32_MAX), int64_t{3} * INT32_MAX);
  WebFetcher fetcher;
  EXPECT_EQ(fetcher.overall_deadline_ms(), 270000);
}

TEST(WebFetcherBoundsTest, AStopCheckEndsATransferInFlight) {
  // Ten seconds of drip, far more than the stop needs.
  test::HostileServer drip(test::HostileServer::Kind::kDrip, 50, std::chrono::milliseconds(200));
  ASSERT_GT(drip.port(), 0);
  WebFetcher fetcher;  // default time-outs: 90 s each, a deadline of 270 s
  std::atomic<bool> stop{false};
  std::atomic<int> asked{0};
  fetcher.set_stop_check([&] {
    ++asked;
    return stop.load();
  });
  bool fetched = true;
  std::thread fetching([&] { fetched = fetcher.Fetch(drip.Url("/drip.html")); });
  ASSERT_TRUE(drip.WaitForRequest(std::chrono::seconds(5)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto stopped_at = Clock::now();
  stop = true;
  fetching.join();
  EXPECT_LT(Clock::now() - stopped_at,
            std::chrono::milliseconds(WebFetcher::kStopCheckPeriodMs + 400));
  EXPECT_FALSE(fetched);
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kStoppedError);
  EXPECT_EQ(fetcher.error_text(), "Fetch stopped");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_GE(asked.load(), 2);
  EXPECT_TRUE(drip.WaitUntilAllClosed(std::chrono::seconds(2)));
}

TEST(WebFetcherBoundsTest, AStopCheckThatAnswersAtOnceFetchesNothing) {
  test::HostileServer drip(test::HostileServer::Kind::kDrip, 10);
  ASSERT_GT(drip.port(), 0);
  WebFetcher fetcher;
  fetcher.set_stop_check([] { return true; });
  EXPECT_FALSE(fetcher.Fetch(drip.Url("/drip.html")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kStoppedError);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(drip.Requests(), 0);
}

TEST(WebFetcherBoundsTest, AnAnswerCutOffInItsHeaderIsNoEmptyPage) {
  // The status line came, then the connection closed in the middle of a
  // header line: libcurl alone would report an empty page of status 200.
  test::HostileServer cut(test::HostileServer::Kind::kHalfHeader, 0);
  ASSERT_GT(cut.port(), 0);
  WebFetcher fetcher;
  EXPECT_FALSE(fetcher.Fetch(cut.Url("/cut.html")));
  EXPECT_EQ(fetcher.error_code(), WebFetcher::kInternetError);
  EXPECT_EQ(fetcher.error_text(), "Error reading URL");
  EXPECT_EQ(fetcher.content(), nullptr);
  EXPECT_EQ(cut.Requests(), 1);
}

TEST_F(WebFetcherTest, AStopCheckThatNeverAnswersTrueChangesNothing) {
  WebFetcher fetcher;
  fetcher.set_stop_check([] { return false; });
  ASSERT_TRUE(fetcher.Fetch(Url("/large"))) << fetcher.error_text();
  EXPECT_EQ(fetcher.content_size(), static_cast<int32_t>(large_body_.size()) + 1);
}

}  // namespace
}  // namespace qora
