#include "shell/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace qora {
namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

// Copies every folder and regular file below `from` into `to`.
std::string CopyTree(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::recursive_directory_iterator walk(from, error), end;
  for (; !error && walk != end; walk.increment(error)) {
    const fs::path relative = walk->path().lexically_relative(from);
    const fs::path destination = to / relative;
    if (walk->is_directory(error)) {
      fs::create_directories(destination, error);
    } else if (walk->is_regular_file(error)) {
      fs::copy_file(walk->path(), destination, fs::copy_options::none, error);
    }
    if (error) {
      return "could not copy \"" + walk->path().string() + "\" to \"" + destination.string() +
             "\": " + error.message();
    }
  }
  if (error) return "could not read \"" + from.string() + "\": " + error.message();
  return "";
}

}  // namespace

std::string MissingDataFiles(const std::string& folder) {
  static const char* const kFiles[] = {"main.ini",  "crawl.ini",  "se.ini",      "se_ctrl.ini",
                                       "wkspc.ini", "tmpdoc.ini", "stopword.txt"};
  static const char* const kFolders[] = {"template", "libraries"};
  std::string missing;
  std::error_code error;
  const auto note = [&missing](const std::string& name) {
    missing += (missing.empty() ? "" : ", ") + name;
  };
  for (const char* name : kFiles) {
    if (!fs::is_regular_file(fs::path(folder) / name, error)) note(name);
  }
  for (const char* name : kFolders) {
    if (!IsFolder(fs::path(folder) / name)) note(std::string(name) + "/");
  }
  return missing;
}

std::string FindInstalledDataFolder() {
  if (const char* configured = std::getenv("QORA_INSTALLED_DATA")) {
    return IsFolder(configured) ? WithTrailingSeparator(configured) : "";
  }
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error) return "";
  for (const fs::path& candidate : {executable.parent_path() / "data",
                                    executable.parent_path() / ".." / "share" / "qora" / "data"}) {
    if (IsFolder(candidate)) return WithTrailingSeparator(candidate.lexically_normal().string());
  }
  return "";
}

std::string InitDataFolder(const std::string& installed, const std::string& target) {
  if (installed.empty() || !IsFolder(installed)) {
    return "the installed data folder \"" + installed + "\" is missing";
  }
  const std::string missing = MissingDataFiles(installed);
  if (!missing.empty()) {
    return "the installed data folder \"" + installed + "\" lacks " + missing +
           " (build every target, or set QORA_INSTALLED_DATA to a complete one)";
  }
  std::error_code error;
  const fs::path folder(target);
  if (fs::exists(folder, error)) {
    if (!IsFolder(folder)) return "\"" + target + "\" exists and is not a folder";
    if (!fs::is_empty(folder, error)) return "\"" + target + "\" exists and is not empty";
  }
  const bool made = !fs::exists(folder, error);
  fs::create_directories(folder, error);
  if (error) return "could not create \"" + target + "\": " + error.message();
  std::string failure = CopyTree(installed, folder);
  if (!failure.empty()) {
    // Leave no half-made data folder behind: remove what this call made.
    if (made) {
      fs::remove_all(folder, error);
    } else {
      for (const auto& entry : fs::directory_iterator(folder, error)) fs::remove_all(entry, error);
    }
  }
  return failure;
}

std::string WithTrailingSeparator(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + "/";
}

}  // namespace qora
