// The application's server with the frame's requests: live pages fetched
// from a site on 127.0.0.1 and archived copies of the data folder, each
// sandboxed with only the frame agent allowed to run.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "shell/app_server.h"
#include "shell/frame_requests.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

// A page that tries everything a hostile page tries: an inline script, a
// script of its own site, an event handler and a script address, each
// reaching for the application's API.
constexpr char kHostilePage[] =
    "<!DOCTYPE html><html><head><title>Tides</title>"
    "<script>fetch('/api/settings',{method:'POST',body:'{}'})</script>"
    "<script src=\"/evil.js\"></script></head>"
    "<body onload=\"fetch('/api/stop')\"><a href=\"javascript:fetch('/api/stop')\">x</a>"
    "<a href=\"next.htm\">next</a> tidal power</body></html>";

class FrameServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() + "web/js");
    fs::create_directories(dir_.path() + "data/libs/tides");
    test::WriteFile(dir_.path() + "web/index.html", "<title>front</title>");
    test::WriteFile(dir_.path() + "web/js/frame_agent.js", "'agent';");
    test::WriteFile(dir_.path() + "data/libs/tides/1.htm", kHostilePage);
    test::WriteFile(dir_.path() + "data/se.ini",
                    "[engine1]\nname = Tide Search\nurl = https://t.example/s\n"
                    "pre_query_string = ?q=\npost_query_string = &n=\n");
    server_ =
        std::make_unique<AppServer>(AppServerFolders{dir_.path() + "web", dir_.path() + "data"});
    server_->OnLive(FetchLivePage);
    ASSERT_EQ(server_->Bind(0), "");
    thread_ = std::thread([this] { server_->Run(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
    // Answered only once the server runs, so that Stop finds it running.
    ASSERT_TRUE(client_->Get("/"));
  }
  void TearDown() override {
    server_->Stop();
    thread_.join();
  }

  httplib::Result Get(const std::string& path) {
    return client_->Get(path.c_str(), httplib::Headers{{"Sec-Fetch-Site", "same-origin"}});
  }

  // Checks that `res` is a sandboxed document whose only allowed script is
  // the agent, and returns its nonce.
  std::string ExpectFramed(const httplib::Result& res) {
    const std::string policy = res->get_header_value("Content-Security-Policy");
    std::smatch match;
    const std::regex form(
        "sandbox allow-scripts allow-modals; script-src 'nonce-([0-9a-f]{32})'; object-src 'none'");
    EXPECT_TRUE(std::regex_match(policy, match, form)) << policy;
    if (match.size() != 2) return "";
    const std::string nonce = match[1];
    const std::string agent = "<script nonce=\"" + nonce +
                              "\" src=\"http://127.0.0.1:" + std::to_string(server_->port()) +
                              "/web/js/frame_agent.js\"></script>";
    EXPECT_NE(res->body.find(agent), std::string::npos) << res->body;
    // The agent is the only element that carries the nonce.
    EXPECT_EQ(res->body.find(nonce), res->body.rfind(nonce));
    return nonce;
  }

  test::TempDir dir_;
  std::unique_ptr<AppServer> server_;
  std::thread thread_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(FrameServerTest, ALivePageIsSandboxedWithItsOwnScriptsRefusedAndItsBase) {
  test::TinySite site(std::map<std::string, std::string>{{"/dir/page.htm", kHostilePage}});
  const std::string address = site.Url("/dir/page.htm");
  auto res = Get("/live?url=" + test::PercentEncoded(address));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html");
  ExpectFramed(res);
  EXPECT_NE(res->body.find("</script><base href=\"" + address + "\"><title>Tides</title>"),
            std::string::npos)
      << res->body;
  // The page itself is there, unchanged.
  EXPECT_NE(res->body.find("<script src=\"/evil.js\"></script>"), std::string::npos);

  // Two fetches get two nonces: a page cannot know the next one.
  EXPECT_NE(ExpectFramed(Get("/live?url=" + test::PercentEncoded(address))), ExpectFramed(res));
}

TEST_F(FrameServerTest, OnlyWebAddressesAreFetchedAndFailuresAreShownAsPages) {
  for (const std::string& address :
       {std::string("file:///etc/passwd"), std::string("/api/settings"), std::string("")}) {
    auto res = Get("/live?url=" + test::PercentEncoded(address));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400) << address;
    EXPECT_EQ(res->body.find("root:"), std::string::npos);
    ExpectFramed(res);
  }
  int port = 0;
  {
    test::TinySite gone({});
    port = std::stoi(gone.Url("").substr(std::string("http://127.0.0.1:").size()));
  }
  auto res = Get("/live?url=" + test::PercentEncoded("http://127.0.0.1:" + std::to_string(port) + "/<b>"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 502);
  EXPECT_NE(res->body.find("The page could not be shown: "), std::string::npos);
  ExpectFramed(res);
}

TEST_F(FrameServerTest, OtherSitesCannotUseTheApplicationToFetchPages) {
  test::TinySite site(std::map<std::string, std::string>{{"/p", "<p>x</p>"}});
  auto res = client_->Get(("/live?url=" + test::PercentEncoded(site.Url("/p"))).c_str(),
                          httplib::Headers{{"Sec-Fetch-Site", "cross-site"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 403);
  EXPECT_EQ(res->body.find("<p>x</p>"), std::string::npos);
}

TEST_F(FrameServerTest, AnArchivedCopyGetsTheAgentAndThePolicyAndOtherFilesOnlyTheSandbox) {
  auto res = Get("/datafile?path=" + test::PercentEncoded("file://" + dir_.path() + "data/libs/tides/1.htm"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  ExpectFramed(res);
  EXPECT_EQ(res->body.find("<base"), std::string::npos);
  res = Get("/data/se.ini");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "sandbox");
  // The agent itself is served to the sandboxed pages as a script.
  res = client_->Get("/web/js/frame_agent.js");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST_F(FrameServerTest, TheSearchEnginesComeFromTheDataFolder) {
  const nlohmann::json engines = SearchEnginesJson(dir_.path() + "data/");
  ASSERT_EQ(engines.size(), 5u);
  EXPECT_EQ(engines[0], nlohmann::json({{"name", "Tide Search"},
                                        {"url", "https://t.example/s"},
                                        {"pre", "?q="},
                                        {"post", "&n="}}));
  EXPECT_EQ(engines[4],
            nlohmann::json({{"name", "engine"}, {"url", " "}, {"pre", " "}, {"post", " "}}));
  EXPECT_EQ(SearchEnginesJson(dir_.path() + "nothing/").size(), 5u);
}

}  // namespace
}  // namespace qora
