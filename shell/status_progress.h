// Shows the engine's status text as progress on a terminal while an
// operation runs, and turns Ctrl-C into the engine's stop request.
#ifndef QORA_SHELL_STATUS_PROGRESS_H_
#define QORA_SHELL_STATUS_PROGRESS_H_

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>

namespace qora {

// While an object lives, a thread redraws the status text on one line of
// standard error every tenth of a second when standard error is a terminal,
// and an interrupt (SIGINT) asks the engine to stop instead of ending the
// program, so the operation ends cleanly and keeps what it stored. One at a
// time.
class StatusProgress {
 public:
  StatusProgress();
  ~StatusProgress();
  StatusProgress(const StatusProgress&) = delete;
  StatusProgress& operator=(const StatusProgress&) = delete;

 private:
  void Run();
  void Draw(bool last);

  const bool terminal_;
  bool done_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string shown_;
  struct sigaction previous_ = {};
  std::thread thread_;
};

}  // namespace qora

#endif  // QORA_SHELL_STATUS_PROGRESS_H_
