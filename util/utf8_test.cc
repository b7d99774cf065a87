#include "util/utf8.h"

#include <gtest/gtest.h>

namespace qora {
namespace {

TEST(AppendUtf8Test, EncodesEachLengthAtItsBoundaries) {
  const struct {
    uint32_t code;
    std::string bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0xE9, "\xC3\xA9"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x20AC, "\xE2\x82\xAC"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x1F600, "\xF0\x9F\x98\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    std::string out = "x";
    AppendUtf8(c.code, &out);
    EXPECT_EQ(out, "x" + c.bytes) << std::hex << c.code;
  }
}

}  // namespace
}  // namespace qora
