#include "shell/settings_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "util/ascii.h"
#include "util/atomic_file.h"
#include "util/file_bytes.h"

namespace qora {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

const char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(unsigned char byte, std::string* out) {
  out->push_back(kHexDigits[byte >> 4]);
  out->push_back(kHexDigits[byte & 0xF]);
}

// Blanks at either end are escaped too, since the reader trims them. With
// `final_bracket`, so is a "]" that ends the value: the line of a key that
// starts with "[" would otherwise read as a section header.
std::string Escaped(std::string_view text, bool final_bracket) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const unsigned char byte = static_cast<unsigned char>(c);
    const bool edge_blank = c == ' ' && (i == 0 || i + 1 == text.size());
    const bool closes_header = final_bracket && c == ']' && i + 1 == text.size();
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F || edge_blank || closes_header) {
          out += "\\x";
          AppendHexByte(byte, &out);
        } else {
          out.push_back(c);
        }
    }
  }
  return out;
}

// The text of an escaped value; an escape it does not know is kept as it
// stands, so a hand-edited Windows path ("C:\data") survives.
std::string Unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[i + 1];
    if (next == '\\' || next == 'n' || next == 'r' || next == 't') {
      out.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : '\\');
      ++i;
    } else if (next == 'x' && i + 3 < text.size() && HexDigitValue(text[i + 2]) >= 0 &&
               HexDigitValue(text[i + 3]) >= 0) {
      out.push_back(
          static_cast<char>(HexDigitValue(text[i + 2]) * 16 + HexDigitValue(text[i + 3])));
      i += 3;
    } else {
      out.push_back('\\');
    }
  }
  return out;
}

}  // namespace

std::string SettingsFilePath() {
  if (const char* path = std::getenv("QORA_SETTINGS"); path != nullptr && *path != '\0') {
    return path;
  }
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/qora/settings.ini";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/qora/settings.ini";
  return "";
}

SettingsStore SettingsStore::Load(const std::string& path) {
  std::string text;
  if (path.empty() || !ReadWholeFile(path, &text)) return SettingsStore();
  return Parse(text);
}

SettingsStore SettingsStore::Parse(std::string_view text) {
  SettingsStore store;
  std::string section;
  bool in_section = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']' && trimmed.size() > 2) {
      section = std::string(Trimmed(trimmed.substr(1, trimmed.size() - 2)));
      in_section = !section.empty();
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_section || equals == std::string_view::npos) continue;
    const std::string_view key = Trimmed(line.substr(0, equals));
    if (key.empty()) continue;
    *store.FindOrAdd(section, key) = Unescaped(Trimmed(line.substr(equals + 1)));
  }
  return store;
}

const std::string* SettingsStore::Find(std::string_view section, std::string_view key) const {
  for (const Section& candidate : sections_) {
    if (!SameName(candidate.name, section)) continue;
    for (const Value& value : candidate.values) {
      if (SameName(value.key, key)) return &value.text;
    }
    return nullptr;
  }
  return nullptr;
}

std::string* SettingsStore::FindOrAdd(std::string_view section, std::string_view key) {
  Section* target = nullptr;
  for (Section& candidate : sections_) {
    if (SameName(candidate.name, section)) {
      target = &candidate;
      break;
    }
  }
  if (target == nullptr) {
    sections_.push_back(Section{std::string(section), {}});
    target = &sections_.back();
  }
  for (Value& value : target->values) {
    if (SameName(value.key, key)) return &value.text;
  }
  target->values.push_back(Value{std::string(key), ""});
  return &target->values.back().text;
}

int SettingsStore::ReadInt(std::string_view section, std::string_view key, int fallback) const {
  const std::string* text = Find(section, key);
  if (text == nullptr) return fallback;
  const std::string number(Trimmed(*text));
  if (number.empty()) return fallback;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(number.c_str(), &end, 10);
  if (errno != 0 || end != number.c_str() + number.size() ||
      value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max() ||
      !(IsAsciiDigit(number[0]) || number[0] == '-' || number[0] == '+')) {
    return fallback;
  }
  return static_cast<int>(value);
}

std::string SettingsStore::ReadString(std::string_view section, std::string_view key,
                                      std::string_view fallback) const {
  const std::string* text = Find(section, key);
  return text != nullptr ? *text : std::string(fallback);
}

std::optional<std::string> SettingsStore::ReadBinary(std::string_view section,
                                                     std::string_view key) const {
  const std::string* text = Find(section, key);
  if (text == nullptr || text->size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(text->size() / 2);
  for (size_t i = 0; i < text->size(); i += 2) {
    const int high = HexDigitValue((*text)[i]);
    const int low = HexDigitValue((*text)[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return bytes;
}

bool SettingsStore::Contains(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

void SettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
  *FindOrAdd(section, key) = std::to_string(value);
}

void SettingsStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
  *FindOrAdd(section, key) = std::string(value);
}

void SettingsStore::WriteBinary(std::string_view section, std::string_view key,
                                std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (char c : bytes) AppendHexByte(static_cast<unsigned char>(c), &hex);
  *FindOrAdd(section, key) = hex;
}

void SettingsStore::DeleteSection(std::string_view section) {
  for (auto it = sections_.begin(); it != sections_.end(); ++it) {
    if (SameName(it->name, section)) {
      sections_.erase(it);
      return;
    }
  }
}

void SettingsStore::ForEach(const std::function<void(const std::string&, const std::string&,
                                                     const std::string&)>& visit) const {
  for (const Section& section : sections_) {
    for (const Value& value : section.values) visit(section.name, value.key, value.text);
  }
}

std::string SettingsStore::Text() const {
  std::string text;
  for (const Section& section : sections_) {
    if (!text.empty()) text += "\n";
    text += "[" + section.name + "]\n";
    for (const Value& value : section.values) {
      const bool header_like = !value.key.empty() && value.key.front() == '[';
      text += value.key + "=" + Escaped(value.text, header_like) + "\n";
    }
  }
  return text;
}

std::string SettingsStore::Save(const std::string& path) const {
  if (path.empty()) return "there is no settings file: neither HOME nor XDG_CONFIG_HOME is set";
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!folder.empty()) std::filesystem::create_directories(folder, error);
  if (error) {
    return "cannot make the folder of the settings file \"" + path + "\": " + error.message();
  }
  if (!ReplaceFileWith(path, Text(), Durability::kSynced)) {
    return "cannot write the settings file \"" + path + "\": " + std::strerror(errno);
  }
  return "";
}

}  // namespace qora
