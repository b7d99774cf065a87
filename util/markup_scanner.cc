#include "util/markup_scanner.h"

#include "util/file_bytes.h"

namespace qora {
namespace {

constexpr size_t kNone = std::string_view::npos;

// The position where scanning starts when the header is skipped. First every
// "<?...?>" is passed; a "<?" without a following "?>" sends the start back
// to the beginning. From there every "<!...>" is passed; a "<!" without a
// following ">" sends the start back to where the first search ended.
size_t HeaderEnd(std::string_view text) {
  size_t pos = 0;
  while (true) {
    size_t open = text.find("<?", pos);
    if (open == kNone) break;
    size_t close = text.find("?>", open + 2);
    if (close == kNone) {
      pos = 0;
      break;
    }
    pos = close + 2;
  }
  const size_t after_instructions = pos;
  while (true) {
    size_t open = text.find("<!", pos);
    if (open == kNone) return pos;
    size_t close = text.find('>', open + 2);
    if (close == kNone) return after_instructions;
    pos = close + 1;
  }
}

// One element found at a level.
struct Element {
  std::string_view name;
  std::string_view attributes;
  std::string_view content;
  size_t next = 0;  // where scanning of the level continues
};

// Splits the opening tag `tag` ("<" to ">" inclusive) into name and
// attribute text; returns whether it is an empty-element tag ("/>").
bool SplitTag(std::string_view tag, std::string_view* name, std::string_view* attributes) {
  bool empty = tag.size() >= 3 && tag[tag.size() - 2] == '/';
  size_t inner_end = tag.size() - (empty ? 2 : 1);
  size_t blank = tag.find(' ', 1);
  if (blank > inner_end) blank = kNone;
  size_t name_end = blank == kNone ? inner_end : blank;
  *name = tag.substr(1, name_end - 1);
  *attributes = std::string_view();
  if (blank != kNone) *attributes = tag.substr(blank + 1, inner_end - (blank + 1));
  return empty;
}

// The position of the first "</" + name + ">" in `text` at or after `from`.
size_t FindClosingTag(std::string_view text, size_t from, std::string_view name) {
  size_t pos = from;
  while ((pos = text.find("</", pos)) != kNone) {
    size_t name_at = pos + 2;
    size_t after = name_at + name.size();
    if (after < text.size() && text[after] == '>' &&
        text.compare(name_at, name.size(), name) == 0) {
      return pos;
    }
    pos = name_at;
  }
  return kNone;
}

// Finds the next element of the level `text` at or after `pos`; false when
// the level ends (no further tag, or the closing tag is missing).
bool NextElement(std::string_view text, size_t pos, Element* element) {
  size_t open = text.find('<', pos);
  if (open == kNone) return false;
  size_t close = text.find('>', open + 1);
  if (close == kNone) return false;
  size_t tag_end = close + 1;
  bool empty = SplitTag(text.substr(open, tag_end - open), &element->name, &element->attributes);
  if (empty) {
    element->content = std::string_view();
    element->next = tag_end;
    return true;
  }
  size_t closing = FindClosingTag(text, tag_end, element->name);
  if (closing == kNone) return false;
  element->content = text.substr(tag_end, closing - tag_end);
  element->next = closing + element->name.size() + 3;
  return true;
}

// A level being scanned: the content of element `name` (the whole text for
// the outermost level) and the position reached in it.
struct Level {
  std::string_view text;
  size_t pos;
  std::string_view name;
};

}  // namespace

// The levels are kept on an explicit stack rather than by recursion, so that
// deeply nested input cannot exhaust the call stack.
int ScanMarkup(std::string_view text, MarkupHandler* handler, bool skip_header) {
  std::vector<Level> levels;
  levels.push_back(Level{text, skip_header ? HeaderEnd(text) : 0, std::string_view()});
  while (!levels.empty()) {
    Level& level = levels.back();
    Element element;
    if (!NextElement(level.text, level.pos, &element)) {
      std::string_view name = level.name;
      levels.pop_back();
      if (levels.empty()) break;
      handler->EndElement(name);
      if (handler->Stop()) break;
      continue;
    }
    level.pos = element.next;
    if (element.content.find('<') == kNone) {
      handler->LeafElement(element.name, element.content, element.attributes);
      if (handler->Stop()) break;
    } else {
      handler->StartElement(element.name, element.attributes);
      if (handler->Stop()) break;
      levels.push_back(Level{element.content, 0, element.name});
    }
  }
  return 0;
}

std::string JoinLines(std::string_view raw) {
  std::string joined;
  joined.reserve(raw.size() + raw.size() / 32 + 3);
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t line_end = raw.find('\n', pos);
    size_t end = line_end == kNone ? raw.size() : line_end;
    std::string_view line = raw.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    joined.push_back(' ');
    joined.append(line);
    if (line_end == kNone) break;
    pos = line_end + 1;
  }
  joined.append("  ");
  return joined;
}

std::string ReadJoinedLines(const std::string& path, bool* opened) {
  std::string raw;
  bool ok = ReadWholeFile(path, &raw);
  if (opened != nullptr) *opened = ok;
  return ok ? JoinLines(raw) : std::string();
}

int ScanMarkupFile(const std::string& path, MarkupHandler* handler, bool skip_header) {
  bool opened = false;
  std::string text = ReadJoinedLines(path, &opened);
  if (!opened) return -1;
  return ScanMarkup(text, handler, skip_header);
}

void ParseAttributes(std::string_view text, std::vector<std::string>* names,
                     std::vector<std::string>* values) {
  names->clear();
  values->clear();
  size_t pos = 0;
  while (true) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n')) {
      ++pos;
    }
    size_t equals = text.find('=', pos);
    if (equals == kNone) return;
    size_t open_quote = text.find('"', equals + 1);
    if (open_quote == kNone) return;
    size_t close_quote = text.find('"', open_quote + 1);
    if (close_quote == kNone) return;
    names->emplace_back(text.substr(pos, equals - pos));
    values->emplace_back(text.substr(open_quote + 1, close_quote - open_quote - 1));
    pos = close_quote + 1;
  }
}

}  // namespace qora
