#include "store/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qora {

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  const size_t guess = ::fstat(fd, &status) == 0 && status.st_size > 0
                           ? static_cast<size_t>(status.st_size) + 1
                           : size_t{4096};
  bytes->resize(guess);
  size_t done = 0;
  bool failed = false;
  for (;;) {
    if (done == bytes->size()) bytes->resize(2 * bytes->size());
    const ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      failed = true;
      break;
    }
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  bytes->resize(failed ? 0 : done);
  return !failed;
}

FileBytes::~FileBytes() { Release(); }

void FileBytes::Release() {
  if (mapping_ != nullptr) ::munmap(mapping_, mapped_size_);
  mapping_ = nullptr;
  mapped_size_ = 0;
  read_.clear();
  bytes_ = {};
}

bool FileBytes::Open(const std::string& path) {
  Release();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    void* mapping = ::mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ,
                           MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapping != MAP_FAILED) {
      ::close(fd);
      mapping_ = mapping;
      mapped_size_ = static_cast<size_t>(status.st_size);
      bytes_ = std::string_view(static_cast<const char*>(mapping_), mapped_size_);
      return true;
    }
  }
  ::close(fd);
  // Not a regular file, empty, or not mappable: read it as a stream of bytes.
  const bool read = ReadWholeFile(path, &read_);
  bytes_ = read_;
  return read;
}

}  // namespace qora
