#include "shell/app_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

// A server on a free port of 127.0.0.1 with a front, a data folder, one
// GET and one POST handler, and the commands it received.
class AppServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"web", "data/html", "data/tmp"}) {
      fs::create_directories(dir_.path() + folder);
    }
    test::WriteFile(dir_.path() + "web/index.html", "<title>front</title>");
    test::WriteFile(dir_.path() + "web/app.js", "export {};");
    test::WriteFile(dir_.path() + "data/html/map_.htm", "<p>map</p>");
    test::WriteFile(dir_.path() + "data/tmp/csummary.dml", "<dml/>");
    test::WriteFile(dir_.path() + "secret.txt", "outside");
    fs::create_directory_symlink(dir_.path(), dir_.path() + "data/escape");
    server_ = std::make_unique<AppServer>(
        AppServerFolders{dir_.path() + "web", dir_.path() + "data"});
    server_->OnGet("echo", [](const std::map<std::string, std::string>& query, const nlohmann::json&) {
      return ApiReply{200, {{"q", query.count("q") ? query.at("q") : ""}}};
    });
    server_->OnPost("sum", [](const std::map<std::string, std::string>&, const nlohmann::json& body) {
      if (!body.contains("a")) throw std::runtime_error("no a");
      return ApiReply{200, {{"sum", body["a"].get<int>() + 1}}};
    });
    server_->OnUpload("file", [](const std::map<std::string, std::string>& query, const std::string& bytes) {
      return ApiReply{200, {{"name", query.count("name") ? query.at("name") : ""}, {"bytes", bytes.size()},
                            {"nul", bytes.find('\0') != std::string::npos}}};
    });
    server_->OnCommand([this](const std::string& command) { commands_.push_back(command); });
    ASSERT_EQ(server_->Bind(0), "");
    thread_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    own_ = {{"Sec-Fetch-Site", "same-origin"}};
  }
  void TearDown() override {
    server_->Stop();
    thread_.join();
  }

  test::TempDir dir_;
  std::unique_ptr<AppServer> server_;
  std::thread thread_;
  std::unique_ptr<httplib::Client> client_;
  httplib::Headers own_;
  std::vector<std::string> commands_;
};

TEST_F(AppServerTest, ServesTheFrontPagesAndDataFilesButNothingOutside) {
  auto res = client_->Get("/");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "<title>front</title>");
  res = client_->Get("/web/app.js");
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  EXPECT_EQ(client_->Get("/app.js")->body, "export {};");  // as index.html names it
  EXPECT_EQ(client_->Get("/pages/map_.htm")->body, "<p>map</p>");
  const std::string dml = dir_.path() + "data/tmp/csummary.dml";
  res = client_->Get(("/datafile?path=" + test::PercentEncoded(dml)).c_str());
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "<dml/>");
  EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "sandbox");
  // No live pages without a fetcher.
  EXPECT_EQ(client_->Get("/live?url=http%3A%2F%2Fa.org%2F", own_)->status, 404);

  for (const std::string& path : std::vector<std::string>{
           "/web/../secret.txt", "/../secret.txt", "/%2e%2e/secret.txt", "/web/%2e%2e/secret.txt", "/data/escape/secret.txt",
        "/data/html/../../secret.txt", "/pages/", "/web/nothing.js",
        "/datafile?path=" + test::PercentEncoded(dir_.path() + "secret.txt"),
        "/datafile?path=" + test::PercentEncoded(dir_.path() + "data/escape/secret.txt"),
        std::string("/datafile?path=relative.dml")}) {
    res = client_->Get(path.c_str());
    ASSERT_TRUE(res) << path;
    EXPECT_NE(res->status, 200) << path;
    EXPECT_EQ(res->body.find("outside"), std::string::npos) << path;
  }
}

TEST_F(AppServerTest, OnlyItsOwnPagesCanChangeAnything) {
  // No fetch metadata, no origin, no token: refused.
  auto res = client_->Post("/api/sum", R"({"a": 1})", "application/json");
  EXPECT_EQ(res->status, 403);
  httplib::Headers other = {{"Sec-Fetch-Site", "cross-site"}};
  EXPECT_EQ(client_->Post("/api/sum", other, R"({"a": 1})", "application/json")->status, 403);
  other = {{"Sec-Fetch-Site", "same-site"}};  // another port of this machine
  EXPECT_EQ(client_->Get("/localservlets/queryKeywords?kw=a", other)->status, 403);
  other = {{"Origin", "http://127.0.0.1:1"}};
  EXPECT_EQ(client_->Post("/api/sum", other, R"({"a": 1})", "application/json")->status, 403);
  other = {{"Referer", "http://evil.example/x"}};
  EXPECT_EQ(client_->Post("/api/sum", other, R"({"a": 1})", "application/json")->status, 403);
  EXPECT_TRUE(commands_.empty());

  res = client_->Post("/api/sum", own_, R"({"a": 1})", "application/json");
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, R"({"sum":2})");
  const std::string own_origin = "http://localhost:" + std::to_string(server_->port());
  EXPECT_EQ(client_->Post("/api/sum", {{"Origin", own_origin}}, R"({"a": 2})", "application/json")
                ->status,
            200);
  EXPECT_EQ(client_->Post("/api/sum", {{"Referer", own_origin + "/pages/map_.htm"}},
                          R"({"a": 2})", "application/json")
                ->status,
            200);
  EXPECT_EQ(client_->Post("/api/sum", {{"X-Qora-Token", server_->token()}}, R"({"a": 2})",
                          "application/json")
                ->status,
            200);
  // GET of a reading request needs no origin.
  EXPECT_EQ(client_->Get("/api/echo?q=two%20words")->body, R"({"q":"two words"})");
}

TEST_F(AppServerTest, CommandUrlsDecodeOnlyBlanksAndLeaveTheFrameWhereItIs) {
  client_->set_url_encode(false);  // the address goes out as a browser sends it
  auto res = client_->Get("/localservlets/queryKeywords?kw=tidal+power%20now%2Bthen", own_);
  EXPECT_EQ(res->status, 204);
  EXPECT_EQ(res->body, "");
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(commands_[0], "queryKeywords?kw=tidal+power now%2Bthen");
  // A prefix written with an escape reaches the route (its path is decoded)
  // but is no command.
  EXPECT_EQ(client_->Get("/%6Cocalservlets/queryKeywords?kw=x", own_)->status, 404);
  EXPECT_EQ(commands_.size(), 1u);
}

TEST_F(AppServerTest, ForeignHostsAndBadRequestsAreRefusedAndTheServerStaysUp) {
  httplib::Headers rebound = {{"Host", "evil.example:" + std::to_string(server_->port())}};
  EXPECT_EQ(client_->Get("/", rebound)->status, 421);
  EXPECT_EQ(client_->Post("/api/sum", own_, "{not json", "application/json")->status, 400);
  auto res = client_->Post("/api/sum", own_, R"({"b": 1})", "application/json");
  EXPECT_EQ(res->status, 500);
  EXPECT_NE(res->body.find("no a"), std::string::npos) << res->body;
  EXPECT_EQ(client_->Post("/api/none", own_, "{}", "application/json")->status, 404);
  EXPECT_EQ(client_->Post("/api/sum", own_, std::string(5 << 20, ' '), "application/json")->status,
            413);
  EXPECT_EQ(client_->Get("/")->status, 200);
}

// A file arrives whole as the body, binary and beyond the JSON limit; a
// JSON request that large is refused, and both pass the own-origin check.
TEST_F(AppServerTest, UploadsTakeRawBytesThatJsonRequestsMayNotHave) {
  std::string bytes(5 << 20, 'x');
  bytes[10] = '\0';
  auto res = client_->Post("/api/file?name=a.pdf", own_, bytes, "application/octet-stream");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(nlohmann::json::parse(res->body),
            nlohmann::json({{"name", "a.pdf"}, {"bytes", 5 << 20}, {"nul", true}}));
  const std::string big = "{\"a\": 1, \"pad\": \"" + std::string(5 << 20, 'y') + "\"}";
  res = client_->Post("/api/sum", own_, big, "application/json");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
  res = client_->Post("/api/file?name=a.pdf", "%PDF", "application/octet-stream");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 403);
}

}  // namespace
}  // namespace qora
