// The lock that keeps one application running per user: an exclusive
// advisory lock on a file in the user's runtime folder, released by the
// system when the process ends however it ends, so a crash never leaves a
// stale lock behind. The file also holds the running copy's address, so a
// second start can point the user at it.
#ifndef QORA_SHELL_INSTANCE_LOCK_H_
#define QORA_SHELL_INSTANCE_LOCK_H_

#include <string>

namespace qora {

// The lock file: "qora/instance.lock" in $XDG_RUNTIME_DIR when that is an
// absolute path, else in "/tmp/qora-" followed by the user id.
std::string InstanceLockPath();

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock at `path`, making its folder (mode 0700) when missing.
  // Returns "" when this process holds it now; "Application already
  // running!" when another process holds it; else a message naming the file
  // and the reason. Never waits.
  std::string Acquire(const std::string& path);

  // Records `address` in the lock file for a later start to read. Returns
  // false when it cannot be written. Only while the lock is held.
  bool RecordAddress(const std::string& address);

  // Releases the lock (the destructor does it too).
  void Release();

  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The address recorded by the copy that holds the lock at `path`, or ""
// when there is none.
std::string RunningAddress(const std::string& path);

}  // namespace qora

#endif  // QORA_SHELL_INSTANCE_LOCK_H_
