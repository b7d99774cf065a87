#include "analysis/cfg_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>

namespace qora {

namespace {

// Bytes CfgSplitList accepts as a list separator.
constexpr std::string_view kListSeparators = ",-;:^~*@#%&|()[]{}+=/\\<>";

// Writes `message` and a flushed line end to std::cerr, then throws CfgError.
[[noreturn]] void Fail(const std::string& message) {
  std::cerr << message << std::endl;
  throw CfgError();
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsHeaderLine(std::string_view line) { return !line.empty() && line.front() == '['; }

// Cuts the "%" comment off `line`. The first "%" starts the comment unless it
// is the very last character of the line (as read, after "\r" removal); such a
// trailing "%" is ordinary text, so "rate = 50%" keeps its percent sign.
std::string_view CutComment(std::string_view line) {
  size_t percent = line.find('%');
  if (percent == std::string_view::npos || percent + 1 == line.size()) return line;
  return line.substr(0, percent);
}

// Removes spaces (0x20 only, not tabs) at both ends of `line`.
std::string_view StripSpaces(std::string_view line) {
  size_t begin = line.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  size_t end = line.find_last_not_of(' ');
  return line.substr(begin, end - begin + 1);
}

// A key-value line split at its first "=", key and value trimmed. A line without
// "=" is its own key and its own value.
struct KeyValue {
  std::string key;
  std::string value;
};

KeyValue ParseKeyValue(std::string_view line) {
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    std::string whole = CfgTrim(line);
    return {whole, whole};
  }
  return {CfgTrim(line.substr(0, equals)), CfgTrim(line.substr(equals + 1))};
}

// Scans lines[begin, end) for the first key-value line keyed `key`, skipping
// header lines when `skip_headers` is set and stopping at the first header
// line otherwise. Stores its value in *value and returns true when found.
bool FindKey(const std::vector<std::string>& lines, size_t begin, std::string_view key,
             bool skip_headers, std::string* value) {
  for (size_t i = begin; i < lines.size(); ++i) {
    if (IsHeaderLine(lines[i])) {
      if (skip_headers) continue;
      return false;
    }
    KeyValue kv = ParseKeyValue(lines[i]);
    if (kv.key == key) {
      *value = std::move(kv.value);
      return true;
    }
  }
  return false;
}

// Reads exactly `size` bytes of the regular file at `path` into `bytes`; on
// failure returns the open, read or byte-count message.
std::string ReadWholeFile(const std::string& path, long size, std::string* bytes) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return "\nfatal error: could not open cfg file \"" + path + "\"";
  bytes->assign(static_cast<size_t>(size), '\0');
  size_t count = std::fread(bytes->data(), 1, bytes->size(), file.get());
  if (std::ferror(file.get())) return "\nfatal error: could not read cfg file \"" + path + "\"";
  if (count != bytes->size()) {
    return "\nfatal error: read byte count does not match file size\n"
           "             (file size = " +
           std::to_string(size) + ", bytes read = " + std::to_string(count) + ")";
  }
  return "";
}

// Reads the whole cfg file at `path` into `bytes` after checking its size;
// on failure returns the fatal message, else "".
std::string ReadCfgBytes(const std::string& path, std::string* bytes) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    return "\nfatal error: could not get cfg file size of \"" + path + "\"";
  }
  long size = static_cast<long>(info.st_size);
  if (size < CfgFile::kMinSize) {
    return "\nfatal error: cfg file size < " + std::to_string(CfgFile::kMinSize) +
           "bytes (min allowed)";
  }
  if (size > CfgFile::kMaxSize) {
    return "\nfatal error: cfg file size > " + std::to_string(CfgFile::kMaxSize) +
           "bytes (max allowed)";
  }
  // Directories, devices and pipes have no meaningful byte size to read.
  if (!S_ISREG(info.st_mode)) return "\nfatal error: could not open cfg file \"" + path + "\"";
  return ReadWholeFile(path, size, bytes);
}

}  // namespace

CfgFile::CfgFile(std::string path, std::vector<std::string> lines)
    : path_(std::move(path)), lines_(std::move(lines)) {}

CfgFile CfgFile::CfgLoad(const std::string& path) {
  std::string bytes;
  const std::string failure = ReadCfgBytes(path, &bytes);
  if (!failure.empty()) Fail(failure);
  return CfgFile(path, CfgCleanLines(bytes));
}

std::optional<CfgFile> CfgFile::CfgTryLoad(const std::string& path) {
  std::string bytes;
  if (!ReadCfgBytes(path, &bytes).empty()) return std::nullopt;
  return CfgFile(path, CfgCleanLines(bytes));
}

std::string CfgFile::CfgGet(std::string_view section, std::string_view key) const {
  if (lines_.size() < 2) return "";
  std::string header(1, '[');
  header.append(section).push_back(']');
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].compare(0, header.size(), header) != 0) continue;
    // Only the first matching header counts; its section ends at the next
    // line beginning with "[".
    std::string value;
    return FindKey(lines_, i + 1, key, /*skip_headers=*/false, &value) ? value : "";
  }
  return "";
}

std::string CfgFile::CfgGetAnyKey(std::string_view key) const {
  std::string value;
  return FindKey(lines_, 0, key, /*skip_headers=*/true, &value) ? value : "";
}

std::vector<std::string> CfgCleanLines(std::string_view text) {
  if (!text.empty() && text.back() == '\x1A') text.remove_suffix(1);
  std::vector<std::string> lines;
  while (!text.empty()) {
    // A missing final "\n" is treated as present.
    size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = StripSpaces(CutComment(line));
    if (!line.empty()) lines.emplace_back(line);
  }
  return lines;
}

std::string CfgTrim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  size_t end = text.size();
  while (end > begin && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

void CfgSplitList(std::string_view text, char separator, std::vector<std::string>* out) {
  out->clear();
  if (kListSeparators.find(separator) == std::string_view::npos) return;
  std::vector<std::string> elements;
  std::string current;
  bool inside_element = false;
  bool saw_boundary = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (IsBlank(c)) continue;
    if (c == separator) {
      elements.push_back(std::move(current));
      current.clear();
      saw_boundary = true;
      inside_element = false;
      continue;
    }
    if ((c == '"' || c == '\'') && !inside_element) {
      size_t close = text.find(c, i + 1);
      if (close == std::string_view::npos) {
        // Unclosed quote: scanning stops and the rest of the text, opening
        // mark included, joins the current element unchanged and unsplit.
        current.append(text.substr(i));
        break;
      }
      current.append(text.substr(i + 1, close - i - 1));
      i = close;
      continue;
    }
    current.push_back(c);
    inside_element = true;
  }
  // A text that scanned to nothing (no bytes kept, no boundary) is no list.
  if (!saw_boundary && current.empty()) return;
  elements.push_back(std::move(current));
  *out = std::move(elements);
}

size_t CfgWriteText(const std::string& path, std::string_view text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("\nfatal error: could not open cfg file size of \"" + path + "\"");
  size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(fd);
  return written;
}

}  // namespace qora
