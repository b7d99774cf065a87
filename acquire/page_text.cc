#include "acquire/page_text.h"

#include <set>
#include <string>

#include "acquire/page_processor.h"
#include "acquire/url_resolution.h"
#include "util/ascii.h"

namespace qora {

namespace {

constexpr size_t kNone = std::string_view::npos;

// ---------------------------------------------------------------------------
// Frames.

// The quoted value that follows `after` in `upper`: the first pair of
// double quotes, else the first pair of single quotes. Sets the positions of
// the opening and closing quote; false when there is neither pair.
bool QuotedValueAfter(std::string_view upper, size_t after, size_t* open, size_t* close) {
  for (char quote : {'"', '\''}) {
    const size_t first = upper.find(quote, after);
    if (first == kNone) continue;
    const size_t second = upper.find(quote, first + 1);
    if (second == kNone) continue;
    *open = first;
    *close = second;
    return true;
  }
  return false;
}

// The SRC value of the "<FRAME" tag at `tag` in `upper`, as positions of its
// quotes; false when the frame search must end at this tag.
bool FrameSource(std::string_view upper, size_t tag, size_t* open, size_t* close, size_t* tag_end) {
  const size_t src = upper.find("SRC", tag + 6);
  if (src == kNone) return false;
  if (!QuotedValueAfter(upper, src + 3, open, close)) return false;
  *tag_end = upper.find('>', tag + 6);
  // The value must lie inside the tag, its closing quote included.
  return *tag_end != kNone && *close < *tag_end;
}

// ---------------------------------------------------------------------------
// Anchors.

bool IsTagBlank(char c) { return c == ' ' || c == '\n' || c == '\t'; }

bool AnchorStartsAt(std::string_view text, size_t i) {
  return text[i] == '<' && (text[i + 1] == 'a' || text[i + 1] == 'A') && IsTagBlank(text[i + 2]);
}

// Position of the next "</A>" (any case) at or after `from`, or kNone.
size_t FindAnchorClose(std::string_view upper, size_t from) { return upper.find("</A>", from); }

// The anchor section and link lists of one ExtractAnchors call.
class AnchorCollector {
 public:
  AnchorCollector(std::string_view base, std::string* anchors, std::vector<std::string>* links,
                  std::vector<int>* kinds, int* other_hosts, int* same_host)
      : base_(base),
        anchors_(anchors),
        links_(links),
        kinds_(kinds),
        other_hosts_(other_hosts),
        same_host_(same_host) {}

  // Takes the link of one anchor: `anchor` is its text from "<a" through
  // its closing tag (or its self-closing tag alone), `open_end` the position
  // of its opening tag's ">", `closed` false for a self-closing tag.
  void Take(std::string anchor, size_t open_end, bool closed) {
    if (closed) {
      // The inner text (up to the closing tag's "<") loses its tags.
      const size_t inner_end = anchor.rfind('<');
      const std::string inner = StripTags(anchor.substr(open_end + 1, inner_end - open_end - 1));
      anchor = anchor.substr(0, open_end + 1) + inner + anchor.substr(inner_end);
    }
    const std::string upper = AsciiUpper(anchor);
    const size_t href = upper.find("HREF");
    if (href == kNone) return;
    for (const char* refused : {"MAILTO", "FTP", "JAVASCRIPT"}) {
      if (upper.find(refused) != kNone) return;
    }
    size_t open = 0;
    size_t close = 0;
    if (!QuotedValueAfter(upper, href + 4, &open, &close)) return;
    // A value that holds the ">" ending the opening tag leaves no anchor text
    // to write after that tag.
    if (open < open_end && open_end < close) return;
    UrlParts parts;
    bool leaves_host = false;
    ResolveLink(std::string_view(anchor).substr(open + 1, close - open - 1), base_, &parts,
                &leaves_host);
    ++*(leaves_host ? other_hosts_ : same_host_);
    if (!seen_.insert(parts.full).second) return;
    links_->push_back(parts.full);
    kinds_->push_back(leaves_host ? kLinkOtherHost : kLinkSameHost);
    const size_t old_length = close - open - 1;
    anchor.replace(open + 1, old_length, parts.full);
    // A value inside the opening tag moves the tag's ">" with it.
    if (close < open_end) open_end = open_end - old_length + parts.full.size();
    *anchors_ += "<a href=\"" + parts.full + "\">" + anchor.substr(open_end + 1);
    // A self-closing anchor has no closing tag of its own; the section gets
    // one so that it stays well formed.
    if (!closed) *anchors_ += "</a>";
  }

 private:
  std::string_view base_;
  std::string* anchors_;
  std::vector<std::string>* links_;
  std::vector<int>* kinds_;
  int* other_hosts_;
  int* same_host_;
  std::set<std::string> seen_;
};

// ---------------------------------------------------------------------------
// The DML body.

bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '&';
}

// One piece of a split text: a gap (a run of non-word bytes) or a run from
// a word byte through its ending byte.
struct Piece {
  std::string_view text;
  bool gap = false;
};

// Splits `text` into gap pieces (non-empty runs of non-word bytes) and runs
// from a word byte through the next byte that `ends` holds; trailing bytes
// after the last run without a word byte are dropped. `text` must end in a
// byte of `ends` after its last word byte.
std::vector<Piece> SplitPieces(std::string_view text, std::string_view ends) {
  std::vector<Piece> pieces;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t word = pos;
    while (word < text.size() && !IsWordByte(text[word])) ++word;
    if (word == text.size()) break;
    if (word > pos) pieces.push_back({text.substr(pos, word - pos), true});
    const size_t end = text.find_first_of(ends, word);
    const size_t stop = end == kNone ? text.size() : end + 1;
    pieces.push_back({text.substr(word, stop - word), false});
    pos = stop;
  }
  return pieces;
}

// The six sentence ends, in the order in which they are appended to every
// paragraph: ".", middle dot, ";", "!", "?", bullet.
constexpr char kSentenceEnds[] = ".\xB7;!?\x95";

// Writes the body pieces of FormatBody.
class BodyWriter {
 public:
  void Title(std::string_view piece) {
    body_ += "<title>";
    body_ += piece;
    body_ += "</title>\n";
  }

  void Add(const Piece& piece) {
    if (!paragraph_open_) {
      body_ += "<p>";
      paragraph_open_ = true;
    }
    if (piece.gap) {
      EndParagraph();
    } else {
      pending_ += piece.text;
    }
  }

  std::string Finish() {
    EndParagraph();
    if (paragraph_open_) body_ += "</p>";
    return std::move(body_);
  }

 private:
  // Writes the pending paragraph's sentences, and a paragraph break when it
  // had any.
  void EndParagraph() {
    pending_ += kSentenceEnds;
    bool open = false;
    bool any = false;
    for (const Piece& sentence : SplitPieces(pending_, kSentenceEnds)) {
      if (sentence.gap) {
        if (open) body_ += "</s>";
        open = false;
        continue;
      }
      if (!open) body_ += "<s>";
      open = true;
      any = true;
      body_ += sentence.text;
    }
    if (open) body_ += "</s>";
    if (any) body_ += "</p><p>";
    pending_.clear();
  }

  std::string body_;
  std::string pending_;
  bool paragraph_open_ = false;  // a "<p>" has been written
};

}  // namespace

int ExtractFrames(std::string_view html, std::string_view base, std::vector<std::string>* links,
                  std::vector<int>* kinds, int* frame_count) {
  if (html.size() > kMaxFramesetPageBytes) return -1;
  const std::string upper = AsciiUpper(html);
  const size_t frameset = upper.find("<FRAMESET");
  const size_t frameset_end = upper.find("</FRAMESET>");
  if (frameset == kNone || frameset_end == kNone || frameset_end < frameset) return -1;

  std::set<std::string> seen;
  int found = 0;
  size_t pos = frameset + 9;
  while (found < kMaxFramesPerPage) {
    const size_t tag = upper.find("<FRAME", pos);
    if (tag == kNone) break;
    if (upper.compare(tag, 9, "<FRAMESET") == 0) {
      pos = tag + 9;
      continue;
    }
    size_t open = 0;
    size_t close = 0;
    size_t tag_end = 0;
    if (!FrameSource(upper, tag, &open, &close, &tag_end)) break;
    UrlParts parts;
    bool leaves_host = false;
    ResolveLink(html.substr(open + 1, close - open - 1), base, &parts, &leaves_host);
    if (seen.insert(parts.full).second) {
      links->push_back(parts.full);
      kinds->push_back(kLinkFrame);
      ++*frame_count;
      ++found;
    }
    pos = tag_end + 1;
  }
  return found > 0 ? 0 : -1;
}

void ExtractAnchors(std::string_view cleaned, std::string_view base, std::string* anchors,
                    std::vector<std::string>* links, std::vector<int>* kinds,
                    int* links_to_other_hosts, int* links_to_same_host) {
  *anchors = "<anc>";
  AnchorCollector collector(base, anchors, links, kinds, links_to_other_hosts, links_to_same_host);
  const std::string upper = AsciiUpper(cleaned);
  bool in_comment = false;
  size_t i = 0;
  while (i + 2 < cleaned.size()) {
    if (in_comment) {
      if (cleaned.compare(i, 3, "-->") == 0) {
        in_comment = false;
        i += 3;
      } else {
        ++i;
      }
      continue;
    }
    if (cleaned.compare(i, 3, "<!-") == 0) {
      in_comment = true;
      i += 3;
      continue;
    }
    if (!AnchorStartsAt(cleaned, i)) {
      ++i;
      continue;
    }
    const size_t close = FindAnchorClose(upper, i);
    if (close == kNone) break;  // no anchor of the rest can be closed
    const size_t open_end = cleaned.find('>', i);
    const size_t resume = close + 4;
    if (open_end > 0 && cleaned[open_end - 1] == '/' && open_end < close) {
      collector.Take(std::string(cleaned.substr(i, open_end + 1 - i)), open_end - i, false);
    } else if (open_end < close) {
      collector.Take(std::string(cleaned.substr(i, resume - i)), open_end - i, true);
    }
    // An opening tag that runs into the closing tag has no link to take.
    i = resume;
  }
  *anchors += "</anc>";
}

std::string RemoveBlocks(std::string_view text, std::string_view start_marker,
                         std::string_view end_marker) {
  if (start_marker.empty()) return std::string(text);
  const std::string upper = AsciiUpper(text);
  const std::string start = AsciiUpper(start_marker);
  const std::string end = AsciiUpper(end_marker);
  std::string kept;
  size_t copy_from = 0;
  for (size_t hit = upper.find(start); hit != kNone; hit = upper.find(start, copy_from)) {
    kept.append(text.substr(copy_from, hit - copy_from));
    const size_t end_hit = upper.find(end, hit + start.size());
    if (end_hit == kNone) return kept;  // an open block runs to the end
    copy_from = end_hit + end.size();
  }
  kept.append(text.substr(copy_from));
  return kept;
}

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('<', pos);
    if (open == kNone) {
      out.append(text.substr(pos));
      break;
    }
    out.append(text.substr(pos, open - pos));
    const size_t close = text.find('>', open);
    if (close == kNone) break;
    if (close == open + 3 && AsciiUpper(text[open + 1]) == 'B' &&
        AsciiUpper(text[open + 2]) == 'R') {
      out += '\n';
    }
    pos = close + 1;
  }
  return out;
}

std::string FormatBody(std::string_view text) {
  const std::string lines = std::string(text) + "\n";
  const std::vector<Piece> pieces = SplitPieces(lines, "\n");
  BodyWriter writer;
  bool title_seen = false;
  for (const Piece& piece : pieces) {
    const bool is_title_candidate = !title_seen && !piece.gap;
    if (!title_seen && piece.gap) continue;  // pieces before the first line
    title_seen = true;
    if (is_title_candidate && piece.text.size() <= kMaxTitleLineBytes) {
      writer.Title(piece.text);
    } else {
      writer.Add(piece);
    }
  }
  return writer.Finish();
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '"':
        out += "&quot;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace qora
