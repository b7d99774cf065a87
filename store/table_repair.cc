#include "store/table_repair.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "store/document_reader.h"
#include "util/document_record.h"
#include "util/result_text_reader.h"

namespace qora {
namespace {

constexpr std::string_view kDmlSuffix = ".dml";
constexpr std::string_view kPartialSuffix = ".partial";

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Names of the regular files of `folder`; none when it cannot be read.
std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());  // documents listed again in a stable order
  return names;
}

int DropLinesWithoutDocument(const std::string& cache_folder, CacheTable* table) {
  std::vector<std::string> gone;
  std::error_code error;
  for (size_t i = 0; i < table->size(); ++i) {
    const std::string& id = table->at(i).id;
    if (!std::filesystem::exists(cache_folder + id + std::string(kDmlSuffix), error)) {
      gone.push_back(id);
    }
  }
  for (const std::string& id : gone) table->Remove(id);
  return static_cast<int>(gone.size());
}

// The table line of the document whose DML file is `name`, from what the
// file describes; false when it names no address.
bool LineOfDocument(const std::string& cache_folder, const std::string& name, CacheEntry* entry) {
  DocumentRecord record;
  ReadDocumentRecord(cache_folder + name, &record);
  const std::string_view address = TrimWhiteSpace(record.uri);
  if (address.empty()) return false;
  entry->id = name.substr(0, name.size() - kDmlSuffix.size());
  entry->address = address;
  entry->size = TrimWhiteSpace(record.size);
  entry->field = 0;
  entry->processed = 0;
  return true;
}

}  // namespace

int ReconcileTable(const std::string& cache_folder, CacheTable* table) {
  int changed = DropLinesWithoutDocument(cache_folder, table);
  for (const std::string& name : FileNames(cache_folder)) {
    if (EndsWith(name, kPartialSuffix)) {
      std::error_code error;
      std::filesystem::remove(cache_folder + name, error);
      continue;
    }
    if (!EndsWith(name, kDmlSuffix) || name.size() == kDmlSuffix.size()) continue;
    if (table->Contains(std::string_view(name).substr(0, name.size() - kDmlSuffix.size()))) {
      continue;
    }
    CacheEntry entry;
    if (!LineOfDocument(cache_folder, name, &entry)) continue;
    table->Add(std::move(entry));
    ++changed;
  }
  return changed;
}

}  // namespace qora
