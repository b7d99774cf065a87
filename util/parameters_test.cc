#include "util/parameters.h"

#include <gtest/gtest.h>

#include <string>

namespace qora {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Split(std::string_view text) {
  Pairs pairs;
  for (const auto& [key, value] : SplitParameters(text)) pairs.emplace_back(key, value);
  return pairs;
}

TEST(SplitParametersTest, CutsSegmentsAtAmpersandsAndKeysAtTheFirstEquals) {
  EXPECT_EQ(Split("dpth=2&maxdocs=20"), (Pairs{{"dpth", "2"}, {"maxdocs", "20"}}));
  EXPECT_EQ(Split("q=a=b&x=%26"), (Pairs{{"q", "a=b"}, {"x", "%26"}}));
  // Segments without "=" are skipped, empty keys and values kept, repeats all returned.
  EXPECT_EQ(Split("a=1&flag&=v&b=&a=3"), (Pairs{{"a", "1"}, {"", "v"}, {"b", ""}, {"a", "3"}}));
  EXPECT_EQ(Split(""), Pairs{});
  EXPECT_EQ(Split("&&flag&"), Pairs{});
  EXPECT_EQ(Split("last=x&"), (Pairs{{"last", "x"}}));
}

}  // namespace
}  // namespace qora
