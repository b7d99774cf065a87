#include "tools/page_cleaning.h"

#include <errno.h>
#include <iconv.h>
#include <tidy.h>
#include <tidybuffio.h>

#include <string>

namespace qora::tools {

namespace {

// How far into the page to look for a <meta> tag that declares the charset.
constexpr size_t kCharsetSearchBytes = 64 * 1024;

constexpr char32_t kByteOrderMark = 0xFEFF;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F. The five bytes
// that the code page leaves undefined keep their Latin-1 (C1 control) value.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence that starts at `bytes[at]`,
// or 0 when none starts there. Second-byte ranges follow the Unicode table
// of well-formed byte sequences (no overlongs, surrogates or values beyond
// U+10FFFF).
size_t Utf8SequenceLength(std::string_view bytes, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  if (byte(1) < second_low || byte(1) > second_high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(byte(i))) return 0;
  }
  return length;
}

char32_t DecodeUtf8Sequence(std::string_view bytes, size_t at, size_t length) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  if (length == 1) return byte(0);
  char32_t code = byte(0) & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) code = (code << 6) | (byte(i) & 0x3F);
  return code;
}

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

char32_t Windows1252ToUnicode(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
  return byte;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAsciiCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool IsCharsetNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
         c == ':';
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

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

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsTagNameChar(char c) {
  return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.';
}

bool IsAttributeNameChar(char c) {
  return !IsBlank(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'';
}

// Elements whose content is raw text, in which a "<" opens no tag.
bool HasRawTextContent(std::string_view lower_name) {
  return lower_name == "script" || lower_name == "style" || lower_name == "xmp" ||
         lower_name == "plaintext";
}

// Copies HTML to a new text while rewriting attribute values; see
// NormalizeAttributes.
class AttributeNormalizer {
 public:
  explicit AttributeNormalizer(std::string_view html) : html_(html) { out_.reserve(html.size()); }

  std::string Run() {
    while (at_ < html_.size()) {
      if (StartsWith("<!--")) {
        CopyThrough("-->");
      } else if (StartsWith("<![CDATA[")) {
        CopyThrough("]]>");
      } else if (StartsWith("<!") || StartsWith("<?")) {
        CopyThrough(">");
      } else if (html_[at_] == '<' && at_ + 1 < html_.size() && IsAsciiLetter(html_[at_ + 1])) {
        CopyStartTag();
      } else {
        out_ += html_[at_++];
      }
    }
    return std::move(out_);
  }

 private:
  bool StartsWith(std::string_view prefix) const {
    return html_.substr(at_, prefix.size()) == prefix;
  }

  bool AtEnd() const { return at_ >= html_.size(); }

  // Copies up to and including the next `end`, or the rest when none follows.
  void CopyThrough(std::string_view end) {
    const size_t found = html_.find(end, at_);
    const size_t stop = found == std::string_view::npos ? html_.size() : found + end.size();
    out_.append(html_.substr(at_, stop - at_));
    at_ = stop;
  }

  // Copies up to (not including) the end tag "</name", found regardless of
  // case, or the rest when none follows.
  void CopyRawTextUntilEndTag(std::string_view lower_name) {
    const std::string closing = "</" + std::string(lower_name);
    size_t stop = html_.size();
    for (size_t i = html_.find("</", at_); i != std::string_view::npos;
         i = html_.find("</", i + 2)) {
      if (LowerAsciiCopy(html_.substr(i, closing.size())) == closing) {
        stop = i;
        break;
      }
    }
    out_.append(html_.substr(at_, stop - at_));
    at_ = stop;
  }

  void CopyBlanks() {
    while (!AtEnd() && IsBlank(html_[at_])) out_ += html_[at_++];
  }

  // At "<" and a letter: copies the tag with its attributes re-quoted, then,
  // for a raw-text element, its content.
  void CopyStartTag() {
    const size_t name_start = at_ + 1;
    at_ = name_start;
    while (!AtEnd() && IsTagNameChar(html_[at_])) ++at_;
    const std::string lower_name = LowerAsciiCopy(html_.substr(name_start, at_ - name_start));
    out_ += '<';
    out_.append(html_.substr(name_start, at_ - name_start));
    while (!AtEnd() && html_[at_] != '>') {
      CopyBlanks();
      if (AtEnd() || html_[at_] == '>') break;
      if (!IsAttributeNameChar(html_[at_])) {
        out_ += html_[at_++];  // a stray "/", "=" or quote: keep it
        continue;
      }
      CopyAttribute();
    }
    if (AtEnd()) return;
    out_ += html_[at_++];  // ">"
    if (HasRawTextContent(lower_name)) CopyRawTextUntilEndTag(lower_name);
  }

  // At an attribute name: copies it and its value, if any, in double quotes.
  void CopyAttribute() {
    const size_t name_start = at_;
    while (!AtEnd() && IsAttributeNameChar(html_[at_])) out_ += html_[at_++];
    const std::string lower_name = LowerAsciiCopy(html_.substr(name_start, at_ - name_start));
    const bool is_address = lower_name == "href" || lower_name == "src";
    size_t after_blanks = at_;
    while (after_blanks < html_.size() && IsBlank(html_[after_blanks])) ++after_blanks;
    if (after_blanks >= html_.size() || html_[after_blanks] != '=') return;  // no value
    at_ = after_blanks + 1;
    while (!AtEnd() && IsBlank(html_[at_])) ++at_;
    std::string_view value;
    if (!AtEnd() && (html_[at_] == '"' || html_[at_] == '\'')) {
      const size_t close = html_.find(html_[at_], at_ + 1);
      const size_t stop = close == std::string_view::npos ? html_.size() : close;
      value = html_.substr(at_ + 1, stop - at_ - 1);
      at_ = close == std::string_view::npos ? html_.size() : close + 1;
    } else {
      const size_t start = at_;
      while (!AtEnd() && !IsBlank(html_[at_]) && html_[at_] != '>') ++at_;
      value = html_.substr(start, at_ - start);
    }
    out_ += "=\"";
    AppendValue(value, is_address);
    out_ += '"';
  }

  // Appends `value` with each double quote as "&quot;" and, in an address,
  // each escaped ampersand as a bare "&".
  void AppendValue(std::string_view value, bool is_address) {
    static constexpr std::string_view kAmpersands[] = {"&amp;", "&#38;", "&#x26;"};
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '"') {
        out_ += "&quot;";
        continue;
      }
      out_ += value[i];
      if (!is_address || value[i] != '&') continue;
      for (std::string_view ampersand : kAmpersands) {
        if (LowerAsciiCopy(value.substr(i, ampersand.size())) == ampersand) {
          i += ampersand.size() - 1;
          break;
        }
      }
    }
  }

  std::string_view html_;
  size_t at_ = 0;
  std::string out_;
};

// Owns one libtidy document and the buffers used with it.
class TidyRun {
 public:
  TidyRun() : doc_(tidyCreate()) {
    tidyBufInit(&input_);
    tidyBufInit(&output_);
    tidyBufInit(&diagnostics_);
  }
  ~TidyRun() {
    tidyBufDetach(&input_);
    tidyBufFree(&output_);
    tidyBufFree(&diagnostics_);
    tidyRelease(doc_);
  }
  TidyRun(const TidyRun&) = delete;
  TidyRun& operator=(const TidyRun&) = delete;

  // Sets the options of the cleaner; false when libtidy refuses one.
  bool Configure() {
    bool ok = tidySetErrorBuffer(doc_, &diagnostics_) == 0;
    ok = ok && tidyOptSetBool(doc_, TidyForceOutput, yes);
    ok = ok && tidyOptSetBool(doc_, TidyXhtmlOut, no);
    ok = ok && tidyOptSetBool(doc_, TidyHtmlOut, yes);
    ok = ok && tidyOptSetInt(doc_, TidyWrapLen, 0);
    ok = ok && tidyOptSetBool(doc_, TidyMark, no);
    ok = ok && tidyOptSetBool(doc_, TidyNumEntities, yes);
    ok = ok && tidyOptSetBool(doc_, TidyQuoteNbsp, no);
    // A bare "&" stays bare. The engine decodes no entities and ends a
    // sentence at ";": "&amp;" would break addresses ("?a=1&amp;b=2") and
    // split sentences. (NormalizeAttributes also unescapes the ampersands
    // that the page itself escaped in its addresses.)
    ok = ok && tidyOptSetBool(doc_, TidyQuoteAmpersand, no);
    // Keep everything that carries text or links, even when it looks empty.
    ok = ok && tidyOptSetBool(doc_, TidyDropEmptyElems, no);
    ok = ok && tidyOptSetBool(doc_, TidyDropEmptyParas, no);
    ok = ok && tidyOptSetBool(doc_, TidyQuiet, yes);
    ok = ok && tidyOptSetBool(doc_, TidyShowWarnings, no);
    ok = ok && tidyOptSetBool(doc_, TidyShowInfo, no);
    // Nothing reads the diagnostics: formatting them is wasted work.
    ok = ok && tidyOptSetInt(doc_, TidyShowErrors, 0);
    ok = ok && tidySetInCharEncoding(doc_, "utf8") == 0;
    ok = ok && tidySetOutCharEncoding(doc_, kOutputEncoding) == 0;
    return ok;
  }

  // Parses, repairs and serializes `bytes`; returns libtidy's status of the
  // serialization (negative on a severe error).
  // `bytes` must stay alive and unchanged until the TidyRun is destroyed:
  // libtidy reads it where it is.
  int Run(std::string_view bytes) {
    if (!bytes.empty()) {
      tidyBufAttach(&input_, reinterpret_cast<byte*>(const_cast<char*>(bytes.data())),
                    static_cast<uint>(bytes.size()));
    }
    int status = tidyParseBuffer(doc_, &input_);
    if (status >= 0) status = tidyCleanAndRepair(doc_);
    if (status >= 0) status = tidySaveBuffer(doc_, &output_);
    return status;
  }

  // The serialized page; valid until the TidyRun is destroyed.
  std::string_view Output() const {
    if (output_.bp == nullptr) return {};
    return std::string_view(reinterpret_cast<const char*>(output_.bp), output_.size);
  }

 private:
  TidyDoc doc_;
  TidyBuffer input_;
  TidyBuffer output_;
  TidyBuffer diagnostics_;
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string RepairUtf8(std::string_view bytes) {
  std::string repaired;
  repaired.reserve(bytes.size() + bytes.size() / 8);
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      AppendUtf8(Windows1252ToUnicode(static_cast<unsigned char>(bytes[at])), &repaired);
      ++at;
      continue;
    }
    if (DecodeUtf8Sequence(bytes, at, length) != kByteOrderMark) {
      repaired.append(bytes.substr(at, length));
    }
    at += length;
  }
  return repaired;
}

std::string DeclaredCharset(std::string_view page) {
  const std::string lower = LowerAsciiCopy(page.substr(0, kCharsetSearchBytes));
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

bool ConvertToUtf8(std::string_view bytes, const std::string& charset, std::string* utf8) {
  iconv_t converter = iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  utf8->clear();
  utf8->reserve(bytes.size() + bytes.size() / 2);
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  char chunk[16384];
  while (in_left > 0) {
    char* out = chunk;
    size_t out_left = sizeof chunk;
    const size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    const int failure = errno;
    utf8->append(chunk, static_cast<size_t>(out - chunk));
    if (done != static_cast<size_t>(-1)) continue;   // all input converted
    if (failure == E2BIG && out != chunk) continue;  // the chunk is full
    // An invalid or cut-off sequence (or, impossibly, a character larger
    // than the chunk): keep its first byte and go on after it.
    AppendUtf8(Windows1252ToUnicode(static_cast<unsigned char>(*in)), utf8);
    ++in;
    --in_left;
  }
  // Whatever a stateful encoding still holds back.
  char* out = chunk;
  size_t out_left = sizeof chunk;
  iconv(converter, nullptr, nullptr, &out, &out_left);
  utf8->append(chunk, static_cast<size_t>(out - chunk));
  iconv_close(converter);
  return true;
}

std::string NormalizeAttributes(std::string_view html) { return AttributeNormalizer(html).Run(); }

std::string PageAsUtf8(std::string_view page) {
  std::string bytes(page);
  std::erase(bytes, '\0');
  const std::string charset = IconvCharsetFor(DeclaredCharset(bytes));
  std::string converted;
  if (!charset.empty() && ConvertToUtf8(bytes, charset, &converted)) return RepairUtf8(converted);
  // Most pages are clean UTF-8 (or ASCII) already and need no second copy.
  if (IsValidUtf8(bytes) && bytes.find(kUtf8ByteOrderMark) == std::string::npos) return bytes;
  return RepairUtf8(bytes);
}

bool CleanPage(std::string_view page, std::string* cleaned, std::string* error) {
  if (page.size() > kMaxPageBytes) {
    *error = "the page has " + std::to_string(page.size()) + " bytes, more than the " +
             std::to_string(kMaxPageBytes) + " the cleaner accepts";
    return false;
  }
  const std::string utf8 = PageAsUtf8(page);
  TidyRun tidy;
  if (!tidy.Configure()) {
    *error = "libtidy refused the cleaner's options";
    return false;
  }
  const int status = tidy.Run(utf8);
  const std::string_view output = tidy.Output();
  if (output.empty()) {
    *error = "libtidy produced no output (status " + std::to_string(status) + ")";
    return false;
  }
  *cleaned = NormalizeAttributes(output);
  return true;
}

}  // namespace qora::tools
