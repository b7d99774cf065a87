// The user's settings: named sections holding named values, kept in one
// text file per user. Every read names its default, which applies whenever
// the value is absent or unreadable, so a missing or damaged file reads as
// the defaults; reading never writes. Section and key names match without
// regard to ASCII case, and keep the case they were first written with.
//
// The file is plain text, one "[Section]" line before its "key=value" lines.
// Values are kept as text: integers in decimal, binary values in hex, and in
// strings the backslash, line ends, tabs, other control characters and
// blanks at either end are escaped ("\\", "\n", "\r", "\t", "\xHH"), so a
// value is always one line; so is a final "]" in the value of a key that
// starts with "[", whose line would otherwise read as a section header.
// Blanks around names and values are not part of them.
// Lines starting with "#" or ";" and lines that are neither are skipped.
#ifndef QORA_SHELL_SETTINGS_STORE_H_
#define QORA_SHELL_SETTINGS_STORE_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qora {

// The settings file of this user: $QORA_SETTINGS when set and not empty,
// else "qora/settings.ini" in $XDG_CONFIG_HOME when that is an absolute
// path, else in $HOME/.config. "" when none of them is set.
std::string SettingsFilePath();

class SettingsStore {
 public:
  // An empty store: every read gives its default.
  SettingsStore() = default;

  // The settings of the file at `path`. A file that is missing or cannot be
  // read gives an empty store; lines that cannot be read are skipped.
  static SettingsStore Load(const std::string& path);
  // The settings of the file text `text`, read as Load reads a file.
  static SettingsStore Parse(std::string_view text);

  // The integer value of `key` in `section`: a decimal number (an optional
  // sign and digits, surrounding blanks allowed) that fits 32 bits, else
  // `fallback`.
  int ReadInt(std::string_view section, std::string_view key, int fallback) const;
  // The text of `key` in `section`, else `fallback`.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // The bytes of the binary value `key` in `section`; nothing when absent or
  // not an even count of hex digits.
  std::optional<std::string> ReadBinary(std::string_view section, std::string_view key) const;
  // True when `section` holds `key`, whatever its value.
  bool Contains(std::string_view section, std::string_view key) const;

  // Set `key` of `section`, adding either when missing.
  void WriteInt(std::string_view section, std::string_view key, int value);
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteBinary(std::string_view section, std::string_view key, std::string_view bytes);

  // Removes `section` with every value it holds; later reads of it give
  // their defaults. No effect when there is no such section.
  void DeleteSection(std::string_view section);

  // Calls `visit` with every section, key and value text, in file order.
  void ForEach(const std::function<void(const std::string& section, const std::string& key,
                                        const std::string& value)>& visit) const;

  // The file text of these settings, which Parse reads back unchanged.
  std::string Text() const;

  // Replaces the file at `path` with Text(), making its folder when it is
  // missing; the file is replaced whole or not at all. Returns "" when done,
  // else a message naming the file and the reason.
  std::string Save(const std::string& path) const;

 private:
  struct Value {
    std::string key;
    std::string text;  // unescaped
  };
  struct Section {
    std::string name;
    std::vector<Value> values;
  };

  const std::string* Find(std::string_view section, std::string_view key) const;
  std::string* FindOrAdd(std::string_view section, std::string_view key);

  std::vector<Section> sections_;
};

}  // namespace qora

#endif  // QORA_SHELL_SETTINGS_STORE_H_
