#include "store/cache_table.h"

#include <cstdio>
#include <vector>

#include "util/atomic_file.h"
#include "util/decimal.h"

namespace qora {
namespace {

// Lines are read in pieces of at most this many bytes; a longer line reads
// as several lines, as the table files have always been read.
constexpr size_t kLinePiece = 4095;

// The fields of a table line.
constexpr size_t kFieldCount = 5;

// `text` without the line end ("\n" or "\r\n") it ends with, if any.
std::string_view WithoutLineEnd(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// Splits a piece at "|". Every field is closed by "|", but the last one may
// run to the line end instead, as tables written by hand or by other
// programs have it: after the fourth "|", text other than a line end is the
// fifth field. Other text after the last "|" is not a field.
std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
    fields.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
  if (fields.size() == kFieldCount - 1) {
    const std::string_view open_field = WithoutLineEnd(line.substr(start));
    if (!open_field.empty()) fields.push_back(open_field);
  }
  return fields;
}

bool WriteAll(FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

}  // namespace

CacheEntry& CacheTable::Add(CacheEntry entry) {
  auto found = index_.find(entry.id);
  if (found != index_.end()) return entries_[found->second];
  entries_.push_back(std::move(entry));
  index_.emplace(entries_.back().id, entries_.size() - 1);
  return entries_.back();
}

const CacheEntry& CacheTable::Find(std::string_view id) const {
  static const CacheEntry kNotFound;
  auto found = index_.find(id);
  return found == index_.end() ? kNotFound : entries_[found->second];
}

CacheEntry* CacheTable::FindMutable(std::string_view id) {
  auto found = index_.find(id);
  return found == index_.end() ? nullptr : &entries_[found->second];
}

bool CacheTable::Remove(std::string_view id) {
  auto found = index_.find(id);
  if (found == index_.end()) return false;
  entries_.erase(entries_.begin() + static_cast<long>(found->second));
  Reindex();
  return true;
}

void CacheTable::Clear() {
  index_.clear();
  entries_.clear();
}

void CacheTable::Reindex() {
  index_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].id, i);
}

int CacheTable::Load(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return -1;
  char piece[kLinePiece + 1];
  while (std::fgets(piece, sizeof piece, file) != nullptr) {
    const std::vector<std::string_view> fields = SplitFields(piece);
    if (fields.size() < kFieldCount) break;
    CacheEntry entry;
    entry.id = fields[0];
    entry.address = fields[1];
    entry.size = fields[2];
    entry.field = ParseDecimal(fields[3]);
    entry.processed = ParseDecimal(fields[4]);
    Add(std::move(entry));
  }
  std::fclose(file);
  return 0;
}

std::string CacheTable::FormatLine(const CacheEntry& entry) {
  return entry.id + "|" + entry.address + "|" + entry.size + "|" + std::to_string(entry.field) +
         "|" + std::to_string(entry.processed) + "|\n";
}

int CacheTable::Rewrite(const std::string& path) const {
  std::string text;
  for (const CacheEntry& entry : entries_) text += FormatLine(entry);
  return ReplaceFileWith(path, text, Durability::kSynced) ? 0 : -1;
}

int CacheTable::AppendFiltered(const std::string& path, const CacheTable& exclude) const {
  FILE* file = std::fopen(path.c_str(), "ab+");
  if (file == nullptr) return -1;
  // A last line cut short (the program ended while appending it) is ended
  // first, so that it cannot run into the first line appended now.
  bool written = true;
  const bool cut_short = std::fseek(file, -1, SEEK_END) == 0 && std::fgetc(file) != '\n';
  std::fseek(file, 0, SEEK_END);  // a stream turns from reading to writing at a seek
  if (cut_short) written = WriteAll(file, "\n");
  for (const CacheEntry& entry : entries_) {
    if (!exclude.Contains(entry.id)) written = written && WriteAll(file, FormatLine(entry));
  }
  written = (std::fclose(file) == 0) && written;
  return written ? 0 : -1;
}

}  // namespace qora
