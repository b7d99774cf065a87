#include "shell/acquisition_request_json.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

using nlohmann::json;

TEST(AcquisitionCallOfTest, ReadsEachKindAndItsTarget) {
  AcquisitionCall call;
  ASSERT_EQ(AcquisitionCallOf(json::parse(R"({"kind": "internet", "mode": "wizard-searchcrawl",
      "keywords": "bees", "addresses": ["http://a/", "http://b/"], "target": {"new": "Bees"}})"),
                              &call),
            "");
  EXPECT_EQ(call.kind, AcquisitionCall::Kind::kInternet);
  EXPECT_EQ(call.internet.mode, AcquisitionMode::kWizardSearchThenCrawl);
  EXPECT_EQ(call.internet.keywords, "bees");
  EXPECT_EQ(call.internet.addresses, std::vector<std::string>({"http://a/", "http://b/"}));
  EXPECT_TRUE(call.internet.target.create);
  EXPECT_EQ(call.internet.target.new_name, "Bees");

  ASSERT_EQ(AcquisitionCallOf(json::parse(R"({"kind": "internet", "mode": "savepage",
      "addresses": ["http://a/"], "target": {"library": "lib1"}})"), &call), "");
  EXPECT_EQ(call.internet.mode, AcquisitionMode::kSaveThisPage);
  EXPECT_EQ(call.internet.keywords, "");
  EXPECT_FALSE(call.internet.target.create);
  EXPECT_EQ(call.internet.target.library, "lib1");

  ASSERT_EQ(AcquisitionCallOf(json::parse(R"({"kind": "files", "files": ["/x/a.pdf"]})"), &call),
            "");
  EXPECT_EQ(call.kind, AcquisitionCall::Kind::kFiles);
  EXPECT_EQ(call.files, std::vector<std::string>({"/x/a.pdf"}));
  // No target: the session refuses it with its own message.
  EXPECT_FALSE(call.target.create);
  EXPECT_EQ(call.target.library, "");

  ASSERT_EQ(AcquisitionCallOf(json::parse(R"({"kind": "folder", "target": {"library": "l"}})"),
                              &call),
            "");
  EXPECT_EQ(call.kind, AcquisitionCall::Kind::kFolder);
  EXPECT_TRUE(call.files.empty());  // nothing left of the call before

  ASSERT_EQ(AcquisitionCallOf(json::parse(R"({"kind": "quick", "keywords": "tides"})"), &call), "");
  EXPECT_EQ(call.kind, AcquisitionCall::Kind::kQuick);
  EXPECT_EQ(call.internet.keywords, "tides");
}

TEST(AcquisitionCallOfTest, RefusesMalformedRequestsWithAReason) {
  for (const char* body : {
           R"([])", R"("crawl")", R"({})", R"({"kind": "ftp"})", R"({"kind": 3})",
           R"({"kind": "internet"})", R"({"kind": "internet", "mode": "Basic"})",
           R"({"kind": "internet", "mode": "crawl", "addresses": "http://a/"})",
           R"({"kind": "internet", "mode": "crawl", "addresses": [1]})",
           R"({"kind": "internet", "mode": "basic", "keywords": ["bees"]})",
           R"({"kind": "files", "files": {"a": 1}})",
           R"({"kind": "folder", "target": "lib1"})",
           R"({"kind": "folder", "target": {"new": "A", "library": "lib1"}})",
           R"({"kind": "folder", "target": {"library": 7}})",
           R"({"kind": "quick", "keywords": 7})",
       }) {
    AcquisitionCall call;
    EXPECT_NE(AcquisitionCallOf(json::parse(body), &call), "") << body;
  }
}

}  // namespace
}  // namespace qora
