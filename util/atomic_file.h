// Replacing a file whole, so that a reader or a crash never meets it half
// written.
#ifndef QORA_UTIL_ATOMIC_FILE_H_
#define QORA_UTIL_ATOMIC_FILE_H_

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace qora {

// How hard a replacement works to survive a crash of the machine.
enum class Durability {
  // Written and renamed into place: other processes see the old or the new
  // file whole. For files that can be rebuilt (a document's index file).
  kRenamed,
  // Also flushed to disk before the rename and the folder's entry flushed
  // after it, so after a power loss the file holds the old or the new
  // content in full. For files that cannot be rebuilt from others (document
  // tables, master indexes, the word archive).
  kSynced,
};

// Replaces the file at `path` with what `write` puts into the stream it is
// given, through the temporary file `path` + ".partial" renamed over `path`.
// `write` returns false to abandon the replacement. Returns true when the
// whole file was written and renamed; on any failure no ".partial" file is
// left and `path` keeps what it held. What `write` throws is thrown on, after
// the partial file is removed.
bool ReplaceFile(const std::string& path, const std::function<bool(std::ostream&)>& write,
                 Durability durability);

// ReplaceFile with `bytes` as the new content.
bool ReplaceFileWith(const std::string& path, std::string_view bytes, Durability durability);

// Flushes the folder entry list of `folder` to disk (after a rename into
// it); true when done.
bool SyncFolder(const std::string& folder);

}  // namespace qora

#endif  // QORA_UTIL_ATOMIC_FILE_H_
