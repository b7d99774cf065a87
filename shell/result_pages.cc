#include "shell/result_pages.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "shell/data_folder.h"
#include "util/atomic_file.h"
#include "util/file_bytes.h"

namespace qora {

namespace {

// One page of a kind: its template folder (also its name stem) and the
// file name of the page made from it.
struct PageFiles {
  std::string folder;     // "map", "csum", ...: the template is folder/folder.htm
  std::string page_name;  // "map_.htm", ...
};

std::vector<PageFiles> PagesOf(ResultPageKind kind) {
  switch (kind) {
    case ResultPageKind::kMap:
      return {{"map", "map_.htm"}};
    case ResultPageKind::kCombinedSummary:
      return {{"csum", "csum_.htm"}, {"csumry", "csumry_.htm"}};
    case ResultPageKind::kSingleSummary:
      return {{"sumry", "sumry_.htm"}, {"sum", "sum_.htm"}};
  }
  return {};
}

// The page folder of `data_folder` (ending in "/"), made when missing; ""
// with `*failure` set when it cannot be made.
std::string MakePageFolder(const std::string& data_folder, std::string* failure) {
  const std::string folder = data_folder + std::string(kPageFolderName);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    *failure =
        "could not make the page folder \"" + folder + "\"" + (error ? ": " + error.message() : "");
    return "";
  }
  return folder;
}

}  // namespace

std::optional<ResultPageKind> ResultPageKindNamed(std::string_view name) {
  if (name == "map") return ResultPageKind::kMap;
  if (name == "csum") return ResultPageKind::kCombinedSummary;
  if (name == "sumry") return ResultPageKind::kSingleSummary;
  return std::nullopt;
}

std::string FillPageTemplate(std::string_view page_template, std::string_view dml_path,
                             std::string_view source_folder) {
  std::string page;
  page.reserve(page_template.size() + dml_path.size() + source_folder.size());
  size_t at = 0;
  while (at < page_template.size()) {
    const size_t path_at = page_template.find(kDmlPathPlaceholder, at);
    const size_t folder_at = page_template.find(kSourceFolderPlaceholder, at);
    const size_t next = std::min(path_at, folder_at);
    if (next == std::string_view::npos) break;
    page.append(page_template.substr(at, next - at));
    if (next == path_at) {
      page.append(dml_path);
      at = next + kDmlPathPlaceholder.size();
    } else {
      page.append(source_folder);
      at = next + kSourceFolderPlaceholder.size();
    }
  }
  if (at < page_template.size()) page.append(page_template.substr(at));
  return page;
}

std::string WriteResultPage(const std::string& template_path, const std::string& page_path,
                            const std::string& source_folder, const std::string& dml_path) {
  std::string page_template;
  std::string page;
  if (dml_path.empty() || !ReadWholeFile(template_path, &page_template)) {
    page = std::string(kEmptyPageText);
  } else {
    page = FillPageTemplate(page_template, dml_path, source_folder);
  }
  if (!ReplaceFileWith(page_path, page, Durability::kRenamed)) {
    return "could not write the page \"" + page_path + "\"";
  }
  return "";
}

std::string SummaryDmlPath(const std::string& dml_path) {
  static constexpr std::string_view kFileScheme = "file://";
  const size_t at = dml_path.find(kFileScheme);
  return at == std::string::npos ? dml_path : dml_path.substr(at + kFileScheme.size());
}

std::string WriteResultPages(const std::string& data_folder, ResultPageKind kind,
                             const std::string& dml_path, std::string* first_page) {
  first_page->clear();
  if (dml_path.empty()) return "";
  const std::string folder = WithTrailingSeparator(data_folder);
  std::string failure;
  const std::string page_folder = MakePageFolder(folder, &failure);
  if (page_folder.empty()) return failure;
  const std::string path = kind == ResultPageKind::kMap ? dml_path : SummaryDmlPath(dml_path);
  const std::vector<PageFiles> pages = PagesOf(kind);
  for (const PageFiles& files : pages) {
    const std::string source_folder = folder + files.folder + "/";
    failure = WriteResultPage(source_folder + files.folder + ".htm", page_folder + files.page_name,
                              source_folder, path);
    if (!failure.empty()) return failure;
  }
  *first_page = pages.front().page_name;
  return "";
}

}  // namespace qora
