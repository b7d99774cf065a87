// Where a long operation reports its progress and learns that it should
// stop. The engine implements it with its lock-guarded status text and stop
// flag; the layers below take it as an interface so they need not know the
// engine.
#ifndef QORA_UTIL_PROGRESS_H_
#define QORA_UTIL_PROGRESS_H_

#include <string>

namespace qora {

class Progress {
 public:
  virtual ~Progress() = default;

  // Replaces the status text shown to the user. Safe from any thread.
  virtual void SetStatus(const std::string& text) = 0;

  // True once a stop was requested. Safe from any thread; the operation
  // polls it and ends cleanly, keeping what it has finished.
  virtual bool StopRequested() const = 0;
};

}  // namespace qora

#endif  // QORA_UTIL_PROGRESS_H_
