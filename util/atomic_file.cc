#include "util/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace qora {
namespace {

// Flushes the data of the closed file at `path` to disk. Linux flushes a
// file's data through any descriptor, a read-only one included.
bool SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return (::close(fd) == 0) && synced;
}

// The folder that holds `path`: everything up to its last "/", or "." when
// there is none.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return (::close(fd) == 0) && synced;
}

bool ReplaceFile(const std::string& path, const std::function<bool(std::ostream&)>& write,
                 Durability durability) {
  const std::string partial = path + ".partial";
  bool written = false;
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    try {
      written = write(out);
    } catch (...) {
      // The writer's failure goes on to the caller; its partial file does not stay.
      out.close();
      std::remove(partial.c_str());
      throw;
    }
    out.flush();
    written = written && static_cast<bool>(out);
    out.close();
    written = written && !out.fail();
  }
  if (written && durability == Durability::kSynced) written = SyncFile(partial);
  if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
    std::remove(partial.c_str());
    return false;
  }
  // The new content is in place; a folder that cannot be flushed leaves it
  // there but reports that it may not survive a power loss.
  return durability == Durability::kRenamed || SyncFolder(FolderOf(path));
}

bool ReplaceFileWith(const std::string& path, std::string_view bytes, Durability durability) {
  return ReplaceFile(
      path,
      [bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
      },
      durability);
}

}  // namespace qora
