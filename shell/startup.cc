#include "shell/startup.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "shell/data_folder.h"
#include "shell/settings_keys.h"
#include "util/decimal.h"
#include "util/file_bytes.h"

namespace qora {
namespace fs = std::filesystem;

std::string ConfiguredDataFolder(const std::string& given, const SettingsStore& settings) {
  if (!given.empty()) return WithTrailingSeparator(given);
  if (const char* data = std::getenv("QORA_DATA"); data != nullptr && *data != '\0') {
    return WithTrailingSeparator(data);
  }
  const std::string root = Read(settings, settings::kRootFolder);
  if (root.empty() || root == settings::kRootFolder.fallback) return "";
  return WithTrailingSeparator(root);
}

std::string FirstStartFolder(const std::string& chosen) {
  if (chosen.find_first_not_of(" \t") == std::string::npos) return "";
  std::string folder = chosen;
  if (folder.back() != '/' && folder.back() != '\\') folder += "/";
  folder += "qoralibs/";
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  return folder;
}

std::string MakeUserDataFolder(const std::string& installed, const std::string& folder) {
  std::error_code error;
  const fs::path path(folder);
  // The first folder along the path that does not exist yet: removing it
  // on failure removes exactly what this call made.
  fs::path first_made;
  for (fs::path step = path; !step.empty() && step != step.root_path();
       step = step.parent_path()) {
    if (fs::exists(step, error)) break;
    first_made = step;
  }
  fs::create_directories(path, error);
  if (error || !fs::is_directory(path, error)) return kCreateFolderFailed;
  const std::string failure = InitDataFolder(installed, folder);
  if (!failure.empty() && !first_made.empty()) fs::remove_all(first_made, error);
  return failure;
}

int InstalledTemplateVersion(const std::string& installed) {
  std::string text;
  if (!ReadWholeFile(WithTrailingSeparator(installed) + "libversion", &text)) return -2;
  const size_t first = text.find_first_not_of(" \t\r\n");
  const size_t last = text.find_last_not_of(" \t\r\n");
  if (first == std::string::npos) return -3;
  const std::string number = text.substr(first, last - first + 1);
  for (char c : number) {
    if (c < '0' || c > '9') return -3;
  }
  if (number.size() > 9) return -3;
  return static_cast<int>(ParseDecimal(number));
}

int CompareTemplateVersions(int installed, int user) {
  if (installed < 0) return installed;
  if (user < installed) return 1;
  return user == installed ? 0 : -1;
}

std::string RefreshTemplates(const std::string& installed, const std::string& folder) {
  std::error_code error;
  const fs::path from(installed);
  fs::recursive_directory_iterator walk(from, error), end;
  for (; !error && walk != end; walk.increment(error)) {
    const fs::path relative = walk->path().lexically_relative(from);
    // The engine's own records of this data folder (the temporary library's
    // name, the workspace's) are the user's, not templates: replacing them
    // would orphan the temporary library.
    if (relative == "tmpdoc.ini" || relative == "wkspc.ini") continue;
    const fs::path target = fs::path(folder) / relative;
    if (walk->is_directory(error)) {
      fs::create_directories(target, error);
    } else if (walk->is_regular_file(error)) {
      fs::copy_file(walk->path(), target, fs::copy_options::overwrite_existing, error);
    }
    if (error) {
      return "could not copy \"" + walk->path().string() + "\" to \"" + target.string() +
             "\": " + error.message();
    }
  }
  if (error) return "could not read \"" + installed + "\": " + error.message();
  return "";
}

}  // namespace qora
