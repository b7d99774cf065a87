// The document table of one library half ("cache.chx"): one line per
// document, "id|address|size|field|processed|". Lines are written in that
// form; lines whose last "|" is missing ("...|processed" and the line end,
// "\n" or "\r\n") are read as well.
#ifndef QORA_STORE_CACHE_TABLE_H_
#define QORA_STORE_CACHE_TABLE_H_

#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qora {

// One document of a table.
struct CacheEntry {
  std::string id;       // the key; empty in the shared "not found" entry
  std::string address;  // URL or file path the document came from
  std::string size;     // length of the content in bytes, as decimal text
  int field = 0;        // set by the acquisition layer and carried along
  int processed = 0;    // 1 once the document's index file is written
  int depth = 0;        // crawl depth; in memory only

  bool found() const { return !id.empty(); }
};

// Entries in insertion order with a hash index by id.
class CacheTable {
 public:
  CacheTable() = default;
  CacheTable(const CacheTable&) = delete;
  CacheTable& operator=(const CacheTable&) = delete;

  // Adds `entry` unless its id is present; returns the entry stored under the
  // id (the earlier one when it was present).
  CacheEntry& Add(CacheEntry entry);

  // The entry with `id`, or the shared empty entry (found() false).
  const CacheEntry& Find(std::string_view id) const;
  CacheEntry* FindMutable(std::string_view id);
  bool Contains(std::string_view id) const { return index_.count(id) != 0; }

  // Removes the entry with `id`; false when there is none.
  bool Remove(std::string_view id);

  void Clear();
  size_t size() const { return entries_.size(); }
  const CacheEntry& at(size_t position) const { return entries_[position]; }
  CacheEntry& at(size_t position) { return entries_[position]; }

  // Adds the entries of the table file at `path` (ids already present are
  // skipped), stopping at the first line with fewer than five fields (the
  // fifth may lack its closing "|"). Lines are read in pieces of at most
  // 4095 bytes, each taken as a line. Returns -1, changing nothing, when the
  // file cannot be opened; else 0.
  int Load(const std::string& path);

  // Writes every entry to `path`, replacing the file through a temporary
  // file so a failed write keeps the old table. -1 when it cannot be written.
  int Rewrite(const std::string& path) const;

  // Appends every entry whose id `exclude` does not hold to the file at
  // `path`, after ending a last line that lacks its line end. -1 when the
  // file cannot be opened or written.
  int AppendFiltered(const std::string& path, const CacheTable& exclude) const;

  // The table line of `entry`, with its line end.
  static std::string FormatLine(const CacheEntry& entry);

 private:
  void Reindex();

  // A deque keeps entries in place as it grows, so the index can key on
  // views of their ids.
  std::deque<CacheEntry> entries_;
  std::unordered_map<std::string_view, size_t> index_;
};

}  // namespace qora

#endif  // QORA_STORE_CACHE_TABLE_H_
