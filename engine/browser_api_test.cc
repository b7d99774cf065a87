#include <gtest/gtest.h>

#include <string>

#include "qora/engine.h"
#include "tests/hostile_server.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"

namespace qora {
namespace {

struct Fetched {
  int result = -7;
  std::string content;
  std::string type;
  std::string final_address;
};

// Fetches `address` through the entry point and frees what it handed out.
Fetched FetchPage(const std::string& address) {
  Fetched page;
  char* content = nullptr;
  char* type = nullptr;
  char* final_address = nullptr;
  int length = -1;
  EngineFetchPage(address.c_str(), &content, &length, &type, &final_address, &page.result);
  if (content != nullptr && length >= 0) page.content.assign(content, static_cast<size_t>(length));
  if (type != nullptr) page.type = type;
  if (final_address != nullptr) page.final_address = final_address;
  EngineFreeString(content);
  EngineFreeString(type);
  EngineFreeString(final_address);
  return page;
}

// No engine is made in these tests: the frame's entry points need none.
TEST(BrowserApiTest, FetchesAPageWholeWithItsTypeAndAddress) {
  const std::string binary("<p>a\0b</p>", 10);
  test::TinySite site({{"/page.htm", test::Page("Tides", "The tide turns.")}, {"/zero", binary}});
  Fetched page = FetchPage(site.Url("/page.htm"));
  ASSERT_EQ(page.result, 0) << page.content;
  EXPECT_EQ(page.content, test::Page("Tides", "The tide turns."));
  EXPECT_EQ(page.type, "text/html");
  EXPECT_EQ(page.final_address, site.Url("/page.htm"));
  page = FetchPage(site.Url("/zero"));
  ASSERT_EQ(page.result, 0);
  EXPECT_EQ(page.content, binary);  // a zero byte does not end the body
}

TEST(BrowserApiTest, RefusesAddressesThatAreNotWebAddresses) {
  for (const char* address : {"file:///etc/passwd", "/etc/passwd", "ftp://127.0.0.1/", "",
                              "javascript:alert(1)", "127.0.0.1:1/x"}) {
    const Fetched page = FetchPage(address);
    EXPECT_EQ(page.result, 1) << address;
    EXPECT_EQ(page.content, "Only web addresses (http:// or https://) can be shown.") << address;
    EXPECT_EQ(page.type, "");
    EXPECT_EQ(page.final_address, "");
  }
  EngineFetchPage(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);  // no crash
}

TEST(BrowserApiTest, AnEndlessBodyEndsAtTheLimitAndNothingIsKept) {
  test::HostileServer flood(test::HostileServer::Kind::kFlood, int64_t{ENGINE_PAGE_MAX_BYTES} * 2);
  ASSERT_NE(flood.port(), 0);
  const Fetched page = FetchPage("HTTP://127.0.0.1:" + std::to_string(flood.port()) + "/");
  EXPECT_EQ(page.result, 1);
  EXPECT_EQ(page.content, "Content too large");
  EXPECT_EQ(page.type, "");
}

TEST(BrowserApiTest, AClosedPortFailsWithAMessage) {
  int port = 0;
  {
    test::TinySite site({});
    port = std::stoi(site.Url("").substr(std::string("http://127.0.0.1:").size()));
  }
  const Fetched page = FetchPage("http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_EQ(page.result, 1);
  EXPECT_FALSE(page.content.empty());
}

TEST(BrowserApiTest, ListsTheFiveSearchEnginesWithTheirDefaults) {
  test::TempDir dir;
  const std::string long_url = "http://e.example/" + std::string(300, 'x');
  test::WriteFile(dir.path() + "se.ini",
                  "% engines\n[engine1]\nname = Tide Search\nurl = https://t.example/s\n"
                  "pre_query_string = ?q=\npost_query_string = &n=\nhitstring = x\n"
                  "[engine2]\nurl = " +
                      long_url +
                      "\npre_query_string = ?a=\n"
                      "[engine4]\nname = Four\n");
  char* out = nullptr;
  int result = -7;
  EngineListSearchEngines(dir.path().c_str(), &out, &result);
  ASSERT_NE(out, nullptr);
  const std::string lines = out;
  EngineFreeString(out);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(lines,
            "Tide Search\thttps://t.example/s\t?q=\t&n=\n"
            "engine\t" +
                long_url.substr(0, 255) +
                "\t?a=\t \n"
                "engine\t \t \t \n"
                "Four\t \t \t \n"
                "engine\t \t \t \n");

  EngineListSearchEngines((dir.path() + "missing/").c_str(), &out, &result);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(
      std::string(out),
      "engine\t \t \t \nengine\t \t \t \nengine\t \t \t \nengine\t \t \t \nengine\t \t \t \n");
  EngineFreeString(out);
  EXPECT_EQ(result, 1);
}

}  // namespace
}  // namespace qora
