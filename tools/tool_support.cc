#include "tools/tool_support.h"

#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qora::tools {

namespace {

// Exit status of a child whose exec failed. The parent learns of the failure
// through the error pipe, not through this status.
constexpr int kExecFailedStatus = 127;

std::string ErrnoText(int error_number) { return std::strerror(error_number); }

void SleepMilliseconds(int ms) {
  timespec pause{};
  pause.tv_sec = ms / 1000;
  pause.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

// A program started with SIGCHLD ignored inherits that, and the system then
// reaps its children unasked, so that they cannot be waited for.
void RestoreDefaultChildSignal() { signal(SIGCHLD, SIG_DFL); }

ChildResult ResultFromStatus(int status) {
  ChildResult result;
  if (WIFEXITED(status)) {
    result.outcome = ChildResult::Outcome::kExited;
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.outcome = ChildResult::Outcome::kSignalled;
    result.signal_number = WTERMSIG(status);
  }
  return result;
}

// Waits until the child `pid` ends or `deadline` passes; true when it ended.
// A process descriptor wakes the wait the moment the child ends; where the
// system offers none, short pauses between checks take its place.
bool AwaitEnd(pid_t pid, std::chrono::steady_clock::time_point deadline) {
  const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  int pause_ms = 1;
  bool ended = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (descriptor >= 0) {
      pollfd watch{descriptor, POLLIN, 0};
      const int ready = poll(&watch, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
      if (ready > 0) {
        ended = true;
        break;
      }
      if (ready < 0 && errno != EINTR) break;
    } else {
      // Looks without reaping; an error ends the wait too, and the caller's
      // own wait then reports it.
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
          info.si_pid == pid) {
        ended = true;
        break;
      }
      SleepMilliseconds(pause_ms);
      if (pause_ms < 20) pause_ms *= 2;
    }
  }
  if (descriptor >= 0) close(descriptor);
  return ended;
}

// Waits for the child `pid` at most `time_limit_ms` milliseconds; kills and
// reaps it when the limit passes.
ChildResult WaitWithTimeLimit(pid_t pid, int time_limit_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(time_limit_ms);
  if (AwaitEnd(pid, deadline)) {
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (done == pid) return ResultFromStatus(status);
    return ChildResult{};  // The child cannot be waited for: report it as failed.
  }
  kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ChildResult timed_out;
  timed_out.outcome = ChildResult::Outcome::kTimedOut;
  return timed_out;
}

// Builds the NULL-terminated argument vector that execvp expects; the
// pointers stay valid as long as `argv` lives unchanged.
std::vector<char*> ExecArguments(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::string HtmlPathBeside(std::string_view pdf_path) {
  const size_t name_start =
      pdf_path.find_last_of('/') == std::string_view::npos ? 0 : pdf_path.find_last_of('/') + 1;
  const size_t dot = pdf_path.find_last_of('.');
  // A leading dot ("/x/.pdf") names a hidden file, not an extension.
  if (dot == std::string_view::npos || dot <= name_start) {
    return std::string(pdf_path) + ".html";
  }
  return std::string(pdf_path.substr(0, dot)) + ".html";
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot open \"" + path + "\": " + ErrnoText(errno);
    return false;
  }
  bytes->clear();
  char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  const int read_errno = errno;
  std::fclose(file);
  if (failed) {
    *error = "cannot read \"" + path + "\": " + ErrnoText(read_errno);
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot create \"" + path + "\": " + ErrnoText(errno);
    return false;
  }
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    const int write_errno = errno != 0 ? errno : EIO;
    *error = "cannot write \"" + path + "\": " + ErrnoText(write_errno);
    std::remove(path.c_str());
    return false;
  }
  return true;
}

bool WriteFileInOneStep(const std::string& path, const std::string& scratch_path,
                        std::string_view bytes, std::string* error) {
  if (!WriteWholeFile(scratch_path, bytes, error)) return false;
  if (std::rename(scratch_path.c_str(), path.c_str()) != 0) {
    *error = "cannot rename \"" + scratch_path + "\" to \"" + path + "\": " + ErrnoText(errno);
    std::remove(scratch_path.c_str());
    return false;
  }
  return true;
}

int TimeLimitMilliseconds(int default_ms) {
  const char* text = std::getenv("QORA_TOOL_TIME_LIMIT_MS");
  if (text == nullptr || *text == '\0') return default_ms;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value <= 0 || value > 24L * 3600 * 1000) return default_ms;
  return static_cast<int>(value);
}

std::string ChildResult::Describe() const {
  switch (outcome) {
    case Outcome::kExited:
      return "exited with status " + std::to_string(exit_code);
    case Outcome::kSignalled:
      return std::string("was ended by signal ") + std::to_string(signal_number) + " (" +
             strsignal(signal_number) + ")";
    case Outcome::kTimedOut:
      return "did not finish within the time limit and was stopped";
    case Outcome::kNotStarted:
      break;
  }
  if (start_error != 0) return std::string("could not be started: ") + ErrnoText(start_error);
  return "could not be started";
}

ChildResult RunProgram(const std::vector<std::string>& argv, int time_limit_ms) {
  if (argv.empty()) return ChildResult{};
  std::vector<char*> arguments = ExecArguments(argv);
  // The child reports an exec failure by writing errno into this pipe; a
  // successful exec closes the write end (close-on-exec), so the parent then
  // reads end-of-file.
  RestoreDefaultChildSignal();
  int error_pipe[2];
  ChildResult not_started;
  if (pipe2(error_pipe, O_CLOEXEC) != 0) {
    not_started.start_error = errno;
    return not_started;
  }
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    not_started.start_error = errno;
    close(error_pipe[0]);
    close(error_pipe[1]);
    return not_started;
  }
  if (pid == 0) {
    close(error_pipe[0]);
    const int null_input = open("/dev/null", O_RDONLY);
    if (null_input >= 0) {
      dup2(null_input, STDIN_FILENO);
      if (null_input != STDIN_FILENO) close(null_input);
    }
    execvp(arguments[0], arguments.data());
    const int exec_errno = errno;
    ssize_t ignored = write(error_pipe[1], &exec_errno, sizeof exec_errno);
    (void)ignored;
    _exit(kExecFailedStatus);
  }
  close(error_pipe[1]);
  int exec_errno = 0;
  ssize_t got = 0;
  do {
    got = read(error_pipe[0], &exec_errno, sizeof exec_errno);
  } while (got < 0 && errno == EINTR);
  close(error_pipe[0]);
  if (got == static_cast<ssize_t>(sizeof exec_errno)) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    not_started.start_error = exec_errno;
    return not_started;
  }
  return WaitWithTimeLimit(pid, time_limit_ms);
}

namespace {

const char* time_limit_message = "";

// Runs on SIGALRM: only async-signal-safe calls.
void EndAtTimeLimit(int) {
  const ssize_t written = write(STDERR_FILENO, time_limit_message, std::strlen(time_limit_message));
  (void)written;
  _exit(1);
}

}  // namespace

void EndProcessAfter(int milliseconds, const char* message) {
  time_limit_message = message;
  signal(SIGALRM, EndAtTimeLimit);
  itimerval timer{};
  timer.it_value.tv_sec = milliseconds / 1000;
  timer.it_value.tv_usec = static_cast<long>(milliseconds % 1000) * 1000L;
  setitimer(ITIMER_REAL, &timer, nullptr);
}

namespace {
// Volatile: a store the compiler may not drop, so the allocation stays.
void* volatile g_heap_filler = nullptr;
}  // namespace

void PrepareHeapForOneTask() {
  constexpr uintptr_t kHugePage = 2u << 20;
  constexpr int kHeapReserve = 16 << 20;
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, INT32_MAX);
  mallopt(M_TOP_PAD, kHeapReserve);
  // More than the heap holds yet: grows it by at least the reserve.
  void* probe = std::malloc(kHeapReserve / 2);
  g_heap_filler = probe;  // seen outside, so the compiler keeps the allocation
  const uintptr_t start = reinterpret_cast<uintptr_t>(probe);
  const uintptr_t top = reinterpret_cast<uintptr_t>(sbrk(0));
  const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  std::free(probe);  // back into the free top of the heap, not to the system
  g_heap_filler = nullptr;
  if (probe == nullptr || top < first + kHugePage) return;
  madvise(reinterpret_cast<void*>(first), (top - first) & ~(kHugePage - 1), MADV_HUGEPAGE);
  // The free heap starts where the probe did. A block that is never touched
  // (only its bounds are written) fills it up to the first huge page.
  constexpr uintptr_t kChunkOverhead = 64;
  if (first - start > kChunkOverhead) g_heap_filler = std::malloc(first - start - kChunkOverhead);
}

}  // namespace qora::tools
