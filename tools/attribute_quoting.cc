#include "tools/attribute_quoting.h"

#include "tools/html_chars.h"

namespace qora::tools {

namespace {

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
      if (AsciiLower(html_.substr(i, closing.size())) == closing) {
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
    const std::string lower_name = AsciiLower(html_.substr(name_start, at_ - name_start));
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
    const std::string lower_name = AsciiLower(html_.substr(name_start, at_ - name_start));
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
        if (AsciiLower(value.substr(i, ampersand.size())) == ampersand) {
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

}  // namespace

std::string NormalizeAttributes(std::string_view html) { return AttributeNormalizer(html).Run(); }

}  // namespace qora::tools
