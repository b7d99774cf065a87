#include "store/table_repair.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "store/dml_writer.h"
#include "tests/test_util.h"
#include "util/document_record.h"

namespace qora {
namespace {

// The DML file of a document fetched from `address`, `size` bytes long.
std::string Dml(const std::string& address, const std::string& size) {
  DocumentRecord record;
  record.uri = address;
  record.size = size;
  record.name = "A page";
  return WriteDocument(WriteStat(record) + "<body>text</body>");
}

TEST(TableRepairTest, TheTableFollowsTheDocumentsOnDisk) {
  test::TempDir dir;
  const std::string cache = dir.path();
  // Listed and whole; listed but its files taken away; whole but never
  // listed; a DML file without an address; a replacement that never ended.
  test::WriteFile(cache + "kept.dml", Dml("http://a.example/", "120"));
  test::WriteFile(cache + "found.dml", Dml("http://b.example/p?q=1&amp;r=2", "4711"));
  test::WriteFile(cache + "blank.dml", Dml("", "5"));
  test::WriteFile(cache + "kept.dml.partial", "<?xml");
  CacheTable table;
  table.Add(CacheEntry{"kept", "http://a.example/", "120", 0, 1, 0});
  table.Add(CacheEntry{"gone", "http://c.example/", "99", 0, 1, 0});

  EXPECT_EQ(ReconcileTable(cache, &table), 2);

  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table.at(0).id, "kept");
  EXPECT_EQ(table.at(0).processed, 1);
  const CacheEntry& found = table.at(1);
  EXPECT_EQ(found.id, "found");
  EXPECT_EQ(found.address, "http://b.example/p?q=1&amp;r=2");
  EXPECT_EQ(found.size, "4711");
  EXPECT_EQ(found.processed, 0);
  EXPECT_FALSE(table.Contains("gone"));
  EXPECT_FALSE(table.Contains("blank"));
  EXPECT_FALSE(std::filesystem::exists(cache + "kept.dml.partial"));
  EXPECT_TRUE(std::filesystem::exists(cache + "blank.dml"));

  // Once they agree, nothing changes.
  EXPECT_EQ(ReconcileTable(cache, &table), 0);
  EXPECT_EQ(table.size(), 2u);
}

}  // namespace
}  // namespace qora
