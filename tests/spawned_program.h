// Programs started by tests as processes of their own: `qora` run the way a
// user runs it, with an environment and an output file of the test's.
#ifndef QORA_TESTS_SPAWNED_PROGRAM_H_
#define QORA_TESTS_SPAWNED_PROGRAM_H_

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qora::test {

// Starts `words` (the program's path first) with exactly the environment
// `variables` ("NAME=value"), its output and errors appended to `log`.
// Returns its process id, or -1 when it cannot be started.
inline pid_t SpawnProgram(std::vector<std::string> words, std::vector<std::string> variables,
                          const std::string& log) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (std::string& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int started = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return started == 0 ? pid : -1;
}

// The exit status of `pid` once it ends (128 + the signal when a signal
// ended it); -1, after killing it, when it is still running after `limit`.
inline int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

}  // namespace qora::test

#endif  // QORA_TESTS_SPAWNED_PROGRAM_H_
