#include "shell/operation_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "qora/engine.h"
#include "shell/data_folder.h"
#include "shell/engine_session.h"
#include "tests/test_util.h"

namespace qora {
namespace {

using nlohmann::json;

class OperationWorkerTest : public ::testing::Test {
 protected:
  // The events pushed so far, without their sequence numbers.
  std::vector<json> Events() {
    std::vector<json> events = events_.After(0);
    for (json& event : events) event.erase("seq");
    return events;
  }

  SettingsStore store_;
  SharedSettings settings_{&store_};
  EventQueue events_;
  OperationWorker worker_{&events_, &settings_};
};

TEST_F(OperationWorkerTest, AnOperationIsFramedByBusyEventsAndEndsWithItsCompletionCode) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> ran_on_other_thread{false};
  const std::thread::id caller = std::this_thread::get_id();
  ASSERT_TRUE(worker_.Start("Research Libraries", [&] {
    ran_on_other_thread = std::this_thread::get_id() != caller;
    released.wait();
    return 6;
  }));
  EXPECT_TRUE(worker_.Busy());
  EXPECT_EQ(Events(), std::vector<json>({BusyEvent(true, "Research Libraries")}));
  release.set_value();
  worker_.Wait();
  EXPECT_FALSE(worker_.Busy());
  EXPECT_TRUE(ran_on_other_thread);
  EXPECT_EQ(Events(), std::vector<json>({BusyEvent(true, "Research Libraries"), CompletionEvent(6),
                                         BusyEvent(false, "")}));
}

TEST_F(OperationWorkerTest, ASecondOperationIsRefusedWhileTheFirstRuns) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(worker_.Start("first", [&] {
    released.wait();
    return 1;
  }));
  bool second_ran = false;
  EXPECT_FALSE(worker_.Start("second", [&] {
    second_ran = true;
    return 2;
  }));
  bool quick_ran = false;
  EXPECT_FALSE(worker_.RunIfIdle([&] { quick_ran = true; }));
  release.set_value();
  worker_.Wait();
  EXPECT_FALSE(second_ran);
  EXPECT_FALSE(quick_ran);
  const json busy = MessageEvent(kInfo, "Program is busy. Please wait.");
  EXPECT_EQ(Events(), std::vector<json>({BusyEvent(true, "first"), busy, busy, CompletionEvent(1),
                                         BusyEvent(false, "")}));
  // Once it ended, the next one starts.
  EXPECT_TRUE(worker_.Start("third", [] { return 3; }));
  worker_.Wait();
  EXPECT_EQ(Events().back(), BusyEvent(false, ""));
  EXPECT_EQ(Events()[Events().size() - 2], CompletionEvent(3));
}

TEST_F(OperationWorkerTest, OperationsFollowingOneAnotherEachReportTheirCode) {
  for (int code = 0; code < 20; ++code) {
    ASSERT_TRUE(worker_.Start("op", [code] { return code; }));
    worker_.Wait();
  }
  int completions = 0;
  for (const json& event : Events()) {
    if (event["type"] == "completion") {
      EXPECT_EQ(event["code"], completions++);
    }
  }
  EXPECT_EQ(completions, 20);
}

TEST_F(OperationWorkerTest, AnExceptionEndsTheOperationWithCodeMinusOne) {
  ASSERT_TRUE(worker_.Start("failing", []() -> int { throw std::runtime_error("broken"); }));
  worker_.Wait();
  EXPECT_FALSE(worker_.Busy());
  EXPECT_EQ(Events(), std::vector<json>(
                          {BusyEvent(true, "failing"), CompletionEvent(-1), BusyEvent(false, "")}));
}

TEST_F(OperationWorkerTest, StartingAnOperationMarksTheRunAsNotEndedGracefully) {
  store_.WriteInt("Settings", "gracefullyTerminated", 1);
  int seen = -1;
  ASSERT_TRUE(worker_.Start("op", [&] {
    settings_.Use([&](SettingsStore* store) {
      seen = store->ReadInt("Settings", "gracefullyTerminated", 1);
    });
    return 0;
  }));
  worker_.Wait();
  EXPECT_EQ(seen, 0);
  // A refused start writes nothing.
  store_.WriteInt("Settings", "gracefullyTerminated", 1);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(worker_.Start("op", [&] {
    released.wait();
    return 0;
  }));
  settings_.Write(settings::kGracefullyTerminated, 1);
  EXPECT_FALSE(worker_.Start("refused", [] { return 0; }));
  EXPECT_EQ(settings_.Read(settings::kGracefullyTerminated), 1);
  release.set_value();
  worker_.Wait();
}

TEST_F(OperationWorkerTest, RunIfIdleRunsAtOnceOnTheCallingThread) {
  std::thread::id ran_on;
  EXPECT_TRUE(worker_.RunIfIdle([&] { ran_on = std::this_thread::get_id(); }));
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_TRUE(Events().empty());
}

TEST(OperationWorkerDestructionTest, TheDestructorWaitsForTheRunningOperation) {
  EventQueue events;
  std::atomic<bool> finished{false};
  {
    OperationWorker worker(&events, nullptr);
    ASSERT_TRUE(worker.Start("slow", [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      finished = true;
      return 0;
    }));
  }
  EXPECT_TRUE(finished);
  EXPECT_EQ(events.After(0).back()["type"], "busy");
  EXPECT_EQ(events.After(0).back()["busy"], false);
}

// The status and stop flag are the engine's: with no engine the status is
// empty and a stop request is harmless; with an engine the status follows
// the engine's operations.
TEST_F(OperationWorkerTest, StatusIsTheEnginesStatusText) {
  EXPECT_EQ(worker_.Status(), "");
  worker_.Stop();
  test::TempDir dir;
  const std::string data = dir.path() + "qoralibs/";
  ASSERT_EQ(InitDataFolder(test::SourceDataFolder(), data), "");
  EngineSession session;
  ASSERT_EQ(session.Start(data), 0);
  ASSERT_TRUE(worker_.Start("workspace", [] {
    int workspace = -1;
    EngineOpenWorkspace("wkspc.ini", &workspace);
    int result = -1;
    EnginePrepareRanking(workspace, &result);
    return result;
  }));
  worker_.Wait();
  EXPECT_EQ(worker_.Status(), "Preparing for Relevance Ranking");
  EXPECT_EQ(Events()[1], CompletionEvent(0));
  worker_.Stop();
}

}  // namespace
}  // namespace qora
