#include "shell/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "util/file_bytes.h"

namespace qora {

std::string InstanceLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/qora/instance.lock";
  return "/tmp/qora-" + std::to_string(::getuid()) + "/instance.lock";
}

InstanceLock::~InstanceLock() { Release(); }

std::string InstanceLock::Acquire(const std::string& path) {
  Release();
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error) ::chmod(folder.c_str(), 0700);
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return "cannot open the lock file \"" + path + "\": " + std::strerror(errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return "Application already running!";
    return "cannot lock \"" + path + "\": " + std::strerror(error);
  }
  fd_ = fd;
  return "";
}

bool InstanceLock::RecordAddress(const std::string& address) {
  if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
  const std::string line = address + "\n";
  return ::pwrite(fd_, line.data(), line.size(), 0) == static_cast<ssize_t>(line.size());
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  // Emptied first, so no later start reads the address of a copy that ended.
  if (::ftruncate(fd_, 0) != 0) {
    // Nothing to do: the lock goes with the descriptor all the same.
  }
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::string RunningAddress(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) return "";
  const size_t end = text.find('\n');
  return end == std::string::npos ? "" : text.substr(0, end);
}

}  // namespace qora
