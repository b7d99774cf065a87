#include "store/document_id.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qora {
namespace {

// A second, deliberately plain rendering of the id rules, written from the
// description of the format rather than from MakeDocumentId.

int32_t Signed(uint8_t byte) { return byte >= 0x80 ? static_cast<int32_t>(byte) - 256 : byte; }

std::string ReferenceBase36(uint32_t value) {
  const std::string digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % 36]);
    value /= 36;
  } while (value > 0);
  return text;
}

// The concatenated base-36 groups, before thinning and reversal.
std::string ReferenceGroups(const std::string& address) {
  const size_t n = address.size() < 1500 ? address.size() : 1500;
  std::vector<uint8_t> b(n + 4, 0);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(address[i]);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((b[i] + b[i + 2]) & 0xff);
  for (size_t i = 0; i < n; ++i) b[i + 3] = static_cast<uint8_t>((b[i + 3] + b[i]) & 0xff);
  std::string groups;
  for (size_t k = 0; k < n; k += 4) {
    // 64-bit arithmetic, reduced to 32 bits: the same as 32-bit two's
    // complement.
    int64_t wide = Signed(b[k]);
    for (size_t j = 1; j < 4; ++j) wide = wide * 256 + Signed(b[k + j]);
    uint32_t h = static_cast<uint32_t>(static_cast<uint64_t>(wide) & 0xffffffffu);
    h += h << 12;
    h ^= h >> 22;
    h += h << 4;
    h ^= h >> 9;
    h += h << 10;
    h ^= h >> 2;
    h += h << 7;
    h ^= h >> 12;
    groups += ReferenceBase36(h);
  }
  return groups;
}

std::string ReferenceId(const std::string& address) {
  std::string id = ReferenceGroups(address);
  const size_t length = id.size();
  if (length >= 150) {
    const size_t step = length / 150 + 1;
    const size_t keep = length / step;
    std::string thinned;
    for (size_t i = 0; i < keep; ++i) thinned += id[i * step];
    id = thinned;
  }
  return std::string(id.rbegin(), id.rend());
}

bool OnlyBase36Digits(const std::string& id) {
  for (char c : id) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
  }
  return !id.empty();
}

// An address of 88 bytes whose groups add up to `length` characters, found
// by trying numbered addresses in turn; "" when none of them fits.
std::string AddressWithGroupLength(size_t length) {
  for (int i = 0; i < 5000; ++i) {
    std::string address = "http://example.org/papers/" + std::to_string(i);
    address.resize(88, 'x');
    if (ReferenceGroups(address).size() == length) return address;
  }
  return "";
}

TEST(DocumentIdTest, ShortAddressesAreOneReversedGroup) {
  // Worked out by hand from the rules; "\xff" and "\xc3\xa9" have bytes that
  // count as negative.
  EXPECT_EQ(MakeDocumentId("a"), "jyd37d");
  EXPECT_EQ(MakeDocumentId("\xff"), "a54gbr");
  EXPECT_EQ(MakeDocumentId("abcd"), "cpnmqt1");
  for (const std::string address : {"a", "ab", "abc", "abcd", "\xff", "\x80\x7f", "\xc3\xa9",
                                    "z\xfe\xfd", "\x01\x02\x03\x04"}) {
    SCOPED_TRACE(address);
    const std::string group = ReferenceGroups(address);
    EXPECT_GE(group.size(), 1u);
    EXPECT_LE(group.size(), 7u);  // one 32-bit value in base 36
    EXPECT_EQ(MakeDocumentId(address), std::string(group.rbegin(), group.rend()));
  }
}

TEST(DocumentIdTest, MatchesReferenceAcrossLengthsAndBytes) {
  std::vector<std::string> addresses = {
      "http://x.org/\xc3\xa9t\xe9",
      "file:///home/user/docs/report.pdf",
      "http://example.org/a?b=c&d=e#frag",
      std::string("\x00\x90\x00\xa0\xb0", 5),
  };
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (size_t length = 1; length <= 40; ++length) addresses.push_back(bytes.substr(200, length));
  addresses.push_back(bytes + bytes);
  std::string long_address;
  for (int i = 0; long_address.size() < 1400; ++i) long_address += "/seg" + std::to_string(i);
  addresses.push_back(long_address);
  for (const std::string& address : addresses) {
    SCOPED_TRACE(address.size());
    const std::string id = MakeDocumentId(address);
    EXPECT_EQ(id, ReferenceId(address));
    EXPECT_TRUE(OnlyBase36Digits(id)) << id;
  }
  EXPECT_EQ(MakeDocumentId("http://x.org/\xc3\xa9t\xe9"), "kn8anytjiuw51woz4sx1kxaknurb66fy1");
}

TEST(DocumentIdTest, OnlyTheFirst1500BytesCount) {
  std::string base;
  for (int i = 0; base.size() < 1500; ++i) base += static_cast<char>('a' + i % 26);
  base.resize(1500);
  const std::string id = MakeDocumentId(base);
  EXPECT_EQ(MakeDocumentId(base + "tail"), id);
  EXPECT_EQ(MakeDocumentId(base + std::string(3000, '\xee')), id);
  // The 1500th byte itself still counts (a value whose change survives the
  // thinning of the id).
  std::string changed = base;
  changed[1499] = '\xff';
  ASSERT_NE(ReferenceId(changed), ReferenceId(base));
  EXPECT_NE(MakeDocumentId(changed), id);
  EXPECT_EQ(MakeDocumentId(changed), ReferenceId(changed));
}

TEST(DocumentIdTest, LongIdsAreThinned) {
  // 149 characters stay as they are; from 150 on every step-th is kept.
  const std::string below = AddressWithGroupLength(149);
  ASSERT_FALSE(below.empty());
  const std::string groups_below = ReferenceGroups(below);
  EXPECT_EQ(MakeDocumentId(below), std::string(groups_below.rbegin(), groups_below.rend()));

  const std::string at = AddressWithGroupLength(150);
  ASSERT_FALSE(at.empty());
  const std::string groups_at = ReferenceGroups(at);
  std::string every_second;
  for (size_t i = 0; i < 150; i += 2) every_second += groups_at[i];
  const std::string id_at = MakeDocumentId(at);
  EXPECT_EQ(id_at.size(), 75u);
  EXPECT_EQ(id_at, std::string(every_second.rbegin(), every_second.rend()));

  // A 1500-byte address: about 2600 characters, thinned with a larger step.
  std::string longest;
  for (int i = 0; longest.size() < 1500; ++i) longest += "/p" + std::to_string(i * 7919);
  const std::string groups = ReferenceGroups(longest);
  ASSERT_GE(groups.size(), 300u);
  const size_t step = groups.size() / 150 + 1;
  const std::string id = MakeDocumentId(longest);
  EXPECT_EQ(id.size(), groups.size() / step);
  EXPECT_LT(id.size(), 150u);
  EXPECT_EQ(id, ReferenceId(longest));
  EXPECT_TRUE(OnlyBase36Digits(id));
}

}  // namespace
}  // namespace qora
