// The scratch pad's file: the pad is kept as RTF in "scratch.rtf" in the
// user data folder, and Send to Word writes a copy of it wherever the user
// chooses.
#ifndef QORA_SHELL_SCRATCH_FILE_H_
#define QORA_SHELL_SCRATCH_FILE_H_

#include <string>

namespace qora {

// The name of the pad's file in the data folder.
inline constexpr char kScratchFileName[] = "scratch.rtf";

// The warning shown when Send to Word is given no usable file name.
inline constexpr char kChooseFilesMessage[] = "Please choose files";

// Reads the pad of `data_folder` into *text. A missing file is an empty pad.
// Returns "" on success, else why the file could not be read (and *text is
// left empty).
std::string ReadScratchPad(const std::string& data_folder, std::string* text);

// Replaces the pad of `data_folder` with `text` as a whole: a failed write
// leaves the previous file as it was. Returns "" on success, else why.
std::string WriteScratchPad(const std::string& data_folder, const std::string& text);

// Whether Send to Word may write to `path`: its file name is not empty and
// its extension is not "url" (in any case).
bool ExportPathAccepted(const std::string& path);

// Writes `text` to the file `path` for a word processor to open (replacing
// it whole). Returns "" on success, kChooseFilesMessage when the path is not
// accepted (nothing is written then), else why the file could not be
// written.
std::string ExportScratchPad(const std::string& path, const std::string& text);

}  // namespace qora

#endif  // QORA_SHELL_SCRATCH_FILE_H_
