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
