// The file operations of the crawl's workers: writing a fetched page into
// the staging folder, moving finished files into the library, and making the
// staging folder itself. They report failure by their result and leave no
// partial file behind.
#ifndef QORA_ACQUIRE_CRAWL_FILES_H_
#define QORA_ACQUIRE_CRAWL_FILES_H_

#include <cstddef>
#include <string>

namespace qora {

// Removes the file at `path`; a missing file is no error.
void RemoveFile(const std::string& path);

// Writes `size` bytes to a file created anew at `path`; true on success. A
// failed write leaves no file. The descriptor is not inherited by the
// helper programs that other workers start meanwhile.
bool WriteRawFile(const std::string& path, const char* bytes, size_t size);

// Moves `from` to `to`, replacing `to`; across file systems by copying.
// True on success; a failed move leaves `to` absent.
bool MoveFile(const std::string& from, const std::string& to);

// A new private folder under the system's temporary folder, with "/" at its
// end; "" when none can be made.
std::string MakeStagingFolder();

}  // namespace qora

#endif  // QORA_ACQUIRE_CRAWL_FILES_H_
