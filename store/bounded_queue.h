// A first-in first-out queue between one producing and one consuming thread,
// holding at most a fixed number of elements.
#ifndef QORA_STORE_BOUNDED_QUEUE_H_
#define QORA_STORE_BOUNDED_QUEUE_H_

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace qora {

template <typename T>
class BoundedQueue {
 public:
  // `capacity` is raised to 1 when below.
  explicit BoundedQueue(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}
  BoundedQueue(const BoundedQueue&) = delete;
  BoundedQueue& operator=(const BoundedQueue&) = delete;

  // Adds `value` at the end, waiting while the queue is full. False, and
  // `value` dropped, when the queue is or becomes closed.
  bool Push(T value) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(value));
    filled_.notify_one();
    return true;
  }

  // Moves the first element into `*value`, waiting while the queue is empty
  // and open. False when the queue is empty and closed: nothing more comes.
  // Elements pushed before Close are still handed out.
  bool Pop(T* value) {
    std::unique_lock<std::mutex> lock(mutex_);
    filled_.wait(lock, [this] { return closed_ || !items_.empty(); });
    if (items_.empty()) return false;
    *value = std::move(items_.front());
    items_.pop_front();
    room_.notify_one();
    return true;
  }

  // Ends the queue: later pushes fail and a waiting Push returns false;
  // Pop hands out what is left, then returns false.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    room_.notify_all();
    filled_.notify_all();
  }

 private:
  const size_t capacity_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::condition_variable filled_;
  std::deque<T> items_;
  bool closed_ = false;
};

}  // namespace qora

#endif  // QORA_STORE_BOUNDED_QUEUE_H_
