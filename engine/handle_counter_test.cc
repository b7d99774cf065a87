// Runs in a process of its own: the handle counter is process-wide, so only
// a fresh process shows where it starts.
#include <gtest/gtest.h>

#include "engine/engine.h"
#include "engine/object_registry.h"
#include "qora/engine.h"

namespace qora {
namespace {

struct Named {};

TEST(HandleCounterTest, StartsAtOneAndCountsEveryObjectOfTheRun) {
  EngineCreate();
  Engine* engine = CurrentEngine();
  ASSERT_NE(engine, nullptr);
  ObjectRegistry workspace_registry;  // a workspace's own registry
  EXPECT_EQ(engine->registry().Register(std::make_unique<Named>()), 1u);
  EXPECT_EQ(workspace_registry.Register(std::make_unique<Named>()), 2u);
  EXPECT_EQ(engine->registry().Register(std::make_unique<Named>()), 3u);

  int result = -2;
  EngineDeleteHandle(3, &result);
  EXPECT_EQ(result, 0);
  // A restarted engine goes on counting: handles are never reused in a run.
  EngineDestroy();
  EngineCreate();
  EXPECT_EQ(CurrentEngine()->registry().Register(std::make_unique<Named>()), 4u);
  EngineDestroy();
}

}  // namespace
}  // namespace qora
