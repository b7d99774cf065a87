#include "shell/operation_worker.h"

#include <system_error>
#include <utility>

#include "qora/engine.h"
#include "shell/engine_string.h"

namespace qora {

OperationWorker::OperationWorker(EventQueue* events, SharedSettings* settings)
    : events_(events), settings_(settings) {}

OperationWorker::~OperationWorker() { Wait(); }

bool OperationWorker::Start(const std::string& title, std::function<int()> run) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (busy_) {
    events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  // A finished operation's thread has left the lock for good: it only has
  // to return.
  if (thread_.joinable()) thread_.join();
  if (settings_ != nullptr) settings_->Write(settings::kGracefullyTerminated, 0);
  busy_ = true;
  events_->Push(BusyEvent(true, title));
  try {
    thread_ = std::thread(&OperationWorker::Run, this, std::move(run));
  } catch (const std::system_error& error) {
    busy_ = false;
    events_->Push(BusyEvent(false, ""));
    events_->Push(MessageEvent(kError, std::string("The operation cannot start: ") + error.what()));
    return false;
  }
  return true;
}

void OperationWorker::Run(const std::function<int()>& run) {
  int code = -1;
  try {
    code = run();
  } catch (...) {
    code = -1;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  events_->Push(CompletionEvent(code));
  events_->Push(BusyEvent(false, ""));
  busy_ = false;
}

bool OperationWorker::RunIfIdle(const std::function<void()>& use, bool tell_busy) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (busy_) {
    if (tell_busy) events_->Push(MessageEvent(kInfo, kBusyText));
    return false;
  }
  use();
  return true;
}

bool OperationWorker::Busy() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return busy_;
}

void OperationWorker::Stop() {
  int result = -1;
  EngineSetStop(1, &result);
}

std::string OperationWorker::Status() const {
  char* status = nullptr;
  int result = -1;
  EngineGetStatus(&status, &result);
  return TakeEngineString(status);
}

void OperationWorker::Wait() {
  std::thread running;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running = std::move(thread_);
  }
  if (running.joinable()) running.join();
}

}  // namespace qora
