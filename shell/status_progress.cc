#include "shell/status_progress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "qora/engine.h"
#include "shell/display_text.h"
#include "shell/engine_string.h"

namespace qora {
namespace {

// Set by the signal handler, read by the progress thread: a handler may not
// take the engine's lock itself.
std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted.store(true); }

std::string CurrentStatus() {
  char* text = nullptr;
  int result = -1;
  EngineGetStatus(&text, &result);
  return TakeEngineString(text);
}

}  // namespace

StatusProgress::StatusProgress() : terminal_(::isatty(STDERR_FILENO) == 1) {
  interrupted.store(false);
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous_);
  thread_ = std::thread([this] { Run(); });
}

StatusProgress::~StatusProgress() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  wake_.notify_all();
  thread_.join();
  ::sigaction(SIGINT, &previous_, nullptr);
}

void StatusProgress::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  bool stop_sent = false;
  while (!done_) {
    wake_.wait_for(lock, std::chrono::milliseconds(100));
    if (interrupted.load() && !stop_sent) {
      int result = -1;
      EngineSetStop(1, &result);
      stop_sent = true;
    }
    Draw(done_);
  }
}

void StatusProgress::Draw(bool last) {
  if (!terminal_) return;
  // The status names fetched addresses and titles: no byte of them may
  // command the terminal.
  const std::string status = TerminalText(CurrentStatus());
  if (status != shown_) {
    // Back to the line's start, the text, and the rest of the line cleared.
    std::fprintf(stderr, "\r%s\x1b[K", status.c_str());
    shown_ = status;
  }
  if (last && !shown_.empty()) std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace qora
