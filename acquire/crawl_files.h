// The file operations of the crawl's workers: moving finished files into the
// library and making the staging folder (a fetched page is written there
// with WriteNewFile of util/file_bytes.h). They report failure by their result and leave no
// partial file behind.
#ifndef QORA_ACQUIRE_CRAWL_FILES_H_
#define QORA_ACQUIRE_CRAWL_FILES_H_

#include <cstddef>
#include <string>

namespace qora {

// Removes the file at `path`; a missing file is no error.
void RemoveFile(const std::string& path);

// Moves `from` to `to`, replacing `to`; across file systems by copying.
// True on success; a failed move leaves `to` absent.
bool MoveFile(const std::string& from, const std::string& to);

// A new private folder under the system's temporary folder, with "/" at its
// end; "" when none can be made.
std::string MakeStagingFolder();

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWL_FILES_H_
