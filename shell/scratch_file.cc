#include "shell/scratch_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "shell/data_folder.h"
#include "util/atomic_file.h"
#include "util/file_bytes.h"

namespace qora {
namespace fs = std::filesystem;

namespace {

std::string PadPath(const std::string& data_folder) {
  return WithTrailingSeparator(data_folder) + kScratchFileName;
}

}  // namespace

std::string ReadScratchPad(const std::string& data_folder, std::string* text) {
  text->clear();
  const std::string path = PadPath(data_folder);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return "";
  if (error || !fs::is_regular_file(status)) return "The scratch pad " + path + " is not a file.";
  if (!ReadWholeFile(path, text)) return "The scratch pad " + path + " cannot be read.";
  return "";
}

std::string WriteScratchPad(const std::string& data_folder, const std::string& text) {
  const std::string path = PadPath(data_folder);
  // The pad cannot be rebuilt from anything else: it is flushed to disk.
  if (!ReplaceFileWith(path, text, Durability::kSynced)) {
    return "The scratch pad could not be saved in " + path + ".";
  }
  return "";
}

bool ExportPathAccepted(const std::string& path) {
  const fs::path file(path);
  if (file.filename().empty()) return false;
  std::string extension = file.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension != ".url";
}

std::string ExportScratchPad(const std::string& path, const std::string& text) {
  if (!ExportPathAccepted(path)) return kChooseFilesMessage;
  if (!ReplaceFileWith(path, text, Durability::kRenamed)) {
    return "The scratch pad could not be written to " + path + ".";
  }
  return "";
}

}  // namespace qora
