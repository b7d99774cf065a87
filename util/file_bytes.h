// Whole files in memory: read into a reusable buffer, or mapped.
#ifndef QORA_UTIL_FILE_BYTES_H_
#define QORA_UTIL_FILE_BYTES_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace qora {

// Replaces `bytes` by the whole content of the file at `path`, read to its
// end (the size the file system reports is only a first guess, so pipes work
// too); false, with `bytes` empty, when it cannot be opened or read. A
// buffer reused for many small files is allocated once.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// Writes `bytes` to a file created anew at `path` (an existing file is
// truncated first); true on success. A failed write removes what was
// written. The descriptor is not inherited by programs that other threads
// start meanwhile.
bool WriteNewFile(const std::string& path, std::string_view bytes);

// The bytes of one file, mapped read-only when it is a regular file (large
// index files are then neither copied nor zero-filled first) and read into
// memory otherwise.
class FileBytes {
 public:
  FileBytes() = default;
  ~FileBytes();
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  // Makes bytes() the content of the file at `path`; false, with bytes()
  // empty, when it cannot be opened or read.
  bool Open(const std::string& path);

  std::string_view bytes() const { return bytes_; }

 private:
  void Release();

  void* mapping_ = nullptr;
  size_t mapped_size_ = 0;
  std::string read_;
  std::string_view bytes_;
};

}  // namespace qora

#endif  // QORA_UTIL_FILE_BYTES_H_
