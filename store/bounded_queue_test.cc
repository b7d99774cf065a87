#include "store/bounded_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace qora {
namespace {

TEST(BoundedQueueTest, HandsOutInOrderAcrossThreadsWithoutExceedingCapacity) {
  BoundedQueue<std::unique_ptr<int>> queue(3);
  constexpr int kCount = 5000;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) {
      if (!queue.Push(std::make_unique<int>(i))) {
        ADD_FAILURE() << "push " << i << " refused";
        break;
      }
    }
    queue.Close();
  });
  std::vector<int> seen;
  std::unique_ptr<int> value;
  while (queue.Pop(&value)) seen.push_back(*value);
  producer.join();
  ASSERT_EQ(seen.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(BoundedQueueTest, PushWaitsForRoomAndCloseReleasesIt) {
  BoundedQueue<int> queue(1);
  ASSERT_TRUE(queue.Push(1));
  std::atomic<int> result{-1};
  std::thread blocked([&] { result = queue.Push(2) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(result.load(), -1);  // still waiting: the queue is full
  queue.Close();
  blocked.join();
  EXPECT_EQ(result.load(), 0);
  // What was pushed before the close is still handed out, then nothing.
  int value = 0;
  ASSERT_TRUE(queue.Pop(&value));
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(queue.Pop(&value));
  EXPECT_FALSE(queue.Push(3));
}

TEST(BoundedQueueTest, PopOfAnEmptyQueueWaitsUntilClosed) {
  BoundedQueue<int> queue(0);  // raised to one
  std::atomic<bool> done{false};
  std::thread consumer([&] {
    int value = 0;
    EXPECT_FALSE(queue.Pop(&value));
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load());
  queue.Close();
  consumer.join();
  EXPECT_TRUE(done.load());
}

}  // namespace
}  // namespace qora
