// The one worker thread on which every long engine operation runs. While an
// operation runs every other request is refused, so the engine (which is not
// thread-safe) is used by one operation at a time; only its status text and
// stop flag are touched from other threads.
#ifndef QORA_SHELL_OPERATION_WORKER_H_
#define QORA_SHELL_OPERATION_WORKER_H_

#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "shell/app_events.h"
#include "shell/shared_settings.h"

namespace qora {

inline constexpr char kBusyText[] = "Program is busy. Please wait.";

class OperationWorker {
 public:
  // Reports to `events`; `settings` (may be null) gets the crash mark.
  // Both must outlive the worker.
  OperationWorker(EventQueue* events, SharedSettings* settings);
  // Waits for the running operation to end.
  ~OperationWorker();
  OperationWorker(const OperationWorker&) = delete;
  OperationWorker& operator=(const OperationWorker&) = delete;

  // Runs `run` on the worker thread. Refused while an operation runs: then
  // pushes the information message "Program is busy. Please wait." and
  // returns false. Otherwise writes "Settings"/"gracefullyTerminated" = 0
  // (every operation works on the libraries, so an end of the program
  // before a clean shutdown asks for their repair), pushes the busy event
  // with `title`, and returns true; when `run` returns its value N the
  // worker pushes {"type":"completion","code":N} and then the event that
  // busy mode was left. An exception leaving `run` counts as code -1.
  bool Start(const std::string& title, std::function<int()> run);

  // Runs `use` at once on the calling thread unless an operation runs (then
  // refused as Start refuses): for short engine requests, which must not
  // overlap an operation. No operation starts until `use` returns, so `use`
  // must not call Start. With `tell_busy` false a refusal pushes nothing:
  // for reads that the front repeats after the operation anyway.
  bool RunIfIdle(const std::function<void()>& use, bool tell_busy = true);

  // True from a successful Start until the operation's events are pushed.
  bool Busy() const;

  // Asks the running operation to stop (the engine's stop flag).
  void Stop();

  // The engine's status text.
  std::string Status() const;

  // Waits for the operation running at the call, if any, to end.
  void Wait();

 private:
  void Run(const std::function<int()>& run);

  EventQueue* const events_;
  SharedSettings* const settings_;
  mutable std::mutex mutex_;
  bool busy_ = false;
  std::thread thread_;
};

}  // namespace qora

#endif  // QORA_SHELL_OPERATION_WORKER_H_
