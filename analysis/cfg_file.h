// Reader of the engine's line-oriented ".ini" files (sections, key = value
// lines, "%" comments) and the helpers that go with it.
#ifndef QORA_ANALYSIS_CFG_FILE_H_
#define QORA_ANALYSIS_CFG_FILE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qora {

// Raised by CfgFile::CfgLoad and CfgWriteText after the fatal message has been
// written to the standard error stream. code() is always -1.
class CfgError {
 public:
  CfgError() = default;
  int code() const { return -1; }
};

class CfgFile {
 public:
  // Smallest and largest file sizes the reader accepts, in bytes.
  static constexpr long kMinSize = 5;
  static constexpr long kMaxSize = 262144;

  // Reads and cleans the file at `path`. On any failure (size unknown, too
  // small, too large, unopenable, short read) writes the fatal message, a
  // line end and a flush to std::cerr and throws CfgError.
  static CfgFile CfgLoad(const std::string& path);

  // As CfgLoad, but quietly: nothing when the file cannot be loaded.
  static std::optional<CfgFile> CfgTryLoad(const std::string& path);

  CfgFile(CfgFile&&) = default;
  CfgFile& operator=(CfgFile&&) = default;
  CfgFile(const CfgFile&) = delete;
  CfgFile& operator=(const CfgFile&) = delete;

  // The value of the first line keyed exactly `key` inside the section whose
  // header line starts with "[" + section + "]"; "" when there is none, when
  // the file has fewer than two lines, or when the header is the last line.
  std::string CfgGet(std::string_view section, std::string_view key) const;

  // The value of the first line keyed exactly `key` anywhere in the file,
  // section headers ignored; "" when there is none.
  std::string CfgGetAnyKey(std::string_view key) const;

  const std::string& path() const { return path_; }
  // The cleaned, non-empty lines in file order.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  CfgFile(std::string path, std::vector<std::string> lines);

  std::string path_;
  std::vector<std::string> lines_;
};

// Splits the raw bytes of a cfg file into cleaned, non-empty lines: a final
// 0x1A dropped, "\r\n" taken as "\n", "%" comments cut (a "%" that ends its
// line stays), spaces removed at both ends of the line (tabs kept).
std::vector<std::string> CfgCleanLines(std::string_view text);

// `text` without spaces and tabs at both ends.
std::string CfgTrim(std::string_view text);

// Splits `text` at `separator`, honouring '...' and "..." quoted stretches and
// deleting blanks, into `out` (emptied first). `separator` must be one of
// ",-;:^~*@#%&|()[]{}+=/\<>"; for any other byte nothing is produced.
void CfgSplitList(std::string_view text, char separator, std::vector<std::string>* out);

// Creates or truncates the file at `path` and writes `text` unchanged; returns
// the number of bytes written. When the file cannot be created, writes the
// fatal message to std::cerr and throws CfgError.
size_t CfgWriteText(const std::string& path, std::string_view text);

}  // namespace qora

#endif  // QORA_ANALYSIS_CFG_FILE_H_
