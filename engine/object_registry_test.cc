#include "engine/object_registry.h"

#include <gtest/gtest.h>

#include "store/result_list.h"

namespace qora {
namespace {

struct Counted {
  explicit Counted(int* live) : live(live) { ++*live; }
  ~Counted() { --*live; }
  int* live;
};

struct Other {};

TEST(ObjectRegistryTest, HandsOutRisingHandlesFromOneCounter) {
  ObjectRegistry first, second;
  const uint32_t a = first.Register(std::make_unique<Other>());
  const uint32_t b = second.Register(std::make_unique<Other>());
  const uint32_t c = first.Register(std::make_unique<Other>());
  EXPECT_GT(a, 0u);
  EXPECT_EQ(b, a + 1);  // one counter for every registry
  EXPECT_EQ(c, b + 1);
  EXPECT_EQ(first.Find(a)->handle(), a);
  EXPECT_EQ(first.Find(b), nullptr);
  EXPECT_EQ(second.Find(b)->handle(), b);
}

TEST(ObjectRegistryTest, RemovedHandlesAreNeverGivenOutAgain) {
  ObjectRegistry registry;
  int live = 0;
  const uint32_t a = registry.Register(std::make_unique<Counted>(&live));
  EXPECT_EQ(live, 1);
  EXPECT_TRUE(registry.Remove(a));
  EXPECT_EQ(live, 0);  // the object is destroyed with its handle
  EXPECT_FALSE(registry.Remove(a));
  EXPECT_EQ(registry.Find(a), nullptr);
  const uint32_t b = registry.Register(std::make_unique<Counted>(&live));
  EXPECT_GT(b, a);
}

TEST(ObjectRegistryTest, FindsOnlyObjectsOfTheAskedKind) {
  ObjectRegistry registry;
  int live = 0;
  const uint32_t counted = registry.Register(std::make_unique<Counted>(&live));
  const uint32_t other = registry.Register(std::make_unique<Other>());
  EXPECT_NE(registry.FindAs<Counted>(counted), nullptr);
  EXPECT_EQ(registry.FindAs<Counted>(other), nullptr);
  EXPECT_EQ(registry.Find(0), nullptr);
  EXPECT_EQ(registry.Find(-1), nullptr);
  EXPECT_EQ(registry.Find(int64_t{1} << 40), nullptr);
}

TEST(ObjectRegistryTest, DestroysItsObjectsWithItself) {
  int live = 0;
  {
    ObjectRegistry registry;
    registry.Register(std::make_unique<Counted>(&live));
    registry.Register(std::make_unique<Counted>(&live));
    EXPECT_EQ(live, 2);
  }
  EXPECT_EQ(live, 0);
}

TEST(ObjectRegistryTest, RegistersAResultListUnderAHandle) {
  ObjectRegistry registry;
  auto list = std::make_unique<ResultList>();
  DocumentRecord record;
  record.docid = "a";
  list->Append(record);
  uint32_t handle = registry.Register(std::move(list));
  ResultList* found = registry.FindAs<ResultList>(handle);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(registry.Find(handle)->handle(), handle);
  EXPECT_EQ(found->item(0).docid, "a");
}

}  // namespace
}  // namespace qora
