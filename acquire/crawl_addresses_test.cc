#include "acquire/crawl_addresses.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qora {
namespace {

TEST(CrawlAddressesTest, StartTextIsSplitCompletedAndTrimmed) {
  const std::vector<std::string> expected = {"http://example.invalid", "http://example.invalid",
                                             "http://Other.invalid/x", "FTP://files.invalid/a"};
  EXPECT_EQ(StartAddresses("  example.invalid/\thttp://example.invalid\n"
                           "http://Other.invalid/x/ FTP://files.invalid/a\n"),
            expected);
  EXPECT_TRUE(StartAddresses(" \n\t").empty());
  EXPECT_TRUE(HoldsNoAddress(""));
  EXPECT_TRUE(HoldsNoAddress(" \n\t "));
  EXPECT_FALSE(HoldsNoAddress(" x "));
}

TEST(CrawlAddressesTest, FilterAndFetchForms) {
  EXPECT_EQ(AddressExtension("http://a.example/page.html"), ".htm");
  EXPECT_EQ(AddressExtension("http://a.example/doc.pdf"), ".pdf");
  EXPECT_EQ(AddressExtension("http://localhost/page"), "");
  EXPECT_EQ(WithBareAmpersands("p?a=1&amp;b=2&c=3&amp;amp;d"), "p?a=1&b=2&c=3&amp;d");
}

}  // namespace
}  // namespace qora
