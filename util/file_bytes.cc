#include "util/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qora {

namespace {

// Replaces `bytes` by what is left to read from `fd`; false, with `bytes`
// empty, on a read error. `size_guess` sizes the first read.
bool ReadToEnd(int fd, size_t size_guess, std::string* bytes) {
  bytes->resize(size_guess);
  size_t done = 0;
  for (;;) {
    if (done == bytes->size()) bytes->resize(2 * bytes->size());
    const ssize_t got = ::read(fd, bytes->data() + done, bytes->size() - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      bytes->clear();
      return false;
    }
    done += static_cast<size_t>(got);
  }
  bytes->resize(done);
  return true;
}

size_t SizeGuess(const struct stat& status) {
  return status.st_size > 0 ? static_cast<size_t>(status.st_size) + 1 : size_t{4096};
}

}  // namespace

bool WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<size_t>(wrote);
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  const bool read = ReadToEnd(fd, ::fstat(fd, &status) == 0 ? SizeGuess(status) : 4096, bytes);
  ::close(fd);
  return read;
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
  const bool known = ::fstat(fd, &status) == 0;
  if (known && S_ISREG(status.st_mode) && status.st_size > 0) {
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
  // Not a regular file, empty, or not mappable: read it as a stream of bytes,
  // from the descriptor already open (a pipe's writer may be waiting on it).
  const bool read = ReadToEnd(fd, known ? SizeGuess(status) : 4096, &read_);
  ::close(fd);
  bytes_ = read_;
  return read;
}

}  // namespace qora
