#include "acquire/crawl_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qora {

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

bool WriteRawFile(const std::string& path, const char* bytes, size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < size;) {
    const ssize_t wrote = ::write(fd, bytes + done, size - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<size_t>(wrote);
  }
  ok = (::close(fd) == 0) && ok;
  if (!ok) RemoveFile(path);
  return ok;
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  std::error_code error;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
  if (error) {
    std::filesystem::remove(to, error);
    return false;
  }
  RemoveFile(from);
  return true;
}

std::string MakeStagingFolder() {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = "/tmp";
  std::string pattern = (base / "qora-crawl-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return "";
  return pattern + "/";
}

}  // namespace qora
