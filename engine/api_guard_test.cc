// No exception leaves an entry point. This test program replaces the global
// allocation function so that a test can make one chosen allocation fail, as
// memory running out would, and so reach the exception paths of the engine
// that no input can reach.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "engine/api_support.h"
#include "engine/engine.h"
#include "qora/engine.h"
#include "tests/engine_status.h"
#include "tests/test_util.h"

namespace {

// The number of allocations still to succeed before one fails; -1 when none
// is to fail.
std::atomic<long> allocations_before_failure{-1};

}  // namespace

void* operator new(std::size_t size) {
  if (allocations_before_failure.load(std::memory_order_relaxed) >= 0 &&
      allocations_before_failure.fetch_sub(1) == 0) {
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

// The matching deallocation functions: what the operator new above takes
// from std::malloc goes back with std::free, under a sanitizer too (whose
// own operator delete would refuse a block that malloc gave). They are not
// inlined: GCC would then see a block from operator new reach std::free in
// one function and report a mismatch that the pair above rules out.
__attribute__((noinline)) void operator delete(void* block) noexcept { std::free(block); }
__attribute__((noinline)) void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace qora {
namespace {

namespace fs = std::filesystem;

// Calls `call` with allocation number `n` of the call (0 the first) failing;
// true when that allocation was reached.
bool CallFailingAllocation(long n, const std::function<void()>& call) {
  allocations_before_failure = n;
  call();
  const bool reached = allocations_before_failure.exchange(-1) < 0;
  return reached;
}

std::string Status() { return test::EngineStatusText(); }

class ApiGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(test::SourceDataFolder(), dir_.path(), fs::copy_options::recursive);
    EngineCreate();
    int result = -2;
    EngineStart(dir_.path().c_str(), "main.ini", &result);
    ASSERT_EQ(result, 0);
    EngineOpenWorkspace("wkspc.ini", &workspace_);
    ASSERT_GT(workspace_, 0);
  }
  void TearDown() override { EngineDestroy(); }

  test::TempDir dir_;
  int workspace_ = -1;
};

TEST_F(ApiGuardTest, AnAllocationThatFailsGivesTheFailureResultAndTheReason) {
  int result = -2;
  ASSERT_TRUE(CallFailingAllocation(0, [&] { EngineNewQuery(workspace_, &result); }));
  EXPECT_EQ(result, -1);  // the result is a handle: none was made
  EXPECT_EQ(Status(), "Internal error: std::bad_alloc");

  char* text = reinterpret_cast<char*>(1);
  ASSERT_TRUE(CallFailingAllocation(0, [&] { EngineGetEnvironment(&text, &result); }));
  EXPECT_EQ(result, 1);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  EngineFreeString(text);

  // The engine goes on working.
  EngineNewQuery(workspace_, &result);
  EXPECT_GT(result, 0);
}

// One entry point, the result it gives when an exception ends it, and the
// call, which hands out at most one string.
struct Guarded {
  const char* name;
  int failure;
  std::function<void(char**, int*)> call;
};

TEST_F(ApiGuardTest, EveryFailingAllocationOfAnEntryPointEndsInItsFailureResult) {
  char* ident = nullptr;
  int store = -2;
  EngineCreateStore("Papers", &ident, &store);
  ASSERT_GT(store, 0);
  const std::string name = ident;
  EngineFreeString(ident);
  const std::string cache = dir_.path() + "libraries/" + name + "/loc_c/";
  test::WriteFile(cache + "d1.dml", "<document><p><s>solar power grid</s></p></document>");
  test::WriteFile(cache + "cache.chx", "d1|http://x/d1|9|0|0|\n");
  int query = -2;
  EngineNewQuery(workspace_, &query);
  ASSERT_GT(query, 0);
  EngineAddStoreToWorkspace(store, workspace_, &query);
  EngineNewQuery(workspace_, &query);

  // Left out are the calls that walk folders (creating, listing, emptying
  // stores, a full processing run): the standard library's folder functions
  // that report through an error code are noexcept, so an allocation failing
  // inside one of them ends the process before any handler can run.
  const std::vector<Guarded> entry_points = {
      {"EngineGetEnvironment", 1, [](char** t, int* r) { EngineGetEnvironment(t, r); }},
      {"EngineOpenStore", -1, [](char**, int* r) { EngineOpenStore("dsother", r); }},
      {"EngineProcessStore", 1, [&](char**, int* r) { EngineProcessStore(store, 0, r); }},
      {"EngineLoadStoreStatistics", 1,
       [&](char**, int* r) { EngineLoadStoreStatistics(store, r); }},
      {"EngineListStoreDocuments", 1,
       [&](char** t, int* r) { EngineListStoreDocuments(store, 0, -1, t, r); }},
      {"EngineOpenWorkspace", -1, [](char**, int* r) { EngineOpenWorkspace("wkspc.ini", r); }},
      {"EngineSetQueryKeywords", 1,
       [&](char**, int* r) { EngineSetQueryKeywords(query, "solar power", workspace_, r); }},
      {"EnginePrepareQuery", 1, [&](char**, int* r) { EnginePrepareQuery(query, workspace_, r); }},
      {"EngineRankDocuments", -1,
       [&](char**, int* r) { EngineRankDocuments(query, 10, workspace_, r); }},
  };
  int internal_errors = 0;
  for (const Guarded& entry : entry_points) {
    for (long n = 0; n < 400; ++n) {
      CurrentEngine()->environment().EnvironmentSetStatus("");
      char* text = nullptr;
      int result = -2;
      const bool reached = CallFailingAllocation(n, [&] { entry.call(&text, &result); });
      const std::string status = Status();
      const std::string out = text == nullptr ? "" : text;
      EngineFreeString(text);
      if (!reached) break;  // the call made fewer allocations: all are covered
      // A failure that the operation handles itself is its own business;
      // one that reached the entry point must give the failure result.
      if (status.rfind("Internal error: ", 0) != 0) continue;
      ++internal_errors;
      EXPECT_EQ(result, entry.failure) << entry.name << " allocation " << n;
      EXPECT_EQ(out, "") << entry.name << " allocation " << n;
    }
  }
  EXPECT_GT(internal_errors, 100);
}

}  // namespace
}  // namespace qora
