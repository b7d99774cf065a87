#include "shell/acquisition_parameters.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

// Option pages whose every value differs from the defaults, so each part
// shows where its values come from.
AcquisitionOptions TypedOptions() {
  SettingsStore store;
  store.WriteInt("CrawlerOptions", "Dpth", 3);
  store.WriteInt("CrawlerOptions", "MaxKB", 250);
  store.WriteInt("CrawlerOptions", "MaxSites", 40);
  store.WriteInt("CrawlerOptions", "MaxDocs", 9);
  store.WriteInt("AdvancedOptions", "maxNumPages", 12);
  store.WriteInt("AdvancedOptions", "minNumPages", 2);
  store.WriteInt("AdvancedOptions", "minNumLinks", 4);
  store.WriteInt("AdvancedOptions", "selHubPages", 1);
  store.WriteString("AdvancedOptions", "negURLs", "/ads+/popup");
  store.WriteString("AdvancedOptions", "negWords", "casino lottery  bingo");
  store.WriteInt("EngineOptions", "selEng2", 1);
  store.WriteInt("EngineOptions", "selEng5", 1);
  store.WriteInt("EngineOptions", "numResEng2", 20);
  return ReadAcquisitionOptions(store);
}

std::string Parameters(AcquisitionMode mode, const AcquisitionOptions& options) {
  std::string parameters;
  EXPECT_EQ(AcquisitionParameters(mode, options, &parameters), "");
  return parameters;
}

constexpr char kTypedAdvanced[] =
    "&docmaxpages=12&docminpages=2&minlinks=4&hub=1&auth=0&negurl=/ads+/popup"
    "&negwords=casino+lottery++bingo";
constexpr char kNoAdvanced[] =
    "&docmaxpages=0&docminpages=0&minlinks=0&hub=0&auth=0&negurl=&negwords=";
constexpr char kTypedEngines[] = "&se_ctrl=0+1+0+0+1&se_num=50+20+50+50+50";

TEST(AcquisitionParametersTest, EachModeSendsItsParts) {
  const AcquisitionOptions options = TypedOptions();
  const std::string crawl_budget = "dpth=3&maxbytes=250000&maxsites=40&maxdocs=9";
  const std::string search_budget = "dpth=0&maxbytes=2000000&maxsites=500&maxdocs=200";
  EXPECT_EQ(Parameters(AcquisitionMode::kCrawl, options),
            crawl_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=1");
  EXPECT_EQ(Parameters(AcquisitionMode::kCrawlThisPage, options),
            crawl_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=1");
  EXPECT_EQ(Parameters(AcquisitionMode::kWizardCrawl, options),
            crawl_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=1");
  // A search followed by a crawl crawls on the crawler page's budget but
  // never keeps to one site: its hits lie on many.
  EXPECT_EQ(Parameters(AcquisitionMode::kWizardSearchThenCrawl, options),
            crawl_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=0");
  // A basic search never sends the advanced values, whatever they are.
  EXPECT_EQ(Parameters(AcquisitionMode::kBasicSearch, options),
            search_budget + kNoAdvanced + kTypedEngines + "&crwl_rule=0");
  EXPECT_EQ(Parameters(AcquisitionMode::kAdvancedSearch, options),
            search_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=0");
  EXPECT_EQ(Parameters(AcquisitionMode::kWizardSearch, options),
            search_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=0");
  // Saving a page: the fixed budget, five zeros and two empty texts.
  EXPECT_EQ(Parameters(AcquisitionMode::kSaveThisPage, options),
            std::string("dpth=0&maxbytes=500000&maxsites=1&maxdocs=1") + kNoAdvanced +
                kTypedEngines + "&crwl_rule=0");

  AcquisitionOptions elsewhere = options;
  elsewhere.crawler.internal_only = false;
  EXPECT_EQ(Parameters(AcquisitionMode::kCrawl, elsewhere),
            crawl_budget + kTypedAdvanced + kTypedEngines + "&crwl_rule=0");
}

TEST(AcquisitionParametersTest, DepthZeroVisitsOneSiteAndTheDefaultsKeepToIt) {
  AcquisitionOptions options = ReadAcquisitionOptions(SettingsStore());
  options.crawler.depth = 0;
  options.crawler.sites = 100;
  options.crawler.kilobytes = 1000;
  options.crawler.documents = 50;
  EXPECT_EQ(Parameters(AcquisitionMode::kCrawl, options),
            "dpth=0&maxbytes=1000000&maxsites=1&maxdocs=50&docmaxpages=10&docminpages=1"
            "&minlinks=1&hub=0&auth=0"
            "&negurl=;prev+;random+;skip+popup+doubleclick+hitbox+/ads+/adfield+http://ads"
            "&negwords=&se_ctrl=1+0+0+0+0&se_num=50+50+50+50+50&crwl_rule=1");

  options.crawler.kilobytes = 2147484;  // times 1000 does not fit
  std::string parameters = "unchanged";
  EXPECT_NE(AcquisitionParameters(AcquisitionMode::kCrawl, options, &parameters), "");
  EXPECT_EQ(parameters, "unchanged");
  // A search does not use the crawler page, so its limit does not matter.
  EXPECT_EQ(AcquisitionParameters(AcquisitionMode::kBasicSearch, options, &parameters), "");
}

TEST(AcquisitionParametersTest, PercentAndAmpersandOfTheListsAreEscaped) {
  AcquisitionOptions options = TypedOptions();
  // Typed as is, the "&" would end the value and start a depth parameter of
  // its own, and "%2F" would be read as "/".
  options.advanced.negative_addresses = "?ref=1&dpth=9 /a%2Fb";
  options.advanced.negative_words = "100% R&D";
  const std::string parameters = Parameters(AcquisitionMode::kCrawl, options);
  EXPECT_EQ(parameters, "dpth=3&maxbytes=250000&maxsites=40&maxdocs=9"
                        "&docmaxpages=12&docminpages=2&minlinks=4&hub=1&auth=0"
                        "&negurl=?ref=1%26dpth=9+/a%252Fb&negwords=100%25+R%26D" +
                            std::string(kTypedEngines) + "&crwl_rule=1");
}

TEST(AcquisitionParametersTest, EngineListsChooseTheEngines) {
  EngineOptions engines = TypedOptions().engines;
  EXPECT_EQ(SelectEngines(" 3 ,1", &engines), "");
  EXPECT_EQ(EngineParameters(engines), "&se_ctrl=1+0+1+0+0&se_num=50+20+50+50+50");
  for (const char* wrong : {"", " , ", "0", "6", "1,x", "12"}) {
    EXPECT_NE(SelectEngines(wrong, &engines), "") << wrong;
  }
  EXPECT_EQ(EngineParameters(engines), "&se_ctrl=1+0+1+0+0&se_num=50+20+50+50+50");
}

}  // namespace
}  // namespace qora
