// Files dropped on the application's window arrive as bytes, without a
// path a library could import them from: they are kept in the data
// folder's "uploads/", one new folder per file, under their own names.
#ifndef QORA_SHELL_UPLOAD_STORE_H_
#define QORA_SHELL_UPLOAD_STORE_H_

#include <string>

namespace qora {

// Whether a file named `name` is of a kind a library imports: ".htm",
// ".html" or ".pdf", in any letter case.
bool ImportableFileName(const std::string& name);

// Writes `bytes` to `data_folder` + "uploads/" + a new folder + "/" +
// `name` and sets `*path` to that path. Returns "" when done, else the
// message: a name that is empty, names a folder or a path, or is not an
// importable kind; a file that cannot be written (nothing is left of it).
std::string SaveUpload(const std::string& data_folder, const std::string& name,
                       const std::string& bytes, std::string* path);

}  // namespace qora

#endif  // QORA_SHELL_UPLOAD_STORE_H_
