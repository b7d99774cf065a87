// The engine's cfg file reader with its list split, and the user's settings
// file. Any bytes read without a crash, and:
//  - CfgCleanLines gives non-empty lines without line feeds, without blanks
//    at either end, with a "%" only as the last byte; CfgTryLoad of the
//    bytes as a file gives those lines when the size is within the limits,
//    and nothing otherwise;
//  - CfgGetAnyKey of the first key-value line's key gives its value, and
//    CfgGet of the first section and the key of the line after its header
//    gives that line's value;
//  - CfgSplitList of a text without quotes is the text without blanks split
//    at the separator (nothing for a text of blanks or a byte that is no
//    separator);
//  - a settings text is parsed, written with Text() and parsed back to the
//    same values in the same order, and a value of any bytes written into it
//    reads back unchanged after a Text()/Parse round.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "analysis/cfg_file.h"
#include "fuzz/fuzz_support.h"
#include "shell/settings_store.h"

namespace {

using qora::fuzz::Check;

constexpr std::string_view kSeparators = ",-;:^~*@#%&|()[]{}+=/\\<>";

void CheckCleanLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Check(!line.empty(), "an empty cfg line was kept");
    Check(line.find('\n') == std::string::npos, "a cfg line holds a line feed", line);
    Check(line.front() != ' ' && line.back() != ' ', "a cfg line keeps an end blank", line);
    const size_t percent = line.find('%');
    Check(percent == std::string::npos || percent + 1 == line.size(), "a cfg line keeps a comment",
          line);
  }
}

// The key and value of a key-value line as the header describes them: split
// at the first "=", blanks and tabs trimmed; a line without "=" is both.
std::pair<std::string, std::string> KeyValueOf(const std::string& line) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return {qora::CfgTrim(line), qora::CfgTrim(line)};
  return {qora::CfgTrim(std::string_view(line).substr(0, equals)),
          qora::CfgTrim(std::string_view(line).substr(equals + 1))};
}

void CheckLookups(const qora::CfgFile& file) {
  const std::vector<std::string>& lines = file.lines();
  for (const std::string& line : lines) {
    if (line.front() == '[') continue;
    const auto [key, value] = KeyValueOf(line);
    Check(file.CfgGetAnyKey(key) == value, "CfgGetAnyKey missed the first line of its key", key);
    break;
  }
  if (lines.size() < 2) return;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].front() != '[') continue;
    const size_t close = lines[i].find(']');
    if (close == std::string::npos || lines[i + 1].front() == '[') return;
    const std::string section = lines[i].substr(1, close - 1);
    const auto [key, value] = KeyValueOf(lines[i + 1]);
    Check(file.CfgGet(section, key) == value, "CfgGet missed the first key of a section", key);
    return;
  }
}

void CheckCfgFile(std::string_view text) {
  static const std::string path = qora::fuzz::ScratchPath(".ini");
  const std::vector<std::string> lines = qora::CfgCleanLines(text);
  CheckCleanLines(lines);
  Check(qora::fuzz::WriteFile(path, text), "cannot write the scratch file");
  const std::optional<qora::CfgFile> file = qora::CfgFile::CfgTryLoad(path);
  const bool fits = static_cast<long>(text.size()) >= qora::CfgFile::kMinSize &&
                    static_cast<long>(text.size()) <= qora::CfgFile::kMaxSize;
  Check(file.has_value() == fits,
        "CfgTryLoad took a size beyond its limits, or refused one in them");
  if (file) {
    Check(file->lines() == lines, "CfgTryLoad cleaned the lines otherwise");
    CheckLookups(*file);
  }
}

std::vector<std::string> SplitAsStated(std::string_view text, char separator) {
  std::string kept;
  for (char c : text) {
    if (c != ' ' && c != '\t') kept.push_back(c);
  }
  std::vector<std::string> parts;
  if (kept.empty()) return parts;
  size_t start = 0;
  while (true) {
    const size_t at = kept.find(separator, start);
    parts.push_back(kept.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

// One separator a run, picked by the first byte, so that the split of each
// input costs no more than its reading.
void CheckSplit(std::string_view text) {
  const char separator =
      text.empty() ? ',' : kSeparators[static_cast<unsigned char>(text[0]) % kSeparators.size()];
  std::vector<std::string> parts = {"stale"};
  qora::CfgSplitList(text, separator, &parts);
  if (text.find_first_of("'\"") == std::string_view::npos) {
    Check(parts == SplitAsStated(text, separator), "CfgSplitList split otherwise");
  }
  qora::CfgSplitList(text, 'a', &parts);
  Check(parts.empty(), "CfgSplitList split at a byte that is no separator");
}

using Entry = std::tuple<std::string, std::string, std::string>;

std::vector<Entry> Entries(const qora::SettingsStore& store) {
  std::vector<Entry> entries;
  store.ForEach([&](const std::string& section, const std::string& key, const std::string& value) {
    entries.emplace_back(section, key, value);
  });
  return entries;
}

void CheckSettings(std::string_view text) {
  qora::SettingsStore store = qora::SettingsStore::Parse(text);
  const std::vector<Entry> entries = Entries(store);
  for (const auto& [section, key, value] : entries) {
    Check(store.Contains(section, key), "a parsed value is not found", key);
    (void)store.ReadInt(section, key, 0);
    (void)store.ReadBinary(section, key);
  }
  const qora::SettingsStore again = qora::SettingsStore::Parse(store.Text());
  Check(Entries(again) == entries, "the settings text reads back otherwise", store.Text());

  // Any value a program writes comes back: the input itself, in a section
  // and key of the file's own when it has one.
  std::string section = "Fuzz";
  std::string key = "value";
  if (!entries.empty()) std::tie(section, key, std::ignore) = entries.front();
  store.WriteString(section, key, text);
  const qora::SettingsStore written = qora::SettingsStore::Parse(store.Text());
  Check(written.ReadString(section, key, "absent") == text, "a written value reads back otherwise",
        store.Text());
  Check(Entries(written) == Entries(store), "writing a value changed the others", store.Text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = qora::fuzz::AsText(data, size);
  CheckCfgFile(text);
  CheckSplit(text);
  CheckSettings(text);
  return 0;
}
