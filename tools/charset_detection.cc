#include "tools/charset_detection.h"

#include "tools/html_chars.h"

namespace qora::tools {

namespace {

// How far into the page to look for a <meta> tag that declares the charset.
constexpr size_t kCharsetSearchBytes = 64 * 1024;

bool IsCharsetNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
         c == ':';
}

// The charset name after "charset" inside one lower-cased meta tag, or "".
std::string CharsetInTag(std::string_view tag) {
  for (size_t at = tag.find("charset"); at != std::string_view::npos;
       at = tag.find("charset", at + 1)) {
    size_t i = at + 7;
    while (i < tag.size() && IsBlank(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '"' || tag[i] == '\'')) ++i;
    size_t end = i;
    while (end < tag.size() && IsCharsetNameChar(tag[end])) ++end;
    if (end > i) return std::string(tag.substr(i, end - i));
  }
  return "";
}

}  // namespace

std::string DeclaredCharset(std::string_view page) {
  const std::string lower = AsciiLower(page.substr(0, kCharsetSearchBytes));
  for (size_t open = lower.find("<meta"); open != std::string::npos;
       open = lower.find("<meta", open + 5)) {
    const size_t close = lower.find('>', open);
    const std::string_view tag = std::string_view(lower).substr(
        open, close == std::string::npos ? std::string::npos : close - open);
    std::string charset = CharsetInTag(tag);
    if (!charset.empty()) return charset;
  }
  return "";
}

std::string IconvCharsetFor(std::string_view charset) {
  struct Alias {
    std::string_view label;
    std::string_view iconv;
  };
  // Labels whose iconv name is not simply the label upper-cased.
  static constexpr Alias kAliases[] = {
      {"ascii", "WINDOWS-1252"},
      {"us-ascii", "WINDOWS-1252"},
      {"iso-8859-1", "WINDOWS-1252"},
      {"iso8859-1", "WINDOWS-1252"},
      {"iso_8859-1", "WINDOWS-1252"},
      {"latin1", "WINDOWS-1252"},
      {"l1", "WINDOWS-1252"},
      {"cp819", "WINDOWS-1252"},
      {"ibm819", "WINDOWS-1252"},
      {"iso-ir-100", "WINDOWS-1252"},
      {"csisolatin1", "WINDOWS-1252"},
      {"iso-8859-9", "WINDOWS-1254"},
      {"iso8859-9", "WINDOWS-1254"},
      {"latin5", "WINDOWS-1254"},
      {"l5", "WINDOWS-1254"},
      {"iso-8859-11", "WINDOWS-874"},
      {"tis-620", "WINDOWS-874"},
      {"windows-874", "WINDOWS-874"},
      {"dos-874", "WINDOWS-874"},
      {"iso-8859-8-i", "ISO-8859-8"},
      {"latin2", "ISO-8859-2"},
      {"l2", "ISO-8859-2"},
      {"latin3", "ISO-8859-3"},
      {"latin4", "ISO-8859-4"},
      {"cyrillic", "ISO-8859-5"},
      {"arabic", "ISO-8859-6"},
      {"greek", "ISO-8859-7"},
      {"hebrew", "ISO-8859-8"},
      {"latin6", "ISO-8859-10"},
      {"latin9", "ISO-8859-15"},
      {"l9", "ISO-8859-15"},
      {"koi8-r", "KOI8-R"},
      {"koi8_r", "KOI8-R"},
      {"koi8", "KOI8-R"},
      {"cskoi8r", "KOI8-R"},
      {"koi8-u", "KOI8-U"},
      {"koi8-ru", "KOI8-U"},
      {"866", "IBM866"},
      {"cp866", "IBM866"},
      {"ibm866", "IBM866"},
      {"macintosh", "MACINTOSH"},
      {"mac", "MACINTOSH"},
      {"x-mac-roman", "MACINTOSH"},
      {"x-mac-cyrillic", "MAC-CYRILLIC"},
      {"gbk", "GBK"},
      {"gb2312", "GBK"},
      {"gb_2312-80", "GBK"},
      {"x-gbk", "GBK"},
      {"chinese", "GBK"},
      {"gb18030", "GB18030"},
      {"big5", "BIG5-HKSCS"},
      {"big5-hkscs", "BIG5-HKSCS"},
      {"x-x-big5", "BIG5-HKSCS"},
      {"cn-big5", "BIG5-HKSCS"},
      {"euc-jp", "EUC-JP"},
      {"x-euc-jp", "EUC-JP"},
      {"iso-2022-jp", "ISO-2022-JP"},
      {"shift_jis", "CP932"},
      {"shift-jis", "CP932"},
      {"sjis", "CP932"},
      {"x-sjis", "CP932"},
      {"ms_kanji", "CP932"},
      {"ms932", "CP932"},
      {"windows-31j", "CP932"},
      {"euc-kr", "CP949"},
      {"ks_c_5601-1987", "CP949"},
      {"korean", "CP949"},
      {"windows-949", "CP949"},
  };
  for (const Alias& alias : kAliases) {
    if (alias.label == charset) return std::string(alias.iconv);
  }
  // The ISO-8859 parts and the Windows code pages under their usual labels.
  static constexpr std::string_view kIsoParts[] = {"2", "3",  "4",  "5",  "6",  "7",
                                                   "8", "10", "13", "14", "15", "16"};
  for (std::string_view prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
    if (charset.substr(0, prefix.size()) != prefix) continue;
    for (std::string_view part : kIsoParts) {
      if (charset.substr(prefix.size()) == part) return "ISO-8859-" + std::string(part);
    }
  }
  for (std::string_view prefix : {"windows-", "cp", "x-cp"}) {
    if (charset.substr(0, prefix.size()) != prefix) continue;
    const std::string_view page = charset.substr(prefix.size());
    if (page.size() == 4 && page.substr(0, 3) == "125" && page[3] >= '0' && page[3] <= '8') {
      return "WINDOWS-" + std::string(page);
    }
  }
  // UTF-8, the UTF-16 and UTF-32 forms (a page whose tag can be read as
  // ASCII is in none of them), and labels no browser knows.
  return "";
}

}  // namespace qora::tools
