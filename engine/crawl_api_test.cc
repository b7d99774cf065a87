#include "acquire/crawler.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analysis/cfg_file.h"
#include "engine/engine.h"
#include "qora/engine.h"
#include "store/document_id.h"
#include "tests/hostile_server.h"
#include "tests/pdf_builder.h"
#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using test::ReadFile;
using test::WriteFile;

std::string Page(const std::string& title, const std::string& body) {
  return "<html><head><title>" + title + "</title></head><body><p>" + title +
         " is a page of the test site with a few words of text.</p>" + body + "</body></html>";
}

// A page of exactly `size` bytes.
std::string PageOfSize(size_t size) {
  const std::string page = Page("Sized", "");
  const size_t body_end = page.find("</body>");
  return page.substr(0, body_end) + "<!--" + std::string(size - page.size() - 7, 'x') + "-->" +
         page.substr(body_end);
}

std::string Link(const std::string& href) { return "<a href=\"" + href + "\">link</a>\n"; }

// A minimal PDF with one line of text, its offsets computed as it is built.
std::string Pdf(const std::string& text) {
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
      "/Resources << /Font << /F1 5 0 R >> >> >>",
      "", "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"};
  const std::string stream = "BT /F1 12 Tf 72 720 Td (" + text + ") Tj ET";
  objects[3] = test::PdfStreamObject(stream);
  return test::AssemblePdf(objects, 0);
}

// A listening socket that never accepts: connections complete in the
// kernel and then hear nothing.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen";
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() {
    if (fd_ >= 0) ::close(fd_);
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A server whose every answer takes `delay`, each connection on a thread of
// its own and a listen queue long enough for thirty workers connecting at
// once; it records the most requests it was answering at the same time.
class ConcurrentServer {
 public:
  explicit ConcurrentServer(milliseconds delay) : delay_(delay) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd_, 128) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen";
      return;
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptAll(); });
  }
  ~ConcurrentServer() {
    ::shutdown(fd_, SHUT_RDWR);
    acceptor_.join();
    for (std::thread& answer : answers_) answer.join();
    ::close(fd_);
  }
  ConcurrentServer(const ConcurrentServer&) = delete;
  ConcurrentServer& operator=(const ConcurrentServer&) = delete;

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int Busiest() const { return busiest_; }
  int Answered() const { return answered_; }

 private:
  void AcceptAll() {
    for (;;) {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      answers_.emplace_back([this, client] { Answer(client); });
    }
  }
  void Answer(int client) {
    char buffer[2048];
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const int now = ++in_flight_;
    for (int seen = busiest_; now > seen && !busiest_.compare_exchange_weak(seen, now);) {
    }
    std::this_thread::sleep_for(delay_);
    const std::string body = Page("Slow page " + request.substr(0, request.find(' ', 4)), "");
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    --in_flight_;
    ++answered_;
    ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::close(client);
  }

  milliseconds delay_;
  int fd_ = -1;
  int port_ = 0;
  std::thread acceptor_;
  std::vector<std::thread> answers_;  // touched by the acceptor thread only
  std::atomic<int> in_flight_{0};
  std::atomic<int> busiest_{0};
  std::atomic<int> answered_{0};
};

// An HTTP server on a loopback address inside the test process. Pages are
// set before it starts; it counts the requests of every path and the most
// requests it answered at once.
class Site {
 public:
  explicit Site(std::string host) : host_(std::move(host)) {
    server_.new_task_queue = [] { return new httplib::ThreadPool(48); };
  }
  ~Site() { Stop(); }
  Site(const Site&) = delete;
  Site& operator=(const Site&) = delete;

  void Serve(const std::string& path, std::string body, std::string type = "text/html",
             milliseconds delay = milliseconds(0), int status = 200) {
    server_.Get(path, [this, path, body, type, delay, status](const httplib::Request&,
                                                              httplib::Response& response) {
      response.status = status;
      const int now = ++in_flight_;
      for (int seen = busiest_; now > seen && !busiest_.compare_exchange_weak(seen, now);) {
      }
      {
        std::lock_guard<std::mutex> hold(mutex_);
        ++requests_[path];
      }
      if (delay.count() > 0) std::this_thread::sleep_for(delay);
      response.set_content(body, type);
      --in_flight_;
    });
  }

  void Start() {
    port_ = server_.bind_to_any_port(host_);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(milliseconds(1));
  }
  void Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
  }

  std::string Url(const std::string& path) const {
    return "http://" + host_ + ":" + std::to_string(port_) + path;
  }
  int Requests(const std::string& path) {
    std::lock_guard<std::mutex> hold(mutex_);
    return requests_.count(path) ? requests_[path] : 0;
  }
  int TotalRequests() {
    std::lock_guard<std::mutex> hold(mutex_);
    int total = 0;
    for (const auto& [path, count] : requests_) total += count;
    return total;
  }
  int Busiest() const { return busiest_; }

 private:
  std::string host_;
  int port_ = 0;
  httplib::Server server_;
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, int> requests_;
  std::atomic<int> in_flight_{0};
  std::atomic<int> busiest_{0};
};

// `text` with the value of "key = ..." lines replaced.
std::string SetKey(std::string text, const std::string& key, const std::string& value) {
  const std::regex line("(^|\n)" + key + " *=[^\n]*");
  return std::regex_replace(text, line, "$1" + key + " = " + value);
}

// An engine on a copy of the installed data folder with the built page
// cleaner and PDF converter, one library, and a test web site: the main site
// on 127.0.0.1, a second host on 127.0.0.2.
class CrawlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = dir_.path() + "data/";
    fs::copy(test::SourceDataFolder(), data_, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, data_ + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, data_ + "hlp22.exe");
    SetCrawlIni({{"crawl_thread_count", "4"},
                 {"crawl_thread_timeout", "2"},
                 {"socket_send_timeout", "2000"},
                 {"socket_rec_timeout", "2000"},
                 {"max_html_size", "20000"}});
    EngineCreate();
    int result = -2;
    EngineStart(data_.c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    char* ident = nullptr;
    EngineCreateStore("Crawls", &ident, &store_);
    ASSERT_GT(store_, 0);
    EngineFreeString(ident);
  }
  void TearDown() override {
    main_.Stop();
    other_.Stop();
    EngineDestroy();
  }

  void SetCrawlIni(const std::map<std::string, std::string>& values) {
    std::string text = ReadFile(test::SourceDataFolder() + "crawl.ini");
    for (const auto& [key, value] : values) text = SetKey(text, key, value);
    WriteFile(data_ + "crawl.ini", text);
  }

  // The test site. Depth levels from index.html: a (1), a2 (2), a3 (3).
  void ServeSite() {
    other_.Serve("/elsewhere.html", Page("Elsewhere", Link("/beyond.html")));
    other_.Serve("/beyond.html", Page("Beyond", ""));
    other_.Start();
    main_.Serve("/index.html",
                Page("Index", Link("a.html") + Link("/program.exe") + Link("/ads/banner.html") +
                                  Link("/big.html") + Link("/doc.pdf") +
                                  Link(other_.Url("/elsewhere.html"))));
    main_.Serve("/a.html", Page("Level one", Link("a2.html") + Link("index.html")));
    main_.Serve("/a2.html", Page("Level two", Link("a3.html")));
    main_.Serve("/a3.html", Page("Level three", ""));
    main_.Serve("/program.exe", "MZ binary");
    main_.Serve("/ads/banner.html", Page("Advert", ""));
    main_.Serve("/big.html", Page("Big", "<p>" + std::string(30000, 'x') + "</p>"));
    main_.Serve("/gone.html", Page("Not Found", "The page you asked for is not here."),
                "text/html", milliseconds(0), 404);
    main_.Serve("/doc.pdf", Pdf("Tidal power turns the motion of the sea into electricity."),
                "application/pdf");
    main_.Serve("/frames.html",
                "<html><head><title>Frames</title></head><frameset cols=\"50%,50%\">"
                "<frame src=\"f1.html\"><frame src=\"f2.html\"></frameset></html>");
    main_.Serve("/top.html", Page("Top", Link("frames.html")));
    main_.Serve("/f1.html", Page("Frame one", Link("f1link.html")));
    main_.Serve("/f2.html", Page("Frame two", ""));
    main_.Serve("/f1link.html", Page("Frame link", Link("f1deeper.html")));
    main_.Serve("/f1deeper.html", Page("Frame deeper", ""));
    main_.Serve("/fits.html", PageOfSize(19999));  // the fetcher reports 20000
    main_.Serve("/over.html", PageOfSize(20000));  // the fetcher reports 20001
    for (int i = 0; i < 40; ++i) {
      const std::string n = std::to_string(i);
      main_.Serve("/p" + n + ".html", Page("Numbered page " + n, ""));
      main_.Serve("/slow" + n + ".html", Page("Slow page " + n, ""), "text/html",
                  milliseconds(300));
    }
    main_.Start();
  }

  DocumentStore* Store() { return CurrentEngine()->FindStore(store_); }
  EngineEnvironment* Env() { return &CurrentEngine()->environment(); }
  std::string Cache() { return Store()->web().cache_folder; }
  std::string Id(const std::string& address) { return MakeDocumentId(address); }

  std::vector<std::string> TableLines() { return test::FileLines(Store()->web().TablePath()); }

  // The ids the web "cache.chx" lists, each once, with their files present.
  std::set<std::string> StoredIds() {
    std::set<std::string> ids;
    for (const std::string& line : TableLines()) {
      const std::string id = line.substr(0, line.find('|'));
      EXPECT_TRUE(ids.insert(id).second) << "listed twice: " << line;
      EXPECT_TRUE(fs::exists(Cache() + id + ".dml")) << line;
      EXPECT_TRUE(fs::exists(Cache() + id + ".htm") || fs::exists(Cache() + id + ".pdf")) << line;
    }
    return ids;
  }

  // Every file of the web cache folder belongs to a listed document.
  void ExpectOnlyListedFiles() {
    const std::set<std::string> ids = StoredIds();
    for (const auto& entry : fs::directory_iterator(Cache())) {
      const std::string name = entry.path().filename().string();
      if (name == "cache.chx" || name == ".keep") continue;
      EXPECT_EQ(ids.count(name.substr(0, name.find('.'))), 1u) << name;
    }
  }

  // Requests a stop of the running operation once `path` of the main site
  // has been asked for.
  void StopOnceRequested(const std::string& path) {
    while (main_.Requests(path) == 0) std::this_thread::sleep_for(milliseconds(5));
    int stop = -2;
    EngineSetStop(1, &stop);
  }
  // Requests a stop of the running operation once the file `path` exists.
  void StopOnceExists(const std::string& path) {
    for (int i = 0; i < 2000 && !fs::exists(path); ++i) {
      std::this_thread::sleep_for(milliseconds(5));
    }
    int stop = -2;
    EngineSetStop(1, &stop);
  }
  // Makes the page cleaner take 1.6 seconds over a page that contains
  // "SLOW-CLEANING", creating the returned file when it begins. A worker
  // busy with such a page cannot notice a stop before it is done (a fetch
  // notices it at once).
  std::string UseSlowCleaner() {
    const std::string marker = dir_.path() + "cleaning-begun";
    const std::string cleaner = data_ + "cln.exe";
    fs::remove(cleaner);
    WriteFile(cleaner, "#!/bin/sh\nif grep -q SLOW-CLEANING \"$1\"; then : > '" + marker +
                           "'; sleep 1.6; fi\nexec '" + QORA_PAGE_CLEANER + "' \"$@\"\n");
    fs::permissions(cleaner, fs::perms::owner_all);
    return marker;
  }
  // Withdraws the stop request.
  void ClearStop() {
    int stop = -2;
    EngineSetStop(0, &stop);
  }

  int Crawl(const std::string& start, const std::string& parameters) {
    int result = -2;
    EngineAddFromWeb(store_, start.c_str(), parameters.c_str(), &result);
    return result;
  }

  test::TempDir dir_;
  std::string data_;
  int store_ = -1;
  Site main_{"127.0.0.1"};
  Site other_{"127.0.0.2"};
};

TEST_F(CrawlerTest, BlankStartTextFetchesNothing) {
  ServeSite();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  EXPECT_EQ(crawler.CrawlWeb("", "dpth=2"), -1);
  EXPECT_EQ(crawler.CrawlWeb(" \n\t  ", "dpth=2"), -1);
  EXPECT_EQ(Crawl("   ", ""), 0);
  EXPECT_EQ(main_.TotalRequests(), 0);
  EXPECT_TRUE(TableLines().empty());
}

TEST_F(CrawlerTest, StartAddressesAreNormalizedAndQueuedOnce) {
  SetCrawlIni({{"crawl_thread_count", "0"}});  // no workers: nothing is fetched
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  ASSERT_EQ(crawler.CrawlWeb("example.invalid/\thttp://example.invalid\n  http://Other.invalid/x/",
                             "dpth=1"),
            0);
  ASSERT_EQ(crawler.queuedCount(), 2);
  EXPECT_EQ(crawler.frontier().at(0).address, "http://example.invalid");
  EXPECT_EQ(crawler.frontier().at(0).depth, 0);
  EXPECT_EQ(crawler.frontier().at(1).address, "http://Other.invalid/x");
  EXPECT_EQ(crawler.settings().maxDepth, 1);
  EXPECT_EQ(crawler.settings().sitesDone, 0);
}

TEST_F(CrawlerTest, CrawlsTheSiteDownToTheDepthWithFiltersAndBudgets) {
  ServeSite();
  ASSERT_EQ(Crawl(main_.Url("/index.html"), "dpth=2&maxsites=100&maxdocs=50"), 0);
  const std::set<std::string> ids = StoredIds();
  const std::set<std::string> expected = {
      Id(main_.Url("/index.html")),      Id(main_.Url("/a.html")),
      Id(main_.Url("/a2.html")),         Id(main_.Url("/doc.pdf")),
      Id(other_.Url("/elsewhere.html")), Id(other_.Url("/beyond.html"))};
  EXPECT_EQ(ids, expected);
  EXPECT_EQ(main_.Requests("/a3.html"), 0);          // depth 3
  EXPECT_EQ(main_.Requests("/program.exe"), 0);      // don't-fetch type
  EXPECT_EQ(main_.Requests("/ads/banner.html"), 0);  // negative address
  EXPECT_EQ(main_.Requests("/big.html"), 1);         // fetched, too large to keep
  EXPECT_EQ(main_.Requests("/index.html"), 1);       // queued once though linked twice
  EXPECT_TRUE(fs::exists(Cache() + Id(main_.Url("/doc.pdf")) + ".pdf"));
  EXPECT_NE(ReadFile(Cache() + Id(main_.Url("/doc.pdf")) + ".dml").find("Tidal power"),
            std::string::npos);
  EXPECT_NE(ReadFile(Cache() + Id(main_.Url("/a.html")) + ".dml").find("Level one"),
            std::string::npos);
  // The archived copy opens with its banner.
  EXPECT_EQ(ReadFile(Cache() + Id(main_.Url("/a.html")) + ".htm").rfind("<base href=", 0), 0u);
  ExpectOnlyListedFiles();
  EXPECT_EQ(Store()->web().table.size(), 0u);  // emptied at the end

  // A second crawl of the same site stores nothing twice and keeps the
  // archived copies; known pages are not followed.
  const std::string archived = ReadFile(Cache() + Id(main_.Url("/a.html")) + ".htm");
  ASSERT_EQ(Crawl(main_.Url("/index.html") + " " + main_.Url("/a3.html"), "dpth=2"), 0);
  EXPECT_EQ(TableLines().size(), expected.size() + 1);  // a3 as a start address
  EXPECT_EQ(StoredIds().count(Id(main_.Url("/a3.html"))), 1u);
  EXPECT_EQ(ReadFile(Cache() + Id(main_.Url("/a.html")) + ".htm"), archived);
  EXPECT_EQ(main_.Requests("/a.html"), 1);

  // The new documents are indexed by the next processing run.
  int result = -2;
  EngineProcessStore(store_, 0, &result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(fs::exists(Store()->web().index_folder + Id(main_.Url("/a2.html")) + ".idx"));
}

TEST_F(CrawlerTest, SameSiteRuleNeverQueuesLinksToOtherHosts) {
  ServeSite();
  ASSERT_EQ(Crawl(main_.Url("/index.html"), "dpth=1&crwl_rule=1"), 0);
  EXPECT_EQ(other_.TotalRequests(), 0);
  const std::set<std::string> ids = StoredIds();
  EXPECT_EQ(ids.count(Id(main_.Url("/a.html"))), 1u);
  EXPECT_EQ(ids.count(Id(other_.Url("/elsewhere.html"))), 0u);
}

TEST_F(CrawlerTest, DepthZeroFetchesOnlyTheStartAddresses) {
  ServeSite();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  ASSERT_EQ(crawler.CrawlWeb(main_.Url("/index.html"), "dpth=0"), 0);
  EXPECT_EQ(main_.TotalRequests(), 1);
  EXPECT_EQ(StoredIds(), std::set<std::string>{Id(main_.Url("/index.html"))});
  // Its links were queued one level deeper, and skipped.
  ASSERT_GT(crawler.queuedCount(), 1);
  const CacheEntry& a = crawler.frontier().Find(Id(main_.Url("/a.html")));
  ASSERT_TRUE(a.found());
  EXPECT_EQ(a.depth, 1);
  EXPECT_EQ(crawler.settings().docsDone, 1);
  EXPECT_EQ(crawler.settings().sitesDone, 1);
}

TEST_F(CrawlerTest, FramesAreQueuedAtDepthZeroAndWidenTheAddressBudget) {
  ServeSite();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  ASSERT_EQ(crawler.CrawlWeb(main_.Url("/top.html"), "dpth=1&maxsites=100"), 0);
  const CacheEntry& f1 = crawler.frontier().Find(Id(main_.Url("/f1.html")));
  ASSERT_TRUE(f1.found());
  EXPECT_EQ(f1.depth, 0);
  const std::set<std::string> ids = StoredIds();
  EXPECT_EQ(ids.count(Id(main_.Url("/f1.html"))), 1u);
  EXPECT_EQ(ids.count(Id(main_.Url("/f2.html"))), 1u);
  EXPECT_EQ(ids.count(Id(main_.Url("/f1link.html"))), 1u);  // depth 1 from a frame
  EXPECT_EQ(main_.Requests("/f1deeper.html"), 0);           // depth 2
  EXPECT_EQ(crawler.settings().maxSites, 102);              // two frames
}

TEST_F(CrawlerTest, DocumentAndAddressBudgetsEndTheCrawl) {
  SetCrawlIni({{"crawl_thread_count", "1"}, {"socket_rec_timeout", "2000"}});
  ServeSite();
  std::string start;
  for (int i = 0; i < 10; ++i) start += main_.Url("/p" + std::to_string(i) + ".html") + " ";
  {
    Crawler crawler(Store(), Env());
    crawler.ReadSettings();
    ASSERT_EQ(crawler.CrawlWeb(start, "dpth=1&maxdocs=3"), 0);
    EXPECT_EQ(crawler.settings().docsDone, 3);
    EXPECT_EQ(StoredIds().size(), 3u);
  }
  {
    Crawler crawler(Store(), Env());
    crawler.ReadSettings();
    ASSERT_EQ(crawler.CrawlWeb(start, "dpth=1&maxsites=5"), 0);
    // Addresses past a budget are still counted, unfetched, until the
    // supervisor ends the crawl.
    EXPECT_GE(crawler.settings().sitesDone, 5);
    EXPECT_EQ(crawler.settings().docsDone, 2);
    EXPECT_EQ(StoredIds().size(), 5u);  // 3 known, p3 and p4 new
  }
  {
    // Each page adds the length of its text (a known one too): the first is
    // over the budget.
    Crawler crawler(Store(), Env());
    crawler.ReadSettings();
    ASSERT_EQ(crawler.CrawlWeb(start, "dpth=1&maxbytes=10"), 0);
    EXPECT_GE(crawler.settings().bytesDone, 10);
    EXPECT_EQ(crawler.settings().docsDone, 0);
  }
  EXPECT_EQ(main_.Requests("/p0.html"), 3);
  EXPECT_EQ(main_.Requests("/p2.html"), 2);
  EXPECT_EQ(main_.Requests("/p3.html"), 1);
  EXPECT_EQ(main_.Requests("/p5.html"), 0);
  EXPECT_EQ(StoredIds().size(), 5u);
}

TEST_F(CrawlerTest, TheDocumentAndByteBudgetsHoldWhenManyWorkersCommitAtOnce) {
  // Twenty workers fetch twenty slow pages at once and finish them at about
  // the same time: each passed the budget check before the first stored, so
  // only the check in the commit step keeps the crawl to its two documents.
  // Several rounds, each into a library of its own, make the race likely.
  SetCrawlIni({{"crawl_thread_count", "20"}});
  ServeSite();
  std::string start;
  for (int i = 0; i < 40; ++i) start += main_.Url("/slow" + std::to_string(i) + ".html") + " ";
  for (int round = 0; round < 3; ++round) {
    char* ident = nullptr;
    EngineCreateStore(("Budget " + std::to_string(round)).c_str(), &ident, &store_);
    ASSERT_GT(store_, 0);
    EngineFreeString(ident);
    ASSERT_EQ(Crawl(start, "dpth=0&maxdocs=2&maxsites=100"), 0);
    EXPECT_EQ(StoredIds().size(), 2u) << "round " << round;
    ExpectOnlyListedFiles();
  }
  // Likewise the byte budget: the first stored page uses it up, so no other
  // is stored.
  char* ident = nullptr;
  EngineCreateStore("Byte budget", &ident, &store_);
  ASSERT_GT(store_, 0);
  EngineFreeString(ident);
  ASSERT_EQ(Crawl(start, "dpth=0&maxbytes=1&maxsites=100"), 0);
  EXPECT_EQ(StoredIds().size(), 1u);
  ExpectOnlyListedFiles();
}

TEST_F(CrawlerTest, TheTableIsWrittenBeforeEveryTwentiethAddress) {
  ServeSite();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  crawler.settings().maxDepth = 5;
  for (int i = 0; i < 20; ++i) {
    crawler.threadCrawlSingleURL(main_.Url("/p" + std::to_string(i) + ".html"), 0);
  }
  EXPECT_EQ(crawler.settings().sitesDone, 20);
  EXPECT_EQ(crawler.settings().docsDone, 20);
  EXPECT_TRUE(TableLines().empty());
  crawler.threadCrawlSingleURL(main_.Url("/p20.html"), 0);
  EXPECT_EQ(TableLines().size(), 20u);
  EXPECT_EQ(StoredIds().count(Id(main_.Url("/p19.html"))), 1u);
  EXPECT_EQ(StoredIds().count(Id(main_.Url("/p20.html"))), 0u);
  crawler.threadCrawlSingleURL(main_.Url("/p21.html"), 0);
  EXPECT_EQ(TableLines().size(), 20u);
}

TEST_F(CrawlerTest, LinesOfDirectCallsAreWrittenByTheNextRunOrAtTheEnd) {
  ServeSite();
  {
    Crawler crawler(Store(), Env());
    crawler.ReadSettings();
    crawler.threadCrawlSingleURL(main_.Url("/p0.html"), 0);  // writes nothing yet
    crawler.threadCrawlSingleURL(main_.Url("/p1.html"), 0);
    EXPECT_TRUE(TableLines().empty());
    ASSERT_EQ(crawler.CrawlWeb(main_.Url("/p2.html"), "dpth=0"), 0);
    EXPECT_EQ(TableLines().size(), 3u);
    crawler.threadCrawlSingleURL(main_.Url("/p3.html"), 0);
    crawler.threadCrawlSingleURL(main_.Url("/p1.html"), 0);  // known: stored once
  }
  EXPECT_EQ(StoredIds().size(), 4u);
  EXPECT_EQ(TableLines().size(), 4u);
  ExpectOnlyListedFiles();
}

TEST_F(CrawlerTest, AtMostThirtyWorkersRun) {
  SetCrawlIni({{"crawl_thread_count", "40"}});
  ConcurrentServer slow(milliseconds(1500));  // long enough for all 30 to start, also under a sanitizer
  std::string start;
  for (int i = 0; i < 40; ++i) start += slow.Url("/slow" + std::to_string(i) + ".html") + "\n";
  ASSERT_EQ(Crawl(start, "dpth=0&maxsites=100"), 0);
  EXPECT_EQ(slow.Busiest(), 30);
  EXPECT_EQ(slow.Answered(), 40);
  EXPECT_EQ(StoredIds().size(), 40u);
}

TEST_F(CrawlerTest, UnansweredOversizedAndErrorPagesAreCountedAndNotStored) {
  // A receive time-out of one second ends the silent address soon, and
  // leaves the test site time to answer also under a sanitizer on a slow
  // machine (with 300 ms, "/gone.html" was often never asked for there).
  SetCrawlIni(
      {{"crawl_thread_count", "2"}, {"socket_rec_timeout", "1000"}, {"max_html_size", "20000"}});
  ServeSite();
  SilentServer silent;
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(crawler.CrawlWeb(silent.Url("/never.html") + " " + main_.Url("/big.html") + " " +
                                 main_.Url("/gone.html") + " " + main_.Url("/unserved.html"),
                             "dpth=0"),
            0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
  EXPECT_EQ(main_.Requests("/gone.html"), 1);
  EXPECT_EQ(crawler.settings().sitesDone, 4);  // error pages count as handled
  EXPECT_EQ(crawler.settings().docsDone, 0);
  EXPECT_TRUE(StoredIds().empty());
  ExpectOnlyListedFiles();
}

TEST_F(CrawlerTest, TheSizeLimitIsTakenFromTheSizeTheFetcherReports) {
  ServeSite();  // max_html_size is 20000
  ASSERT_EQ(PageOfSize(20000).size(), 20000u);
  ASSERT_EQ(Crawl(main_.Url("/fits.html") + " " + main_.Url("/over.html"), "dpth=0"), 0);
  EXPECT_EQ(main_.Requests("/over.html"), 1);
  EXPECT_EQ(StoredIds(), std::set<std::string>{Id(main_.Url("/fits.html"))});
  ExpectOnlyListedFiles();
}

TEST_F(CrawlerTest, AStopKeepsTheDocumentsFetchedSoFar) {
  SetCrawlIni({{"crawl_thread_count", "2"}});
  ServeSite();
  std::string start;
  for (int i = 0; i < 40; ++i) start += main_.Url("/slow" + std::to_string(i) + ".html") + " ";
  int result = -2;
  std::thread operation([&] { result = Crawl(start, "dpth=0&maxsites=100"); });
  StopOnceRequested("/slow5.html");
  operation.join();
  ClearStop();
  EXPECT_EQ(result, 0);
  // slow0 to slow3 were done before a worker took slow5; the fetches in
  // flight when the stop came were cut off.
  const std::set<std::string> ids = StoredIds();
  EXPECT_GE(ids.size(), 4u);
  EXPECT_LT(ids.size(), 12u);
  EXPECT_EQ(ids.count(Id(main_.Url("/slow0.html"))), 1u);
  EXPECT_EQ(main_.Requests("/slow39.html"), 0);
  ExpectOnlyListedFiles();
}

TEST_F(CrawlerTest, AbandonedWorkersLeaveTheLibraryAlone) {
  // One worker, busy cleaning a page for 1.6 seconds when the stop comes;
  // the stop wait is one second, so the worker is abandoned. (The run waits
  // for the page processing to end before it lets go of the environment,
  // so the worker lingers only briefly after that.)
  SetCrawlIni({{"crawl_thread_count", "1"}, {"crawl_thread_timeout", "1"}});
  const std::string cleaning = UseSlowCleaner();
  main_.Serve("/first.html", Page("First", Link("late.html")));
  main_.Serve("/late.html", Page("Late SLOW-CLEANING", Link("never.html")));
  main_.Serve("/never.html", Page("Never", ""));
  main_.Start();
  int result = -2;
  int abandoned = -1;
  std::string before;
  std::string status;
  const std::string folder = Store()->StoreFolder();
  const std::string late_dml = Cache() + Id(main_.Url("/late.html")) + ".dml";
  {
    Crawler crawler(Store(), Env());
    crawler.ReadSettings();
    std::thread operation([&] { result = crawler.CrawlWeb(main_.Url("/first.html"), "dpth=3"); });
    StopOnceExists(cleaning);
    operation.join();
    abandoned = crawler.abandonedWorkers();
    before = test::FolderSnapshot(folder);
    status = Env()->EnvironmentGetStatus();
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(abandoned, 1);
  EXPECT_EQ(StoredIds(), std::set<std::string>{Id(main_.Url("/first.html"))});
  // The library is closed while the worker may linger: it holds nothing of it.
  EngineCloseStore(store_, &result);
  ClearStop();
  for (int i = 0; i < 400 && Crawler::LingeringWorkers() > 0; ++i) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_EQ(Crawler::LingeringWorkers(), 0);
  EXPECT_EQ(main_.Requests("/late.html"), 1);   // it was asked for
  EXPECT_EQ(main_.Requests("/never.html"), 0);  // but nothing came of it
  EXPECT_FALSE(fs::exists(late_dml));
  EXPECT_EQ(test::FolderSnapshot(folder), before);
  EXPECT_EQ(Env()->EnvironmentGetStatus(), status);
}

TEST_F(CrawlerTest, WorkersWaitingForLinksKeepTheCrawlGoing) {
  // Thirty workers and one address at a time: while one worker fetches and
  // processes a page, the others find the frontier empty and wait for its
  // links, and the crawl goes on down to the depth.
  SetCrawlIni({{"crawl_thread_count", "30"}, {"max_html_size", "20000"}});
  ServeSite();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(crawler.CrawlWeb(main_.Url("/index.html"), "dpth=2&maxsites=100&maxdocs=50"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(30));
  const std::set<std::string> expected = {
      Id(main_.Url("/index.html")),      Id(main_.Url("/a.html")),
      Id(main_.Url("/a2.html")),         Id(main_.Url("/doc.pdf")),
      Id(other_.Url("/elsewhere.html")), Id(other_.Url("/beyond.html"))};
  EXPECT_EQ(StoredIds(), expected);
  EXPECT_EQ(crawler.abandonedWorkers(), 0);
  EXPECT_EQ(Crawler::LingeringWorkers(), 0);
}

TEST_F(CrawlerTest, AStopReachesWorkersWaitingForWork) {
  // Four workers, one address: three wait for work while the fourth is in a
  // 1.6-second page cleaning when the stop comes. The waiting ones end and
  // are joined; only the busy one outlasts the one-second stop wait.
  SetCrawlIni({{"crawl_thread_count", "4"}, {"crawl_thread_timeout", "1"}});
  const std::string cleaning = UseSlowCleaner();
  main_.Serve("/late.html", Page("Late SLOW-CLEANING", Link("never.html")));
  main_.Serve("/never.html", Page("Never", ""));
  main_.Start();
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  int result = -2;
  std::thread operation([&] { result = crawler.CrawlWeb(main_.Url("/late.html"), "dpth=3"); });
  StopOnceExists(cleaning);
  operation.join();
  ClearStop();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(crawler.abandonedWorkers(), 1);
  EXPECT_TRUE(StoredIds().empty());
  for (int i = 0; i < 800 && Crawler::LingeringWorkers() > 0; ++i) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  EXPECT_EQ(Crawler::LingeringWorkers(), 0);
  EXPECT_EQ(main_.Requests("/never.html"), 0);
  EXPECT_TRUE(StoredIds().empty());
}

// Bounded fetches: a page is not read past the page limit,
// a fetch ends at its overall deadline however the server trickles, and a
// stop ends the fetches in flight.

constexpr int64_t kMiB = 1024 * 1024;

TEST_F(CrawlerTest, HugePagesAreCutAtThePageLimitAndNotStored) {
  // Four workers on four addresses that would each send 300 MB: each fetch
  // stops once the page passes max_html_size (20000 bytes).
  SetCrawlIni({{"crawl_thread_count", "4"}, {"max_html_size", "20000"}});
  ServeSite();
  test::HostileServer flood(test::HostileServer::Kind::kFlood, 300 * kMiB);
  ASSERT_GT(flood.port(), 0);
  std::string start = main_.Url("/p0.html");
  for (int i = 0; i < 4; ++i) start += " " + flood.Url("/huge" + std::to_string(i) + ".html");
  {
    // A crawl of ordinary pages first, so that what any crawl costs (the
    // workers' threads, the first page processing) is paid before the peak
    // is measured.
    Crawler warm_up(Store(), Env());
    warm_up.ReadSettings();
    ASSERT_EQ(warm_up.CrawlWeb(main_.Url("/p1.html") + " " + main_.Url("/p2.html") + " " +
                                   main_.Url("/p3.html") + " " + main_.Url("/p4.html"),
                               "dpth=0"),
              0);
  }
  const bool reset = test::ResetPeakResident();
  const int64_t base = test::ProcessStatusBytes(reset ? "VmRSS:" : "VmHWM:");
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(crawler.CrawlWeb(start, "dpth=0"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  EXPECT_EQ(crawler.settings().sitesDone, 5);
  EXPECT_EQ(StoredIds().size(), 5u);  // the four of the warm-up and p0
  EXPECT_EQ(StoredIds().count(Id(main_.Url("/p0.html"))), 1u);
  ExpectOnlyListedFiles();
  EXPECT_EQ(flood.Requests(), 4);
  EXPECT_TRUE(flood.WaitUntilAllClosed(std::chrono::seconds(5)));
  // What the socket buffers on the way held besides, not 4 x 300 MB.
  EXPECT_LT(flood.BytesSent(), 64 * kMiB);
  const int64_t peak = test::ProcessStatusBytes("VmHWM:");
  ASSERT_GT(base, 0);
  EXPECT_LT(peak - base, 100 * kMiB);
}

TEST_F(CrawlerTest, AServerThatDripsEndsAtTheFetchDeadline) {
  // One byte every 200 ms restarts the 300-ms receive time-out each time;
  // the fetch's deadline (300 + 2 x 300 ms) ends it. The server would go on
  // for ten seconds.
  SetCrawlIni(
      {{"crawl_thread_count", "2"}, {"socket_send_timeout", "300"}, {"socket_rec_timeout", "300"}});
  test::HostileServer drip(test::HostileServer::Kind::kDrip, 50, milliseconds(200));
  ASSERT_GT(drip.port(), 0);
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(crawler.CrawlWeb(drip.Url("/drip.html"), "dpth=0"), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
  EXPECT_EQ(crawler.settings().sitesDone, 1);
  EXPECT_EQ(crawler.settings().docsDone, 0);
  EXPECT_EQ(crawler.abandonedWorkers(), 0);
  EXPECT_TRUE(StoredIds().empty());
}

TEST_F(CrawlerTest, AStopEndsTheFetchesInFlightAtOnce) {
  // One worker in a fetch that its time-outs would let run for twelve
  // seconds, and a stop wait of ten: the stop ends the fetch, and the crawl,
  // at once.
  SetCrawlIni({{"crawl_thread_count", "1"},
               {"crawl_thread_timeout", "10"},
               {"socket_send_timeout", "4000"},
               {"socket_rec_timeout", "4000"}});
  test::HostileServer drip(test::HostileServer::Kind::kDrip, 50, milliseconds(200));
  ASSERT_GT(drip.port(), 0);
  Crawler crawler(Store(), Env());
  crawler.ReadSettings();
  int result = -2;
  std::thread operation([&] { result = crawler.CrawlWeb(drip.Url("/drip.html"), "dpth=0"); });
  ASSERT_TRUE(drip.WaitForRequest(std::chrono::seconds(5)));
  std::this_thread::sleep_for(milliseconds(300));
  const auto stopped = std::chrono::steady_clock::now();
  int stop = -2;
  EngineSetStop(1, &stop);
  operation.join();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, milliseconds(1000));
  EXPECT_EQ(Env()->EnvironmentGetStatus(), "Stop requested. Please wait...");
  ClearStop();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(crawler.abandonedWorkers(), 0);
  EXPECT_EQ(Crawler::LingeringWorkers(), 0);
  EXPECT_EQ(crawler.settings().sitesDone, 1);
  EXPECT_TRUE(StoredIds().empty());
  EXPECT_TRUE(drip.WaitUntilAllClosed(std::chrono::seconds(2)));
}

// The stop flag is cleared at the start of every crawl: after a
// stop, the next crawl of the same engine still fetches and stores.
TEST_F(CrawlerTest, AStopOfAnEarlierOperationDoesNotEndTheNextCrawl) {
  ServeSite();
  int stop = -2;
  EngineSetStop(1, &stop);
  ASSERT_EQ(Crawl(main_.Url("/p0.html") + " " + main_.Url("/p1.html"), "dpth=0"), 0);
  EXPECT_EQ(StoredIds(), (std::set<std::string>{Id(main_.Url("/p0.html")),
                                                 Id(main_.Url("/p1.html"))}));
  EngineSetStop(1, &stop);
  ASSERT_EQ(Crawl(main_.Url("/p2.html"), "dpth=0"), 0);
  EXPECT_EQ(StoredIds().count(Id(main_.Url("/p2.html"))), 1u);
  EXPECT_EQ(main_.Requests("/p2.html"), 1);
}

TEST_F(CrawlerTest, EntryPointAnswersForMissingStoresAndSettings) {
  int result = -2;
  EngineAddFromWeb(99999, "http://127.0.0.1:1/", "", &result);
  EXPECT_EQ(result, 1);
  fs::remove(data_ + "crawl.ini");
  EXPECT_EQ(Crawl("http://127.0.0.1:1/", "dpth=0"), -1);
  EXPECT_TRUE(TableLines().empty());
}

}  // namespace
}  // namespace qora
