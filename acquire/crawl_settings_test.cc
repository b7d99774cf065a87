#include "acquire/crawl_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/cfg_file.h"
#include "tests/test_environment.h"
#include "tests/test_util.h"

namespace qora {
namespace {

using Strings = std::vector<std::string>;
using test::TempDir;
using test::WriteFile;

// A "crawl.ini" that gives every key a value different from the initial one.
constexpr char kFullIni[] =
    "[general]\n"
    "max_html_size = 1001\n"
    "max_content_size = 1002\n"
    "max_dml_size = 1003\n"
    "[foldercrawler]\n"
    "file_types = .htm .html .pdf\n"
    "[webcrawler]\n"
    "dont_fetch_url_types = .exe .zip\n"
    "search_neg_urls = /ads, /popup\n"
    "search_neg_words = casino+lottery\n"
    "crawl_size_limit = 2001\n"
    "crawl_url_count_limit = 2002\n"
    "max_web_crawl_depth = 5\n"
    "fetch_doc_count_limit = 2003\n"
    "socket_send_timeout = 3001\n"
    "socket_rec_timeout = 3002\n"
    "search_sel_hubpages = 1\n"
    "search_sel_authoritypages = 0\n"
    "search_max_numpages = 40\n"
    "search_min_numpages = 4\n"
    "search_min_numlinks = 9\n"
    "crawl_thread_count = 12\n"
    "crawl_rule = 1\n"
    "crawl_thread_timeout = 33\n";

// A data folder with an engine environment loaded from it; crawl.ini is
// written per test.
class CrawlIniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteSmallDataFolder(dir_.path(), 0);
    environment_.Load(dir_.path(), "main.ini");
  }

  CrawlSettings ReadIni(const std::string& text) {
    WriteFile(dir_.path() + "crawl.ini", text);
    CrawlSettings settings;
    settings.ReadCrawlIni("lib7", environment_);
    return settings;
  }

  TempDir dir_;
  test::TestEnvironment environment_;
};

TEST(CrawlSettingsTest, InitialValues) {
  CrawlSettings s;
  EXPECT_EQ(s.maxDepth, 3);
  EXPECT_EQ(s.folderMaxDepth, 8);
  EXPECT_EQ(s.maxHtmlSize, 200000);
  EXPECT_EQ(s.maxDmlSize, 500000);
  EXPECT_EQ(s.maxContentSize, 50000);
  EXPECT_EQ(s.maxBytes, 2000000);
  EXPECT_EQ(s.maxSites, 1000);
  EXPECT_EQ(s.maxDocs, 100);
  EXPECT_EQ(s.sitesDone, 0);
  EXPECT_EQ(s.docsDone, 0);
  EXPECT_EQ(s.bytesDone, 0);
  EXPECT_EQ(s.dontFetchTypes,
            ".exe .wav .mpg .mpeg .avi .bat .doc .xls .ppt .txt .gif .jpg .vbs .pdf  .gz .tgz "
            ".zip .js .mp3");
  EXPECT_EQ(s.negativeWords, "");
  EXPECT_EQ(s.negativeUrls, ";prev ;random ;skip  /popup /ads /adfield http://ads");
  EXPECT_FALSE(s.selectHubs);
  EXPECT_FALSE(s.selectAuthorities);
  EXPECT_EQ(s.authorityMaxPages, 0);
  EXPECT_EQ(s.authorityMinPages, 0);
  EXPECT_EQ(s.hubMinLinks, 0);
  EXPECT_EQ(s.crawlRule, 0);
  EXPECT_EQ(s.folderFileTypes, "");
  EXPECT_EQ(s.sendTimeout, 20);
  EXPECT_EQ(s.receiveTimeout, 20);
  EXPECT_EQ(s.threadCount, 20);
  EXPECT_EQ(s.threadTimeout, 60);
  EXPECT_TRUE(s.negativeUrlList.empty());
  EXPECT_FALSE(s.selectionOn);
  for (int i = 0; i < kSearchEngineCount; ++i) {
    EXPECT_EQ(s.searchEngines[i].sectionName, "engine" + std::to_string(i + 1));
    EXPECT_EQ(s.searchEngines[i].control, "");
  }
}

TEST_F(CrawlIniTest, EveryKeySetsItsField) {
  CrawlSettings s = ReadIni(kFullIni);
  EXPECT_EQ(s.maxHtmlSize, 1001);
  EXPECT_EQ(s.maxContentSize, 1002);
  EXPECT_EQ(s.maxDmlSize, 1003);
  EXPECT_EQ(s.folderFileTypes, ".htm .html .pdf");
  EXPECT_EQ(s.dontFetchTypes, ".exe .zip");
  EXPECT_EQ(s.negativeUrls, "/ads, /popup");
  EXPECT_EQ(s.negativeWords, "casino+lottery");
  EXPECT_EQ(s.maxBytes, 2001);
  EXPECT_EQ(s.maxSites, 2002);
  EXPECT_EQ(s.maxDepth, 5);
  EXPECT_EQ(s.maxDocs, 2003);
  EXPECT_EQ(s.sendTimeout, 3001);
  EXPECT_EQ(s.receiveTimeout, 3002);
  EXPECT_TRUE(s.selectHubs);
  EXPECT_FALSE(s.selectAuthorities);
  EXPECT_EQ(s.authorityMaxPages, 40);
  EXPECT_EQ(s.authorityMinPages, 4);
  EXPECT_EQ(s.hubMinLinks, 9);
  EXPECT_EQ(s.threadCount, 12);
  EXPECT_EQ(s.crawlRule, 1);
  EXPECT_EQ(s.threadTimeout, 33);
  // Not read from the file.
  EXPECT_EQ(s.folderMaxDepth, 8);
  // The filter lists are built at the end.
  EXPECT_EQ(s.negativeUrlList, (Strings{"/ads", "/popup"}));
  EXPECT_EQ(s.negativeWordList, (Strings{"casino", "lottery"}));
  EXPECT_TRUE(s.selectionOn);
}

TEST_F(CrawlIniTest, SetsThePathsOfTheLibrary) {
  CrawlSettings s = ReadIni(kFullIni);
  EXPECT_EQ(s.crawlIniPath, dir_.path() + "crawl.ini");
  EXPECT_EQ(s.localCacheFolder, dir_.path() + "libs/lib7/loc_c/");
  EXPECT_EQ(s.webCacheFolder, dir_.path() + "libs/lib7/web_c/");
  EXPECT_EQ(s.localTableName, "cache.chx");
  EXPECT_EQ(s.webTableName, "cache.chx");
}

TEST_F(CrawlIniTest, AbsentKeysReadAsZeroAndEmpty) {
  CrawlSettings s = ReadIni("[general]\nmax_html_size = 5\n");
  EXPECT_EQ(s.maxHtmlSize, 5);
  EXPECT_EQ(s.maxDmlSize, 0);
  EXPECT_EQ(s.maxDepth, 0);
  EXPECT_EQ(s.maxBytes, 0);
  EXPECT_EQ(s.maxDocs, 0);
  EXPECT_EQ(s.sendTimeout, 0);
  EXPECT_EQ(s.receiveTimeout, 0);
  // No workers: a web crawl ends at once.
  EXPECT_EQ(s.threadCount, 0);
  EXPECT_EQ(s.dontFetchTypes, "");
  EXPECT_EQ(s.negativeUrls, "");
  EXPECT_TRUE(s.negativeUrlList.empty());
  EXPECT_EQ(s.folderFileTypes, "");
  // The stop wait never drops below one second.
  EXPECT_EQ(s.threadTimeout, 60);
}

TEST_F(CrawlIniTest, AStopWaitBelowOneSecondBecomesSixty) {
  EXPECT_EQ(ReadIni("[webcrawler]\ncrawl_thread_timeout = 0\n").threadTimeout, 60);
  EXPECT_EQ(ReadIni("[webcrawler]\ncrawl_thread_timeout = -4\n").threadTimeout, 60);
  EXPECT_EQ(ReadIni("[webcrawler]\ncrawl_thread_timeout = 1\n").threadTimeout, 1);
}

TEST_F(CrawlIniTest, SelectionSwitchesTakeAnyNonZeroAsOn) {
  CrawlSettings s =
      ReadIni("[webcrawler]\nsearch_sel_hubpages = 0\nsearch_sel_authoritypages = -7\n");
  EXPECT_FALSE(s.selectHubs);
  EXPECT_TRUE(s.selectAuthorities);
  EXPECT_TRUE(s.selectionOn);
  s = ReadIni("[webcrawler]\nsearch_sel_hubpages = 2\nsearch_sel_authoritypages = x\n");
  EXPECT_TRUE(s.selectHubs);
  EXPECT_FALSE(s.selectAuthorities);
}

TEST_F(CrawlIniTest, AMissingOrBrokenFileRaisesTheReaderError) {
  CrawlSettings s;
  s.maxDepth = 9;
  testing::internal::CaptureStderr();
  EXPECT_THROW(s.ReadCrawlIni("lib7", environment_), CfgError);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not get cfg file size"),
            std::string::npos);
  EXPECT_EQ(s.maxDepth, 9);  // nothing was assigned

  WriteFile(dir_.path() + "crawl.ini", "[a]");
  testing::internal::CaptureStderr();
  EXPECT_THROW(s.ReadCrawlIni("lib7", environment_), CfgError);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cfg file size < 5"), std::string::npos);
  EXPECT_EQ(s.maxDepth, 9);
}

// Whether `section` of the installed file holds a line keyed `key`, with or
// without a value.
bool HasKey(const CfgFile& ini, const std::string& section, const std::string& key) {
  bool inside = false;
  for (const std::string& line : ini.lines()) {
    if (line.starts_with("[")) {
      inside = line.starts_with("[" + section + "]");
    } else if (inside && CfgTrim(line.substr(0, line.find('='))) == key) {
      return true;
    }
  }
  return false;
}

TEST(InstalledCrawlIniTest, NamesEveryKey) {
  const CfgFile ini = CfgFile::CfgLoad(test::SourceDataFolder() + "crawl.ini");
  const std::vector<std::pair<std::string, std::string>> keys = {
      {"general", "max_html_size"},
      {"general", "max_content_size"},
      {"general", "max_dml_size"},
      {"foldercrawler", "file_types"},
      {"webcrawler", "dont_fetch_url_types"},
      {"webcrawler", "search_neg_urls"},
      {"webcrawler", "search_neg_words"},
      {"webcrawler", "crawl_size_limit"},
      {"webcrawler", "crawl_url_count_limit"},
      {"webcrawler", "max_web_crawl_depth"},
      {"webcrawler", "fetch_doc_count_limit"},
      {"webcrawler", "socket_send_timeout"},
      {"webcrawler", "socket_rec_timeout"},
      {"webcrawler", "search_sel_hubpages"},
      {"webcrawler", "search_sel_authoritypages"},
      {"webcrawler", "search_max_numpages"},
      {"webcrawler", "search_min_numpages"},
      {"webcrawler", "search_min_numlinks"},
      {"webcrawler", "crawl_thread_count"},
      {"webcrawler", "crawl_rule"},
      {"webcrawler", "crawl_thread_timeout"},
  };
  for (const auto& [section, key] : keys) {
    EXPECT_TRUE(HasKey(ini, section, key)) << section << "/" << key;
  }
}

TEST(InstalledCrawlIniTest, GivesWorkableValues) {
  TempDir dir;
  test::WriteSmallDataFolder(dir.path(), 0);
  WriteFile(dir.path() + "crawl.ini", test::ReadFile(test::SourceDataFolder() + "crawl.ini"));
  test::TestEnvironment environment;
  environment.Load(dir.path(), "main.ini");
  CrawlSettings s;
  s.ReadCrawlIni("lib", environment);
  for (const char* type : {".htm", ".html", ".pdf"}) {
    EXPECT_NE((" " + s.folderFileTypes + " ").find(std::string(" ") + type + " "),
              std::string::npos)
        << type;
  }
  EXPECT_GT(s.maxHtmlSize, 0);
  EXPECT_GT(s.maxDmlSize, 0);
  EXPECT_GT(s.maxContentSize, 0);
  EXPECT_GT(s.maxBytes, 0);
  EXPECT_GT(s.maxSites, 0);
  EXPECT_GT(s.maxDocs, 0);
  EXPECT_GE(s.maxDepth, 1);
  EXPECT_GE(s.sendTimeout, 1000);  // milliseconds
  EXPECT_GE(s.receiveTimeout, 1000);
  EXPECT_GE(s.threadCount, 1);
  EXPECT_LE(s.threadCount, 30);
  EXPECT_GE(s.threadTimeout, 1);
  EXPECT_FALSE(s.negativeUrlList.empty());
  EXPECT_EQ(s.dontFetchTypes.find(".htm"), std::string::npos);
}

TEST(DecodeCrawlParameterTest, PercentEscapes) {
  EXPECT_EQ(DecodeCrawlParameter("%2Fads"), "/ads");
  EXPECT_EQ(DecodeCrawlParameter("a%2fb%41"), "a/bA");
  EXPECT_EQ(DecodeCrawlParameter("a+b"), "a+b");  // "+" stays
  EXPECT_EQ(DecodeCrawlParameter("%2B"), "+");
  // No hexadecimal digit: the byte 0, and the two characters are swallowed.
  EXPECT_EQ(DecodeCrawlParameter("x%G1y"), std::string("x\0y", 3));
  // Reading stops at the first other character; both are still swallowed.
  EXPECT_EQ(DecodeCrawlParameter("%4Gz"), std::string("\x04z", 2));
  // Fewer than two characters at the end.
  EXPECT_EQ(DecodeCrawlParameter("a%4"), std::string("a\x04", 2));
  EXPECT_EQ(DecodeCrawlParameter("a%"), std::string("a\0", 2));
  EXPECT_EQ(DecodeCrawlParameter("%%41"), std::string("\0"
                                                      "1",
                                                      2));
  EXPECT_EQ(DecodeCrawlParameter("%ff"), "\xff");
}

TEST(ParseCrawlParametersTest, PairsRepeatsAndStrayText) {
  using Pairs = std::map<std::string, std::string>;
  EXPECT_EQ(ParseCrawlParameters("dpth=1&dpth=4"), (Pairs{{"dpth", "4"}}));
  EXPECT_EQ(ParseCrawlParameters("a=1&b=x=y"), (Pairs{{"a", "1"}, {"b", "x=y"}}));
  EXPECT_EQ(ParseCrawlParameters("d%70th=2"), (Pairs{{"dpth", "2"}}));
  EXPECT_EQ(ParseCrawlParameters("dpth=2&flag&maxdocs=3"),
            (Pairs{{"dpth", "2"}, {"maxdocs", "3"}}));
  EXPECT_EQ(ParseCrawlParameters("&&a=&"), (Pairs{{"a", ""}}));
  EXPECT_TRUE(ParseCrawlParameters("no pairs here").empty());
  EXPECT_TRUE(ParseCrawlParameters("").empty());
}

TEST_F(CrawlIniTest, ParametersOverrideTheFileAndNothingElse) {
  CrawlSettings s = ReadIni(kFullIni);
  s.ApplyCrawlParameters("dpth=0&maxdocs=5");
  EXPECT_EQ(s.maxDepth, 0);
  EXPECT_EQ(s.maxDocs, 5);
  EXPECT_EQ(s.maxBytes, 2001);  // as crawl.ini set them
  EXPECT_EQ(s.maxSites, 2002);

  // Keys that only the file sets are not parameters.
  s.ApplyCrawlParameters("max_html_size=1&socket_send_timeout=1&crawl_thread_count=1&DPTH=9");
  EXPECT_EQ(s.maxHtmlSize, 1001);
  EXPECT_EQ(s.sendTimeout, 3001);
  EXPECT_EQ(s.threadCount, 12);
  EXPECT_EQ(s.maxDepth, 0);  // keys are case-sensitive
}

TEST_F(CrawlIniTest, AStringWithoutPairsKeepsTheFileValues) {
  CrawlSettings s = ReadIni(kFullIni);
  s.ApplyCrawlParameters("dpth");
  s.ApplyCrawlParameters("");
  EXPECT_EQ(s.maxDepth, 5);
  EXPECT_EQ(s.dontFetchTypes, ".exe .zip");
}

TEST(ApplyCrawlParametersTest, DecimalKeys) {
  CrawlSettings s;
  s.ApplyCrawlParameters(
      "dpth=2&maxbytes=500000&maxsites=50&maxdocs=20&docmaxpages=8&docminpages=3&minlinks=6"
      "&crwl_rule=1");
  EXPECT_EQ(s.maxDepth, 2);
  EXPECT_EQ(s.maxBytes, 500000);
  EXPECT_EQ(s.maxSites, 50);
  EXPECT_EQ(s.maxDocs, 20);
  EXPECT_EQ(s.authorityMaxPages, 8);
  EXPECT_EQ(s.authorityMinPages, 3);
  EXPECT_EQ(s.hubMinLinks, 6);
  EXPECT_EQ(s.crawlRule, 1);
  // The standard decimal conversion: blanks, sign, stop at a non-digit.
  s.ApplyCrawlParameters("dpth=%20-3x&maxdocs=abc&maxsites=12abc");
  EXPECT_EQ(s.maxDepth, -3);
  EXPECT_EQ(s.maxDocs, 0);
  EXPECT_EQ(s.maxSites, 12);
}

TEST(ApplyCrawlParametersTest, RepeatedKeysTakeTheLastValue) {
  CrawlSettings s;
  s.ApplyCrawlParameters("dpth=1&dpth=4");
  EXPECT_EQ(s.maxDepth, 4);
}

TEST(ApplyCrawlParametersTest, Flags) {
  CrawlSettings s;
  s.ApplyCrawlParameters("hub=2&auth=1");
  EXPECT_TRUE(s.selectHubs);
  EXPECT_TRUE(s.selectAuthorities);
  s.ApplyCrawlParameters("hub=0&auth=x");
  EXPECT_FALSE(s.selectHubs);
  EXPECT_FALSE(s.selectAuthorities);
}

TEST(ApplyCrawlParametersTest, TextKeysAndPlusSigns) {
  CrawlSettings s;
  s.ApplyCrawlParameters("negtypes=.exe+.zip&negurl=%2Fads+banner&negwords=spam+ham");
  EXPECT_EQ(s.dontFetchTypes, ".exe .zip");
  EXPECT_EQ(s.negativeUrls, "/ads+banner");
  EXPECT_EQ(s.negativeWords, "spam+ham");
  // The lists follow only once they are rebuilt.
  EXPECT_TRUE(s.negativeWordList.empty());
  s.BuildFilterLists();
  EXPECT_EQ(s.negativeUrlList, (Strings{"/ads", "banner"}));
  EXPECT_EQ(s.negativeWordList, (Strings{"spam", "ham"}));
}

TEST(ApplyCrawlParametersTest, SearchEngineSwitchesAndCounts) {
  CrawlSettings s;
  for (auto& engine : s.searchEngines) engine.resultCount = "5";
  s.ApplyCrawlParameters("se_ctrl=1+0+1+0+0&se_num=10+20");
  const Strings controls = {"1", "0", "1", "0", "0"};
  const Strings counts = {"10", "20", "5", "5", "5"};
  for (int i = 0; i < kSearchEngineCount; ++i) {
    EXPECT_EQ(s.searchEngines[i].control, controls[i]) << i;
    EXPECT_EQ(s.searchEngines[i].resultCount, counts[i]) << i;
  }
  // Empty pieces are dropped; pieces beyond the fifth are ignored.
  s.ApplyCrawlParameters("se_ctrl=++0++1+1+1+1+1+1");
  const Strings shifted = {"0", "1", "1", "1", "1"};
  for (int i = 0; i < kSearchEngineCount; ++i) {
    EXPECT_EQ(s.searchEngines[i].control, shifted[i]) << i;
  }
}

TEST(BuildFilterListsTest, SplitsAtRunsOfSeparators) {
  CrawlSettings s;
  s.negativeUrls = " ;prev ;random ;skip  /popup,/ads\t+\n,http://ads+ ";
  s.negativeWords = "";
  s.BuildFilterLists();
  EXPECT_EQ(s.negativeUrlList,
            (Strings{";prev", ";random", ";skip", "/popup", "/ads", "http://ads"}));
  EXPECT_TRUE(s.negativeWordList.empty());
  EXPECT_FALSE(s.selectionOn);
  s.selectAuthorities = true;
  s.BuildFilterLists();
  EXPECT_TRUE(s.selectionOn);
  // Rebuilding replaces the lists.
  s.negativeUrls = "x";
  s.BuildFilterLists();
  EXPECT_EQ(s.negativeUrlList, (Strings{"x"}));
}

}  // namespace
}  // namespace qora
