#include "acquire/program_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qora {

namespace {

// The attributes and file actions of one start, released on every path.
class SpawnSetup {
 public:
  SpawnSetup() {
    attributes_ok_ = posix_spawnattr_init(&attributes_) == 0;
    actions_ok_ = posix_spawn_file_actions_init(&actions_) == 0;
  }
  ~SpawnSetup() {
    if (attributes_ok_) posix_spawnattr_destroy(&attributes_);
    if (actions_ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // Standard streams on /dev/null; signals at their defaults, none blocked.
  bool Prepare() {
    if (!attributes_ok_ || !actions_ok_) return false;
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    return posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
           posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
           posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) ==
               0 &&
           posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0) ==
               0;
  }

  const posix_spawnattr_t* attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
  bool attributes_ok_ = false;
  bool actions_ok_ = false;
};

// The longest a helper may run: longer than the helpers' own limits (a
// minute for a page, two for a PDF), so it only ends a helper that hangs
// although it should have stopped itself.
constexpr int kHelperTimeLimitMs = 180 * 1000;

// Waits for `pid` to end, for at most kHelperTimeLimitMs; a child still
// running then is killed. With SIGCHLD ignored by this process the system
// reaps the child itself and waitpid reports ECHILD once it has ended.
void WaitForEnd(pid_t pid) {
  const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (descriptor >= 0) {
    pollfd watch{descriptor, POLLIN, 0};
    int ready;
    while ((ready = poll(&watch, 1, kHelperTimeLimitMs)) < 0 && errno == EINTR) {
    }
    if (ready == 0) kill(pid, SIGKILL);
    close(descriptor);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

bool RunProgramAndWait(const std::string& path, const std::vector<std::string>& argv) {
  if (argv.empty() || path.empty()) return false;
  SpawnSetup setup;
  if (!setup.Prepare()) return false;
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), setup.actions(), setup.attributes(), arguments.data(),
                  environ) != 0) {
    return false;
  }
  WaitForEnd(pid);
  return true;
}

}  // namespace qora
