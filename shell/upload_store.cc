#include "shell/upload_store.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "util/atomic_file.h"

namespace qora {
namespace {

namespace fs = std::filesystem;

constexpr char kBadName[] = "Only HTML and PDF files (.htm, .html, .pdf) can be added to a library.";

// A new, empty folder inside `parent` ("" when none can be made).
std::string NewFolderIn(const std::string& parent) {
  std::string pattern = parent;
  pattern += "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  return ::mkdtemp(name.data()) == nullptr ? std::string() : std::string(name.data());
}

}  // namespace

bool ImportableFileName(const std::string& name) {
  std::string extension = fs::path(name).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".htm" || extension == ".html" || extension == ".pdf";
}

std::string SaveUpload(const std::string& data_folder, const std::string& name,
                       const std::string& bytes, std::string* path) {
  const bool plain_name = !name.empty() && name.find('/') == std::string::npos &&
                          name.find('\\') == std::string::npos && name != "." && name != ".." &&
                          name.find('\0') == std::string::npos;
  if (!plain_name || !ImportableFileName(name)) return kBadName;
  std::string uploads = data_folder;
  if (!uploads.empty() && uploads.back() != '/') uploads += "/";
  uploads += "uploads/";
  std::error_code error;
  fs::create_directories(uploads, error);
  const std::string folder = NewFolderIn(uploads);
  if (folder.empty()) return "The folder " + uploads + " cannot be written.";
  std::string file = folder;
  file += "/";
  file += name;
  if (!ReplaceFileWith(file, bytes, Durability::kRenamed)) {
    fs::remove(folder, error);
    return "The file " + name + " cannot be written.";
  }
  *path = file;
  return "";
}

}  // namespace qora
