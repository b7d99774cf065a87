#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/acquisition_parameters.h"
#include "shell/command_line.h"
#include "shell/engine_session.h"
#include "shell/web_requests.h"
#include "tests/test_util.h"
#include "tests/tiny_site.h"

namespace qora {
namespace {

namespace fs = std::filesystem;
using test::Page;
using test::TinySite;

// A data folder made by "qora init" from the installed one, with the built
// page cleaner and PDF converter and a fast crawl.ini, and one library.
class WebCrawlRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installed_ = dir_.path() + "installed/";
    fs::copy(test::SourceDataFolder(), installed_, fs::copy_options::recursive);
    fs::copy_file(QORA_PAGE_CLEANER, installed_ + "cln.exe");
    fs::copy_file(QORA_PDF_CONVERTER, installed_ + "hlp22.exe");
    setenv("QORA_INSTALLED_DATA", installed_.c_str(), 1);
    settings_ = dir_.path() + "config/settings.ini";
    setenv("QORA_SETTINGS", settings_.c_str(), 1);
    data_ = dir_.path() + "data";
    ASSERT_EQ(Qora({"init", data_}).status, 0);
    ASSERT_EQ(Qora({"lib", "new", "Web"}).status, 0);
  }
  void TearDown() override {
    unsetenv("QORA_INSTALLED_DATA");
    unsetenv("QORA_SETTINGS");
  }

  struct Outcome {
    int status;
    std::string out;
    std::string err;
  };
  Outcome Qora(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--data", data_});
    std::ostringstream out, err;
    const int status = RunCommandLine(arguments, out, err);
    return {status, out.str(), err.str()};
  }

  std::string Crawl(const std::string& library, const std::vector<std::string>& addresses,
                    int depth, bool internal_only) {
    EngineSession session;
    if (session.Start(data_) != 0) return "engine did not start";
    AcquisitionOptions options = ReadAcquisitionOptions(SettingsStore());
    options.crawler.depth = depth;
    options.crawler.internal_only = internal_only;
    std::string parameters;
    const std::string failure =
        AcquisitionParameters(AcquisitionMode::kCrawl, options, &parameters);
    if (!failure.empty()) return failure;
    return CrawlIntoLibrary(library, addresses, parameters);
  }

  // The names and addresses that `docs LIB` lists.
  std::string Listed(const std::string& library) {
    const Outcome docs = Qora({"docs", library});
    EXPECT_EQ(docs.status, 0) << docs.err;
    return docs.out;
  }

  test::TempDir dir_;
  std::string installed_;
  std::string data_;
  std::string settings_;
};

TEST_F(WebCrawlRequestsTest, CrawledPagesAreIndexedAndResearchable) {
  TinySite other({{"/far.html", Page("Far away", "Glaciers carve valleys into the rock.")}},
                 "127.0.0.2");
  TinySite site({{"/", Page("Home",
                            "Volcanoes erupt lava. <a href=\"bees.html\">bees</a> "
                            "<a href=\"" +
                                other.Url("/far.html") + "\">far</a>")},
                 {"/bees.html", Page("Honey bees",
                                     "Honey bees live in a hive and make honey "
                                     "from nectar. The queen bee lays the eggs.")}});
  ASSERT_EQ(Crawl("Web", {site.Url("/"), ""}, 1, true), "");
  Outcome docs = Qora({"docs", "Web"});
  ASSERT_EQ(docs.status, 0) << docs.err;
  EXPECT_NE(docs.out.find("Honey bees"), std::string::npos) << docs.out;
  EXPECT_EQ(docs.out.find("Far away"), std::string::npos) << docs.out;  // another host
  const Outcome research = Qora({"research", "--lib", "Web", "--keywords", "queen hive"});
  ASSERT_EQ(research.status, 0) << research.err;
  EXPECT_NE(research.out.find("Honey bees"), std::string::npos) << research.out;

  ASSERT_EQ(Crawl("Web", {site.Url("/")}, 1, false), "");
  docs = Qora({"docs", "Web"});
  EXPECT_NE(docs.out.find("Honey bees"), std::string::npos) << docs.out;
  // The home page is known now and is not followed again, so the other
  // host is reached only from a fresh start address.
  ASSERT_EQ(Crawl("Web", {other.Url("/far.html")}, 0, false), "");
  docs = Qora({"docs", "Web"});
  EXPECT_NE(docs.out.find("Far away"), std::string::npos) << docs.out;
}

// What the command line does not say comes from the user's settings: by
// default a crawl keeps to the start site and skips advertisement addresses.
TEST_F(WebCrawlRequestsTest, TheCommandLineCrawlsAsTheSettingsSay) {
  TinySite other({{"/far.html", Page("Far away", "Glaciers carve valleys into the rock.")}},
                 "127.0.0.2");
  TinySite site({{"/", Page("Home",
                            "Volcanoes erupt lava. <a href=\"bees.html\">bees</a> "
                            "<a href=\"ads/banner.html\">offer</a> <a href=\"" +
                                other.Url("/far.html") + "\">far</a>")},
                 {"/bees.html", Page("Honey bees", "Honey bees live in a hive and make honey.")},
                 {"/ads/banner.html", Page("Buy now", "Cheap watches for everybody today.")}});
  const auto crawl = [&](const std::string& library, std::vector<std::string> options) {
    EXPECT_EQ(Qora({"lib", "new", library}).status, 0);
    std::vector<std::string> line = {"crawl", library, site.Url("/")};
    line.insert(line.end(), options.begin(), options.end());
    const Outcome outcome = Qora(line);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    return outcome.out + Listed(library);
  };

  std::string listed = crawl("Plain", {"--depth", "1"});
  EXPECT_EQ(listed.find("Plain: 2 new documents\n"), 0u) << listed;
  EXPECT_NE(listed.find("Honey bees"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("Far away"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("Buy now"), std::string::npos) << listed;

  listed = crawl("Wide", {"--all-sites", "--depth", "1"});
  EXPECT_NE(listed.find("Far away"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("Buy now"), std::string::npos) << listed;

  fs::create_directories(fs::path(settings_).parent_path());
  test::WriteFile(settings_,
                  "[CrawlerOptions]\ninternalOnly=0\nDpth=0\n[AdvancedOptions]\nnegURLs=\n");
  listed = crawl("Open", {"--depth", "1"});
  EXPECT_NE(listed.find("Far away"), std::string::npos) << listed;
  EXPECT_NE(listed.find("Buy now"), std::string::npos) << listed;
  listed = crawl("Near", {"--internal-only"});  // the settings' depth 0: the start page alone
  EXPECT_EQ(listed.find("Near: 1 new document\n"), 0u) << listed;
  EXPECT_NE(listed.find("Home"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("Honey bees"), std::string::npos) << listed;
}

TEST_F(WebCrawlRequestsTest, RefusesWhatItCannotDo) {
  EXPECT_EQ(Crawl("Web", {}, 1, true), "Please enter start addresses");
  EXPECT_EQ(Crawl("Web", {"", ""}, 1, true), "Please enter start addresses");
  const Outcome too_much = Qora({"crawl", "Web", "http://127.0.0.1:1/", "--max-kb", "9999999"});
  EXPECT_EQ(too_much.status, 1);
  EXPECT_NE(too_much.err.find("kilobyte limit"), std::string::npos) << too_much.err;
  EXPECT_EQ(Qora({"crawl", "Web", "x", "--internal-only", "--all-sites"}).status, 2);
  // A start address that cannot be fetched stores nothing, and the run says so.
  const Outcome unreachable = Qora({"crawl", "Web", "http://127.0.0.1:1/", "--depth", "0"});
  EXPECT_EQ(unreachable.status, 0) << unreachable.err;
  EXPECT_EQ(unreachable.out, "Web: no new documents\n");
  EXPECT_NE(Crawl("Nowhere", {"http://127.0.0.1:1/"}, 1, true).find("Nowhere"), std::string::npos);
  fs::remove(data_ + "/crawl.ini");
  EXPECT_NE(Crawl("Web", {"http://127.0.0.1:1/"}, 1, true).find("crawl.ini"), std::string::npos);
}

}  // namespace
}  // namespace qora
