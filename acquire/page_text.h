// The text steps of page processing: frames and anchors found in a page,
// script, comment and style blocks removed, tags stripped, the DML body of
// title, paragraphs and sentences, and the escaping of text that enters a DML
// record. The crawler, the search engines and the local-file import share
// them.
//
// Text is 8-bit; case changes touch only 'A' to 'Z' and 'a' to 'z'. No
// function decodes entities.
#ifndef QORA_ACQUIRE_PAGE_TEXT_H_
#define QORA_ACQUIRE_PAGE_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace qora {

// Pages longer than this are not searched for frames.
inline constexpr size_t kMaxFramesetPageBytes = 2500;
// No more frames than this are taken from one page.
inline constexpr int kMaxFramesPerPage = 51;
// A first line longer than this (its line feed included) is no title.
inline constexpr size_t kMaxTitleLineBytes = 80;

// Finds the frames of a frameset page. Looks only at pages of at most 2500
// bytes that hold "<FRAMESET" (any case) before "</FRAMESET>". Each "<FRAME"
// tag after the first "<FRAMESET" gives the value of its SRC attribute (the
// first double-quoted value after "SRC", else the first single-quoted one),
// resolved against `base`; new addresses are appended to `links` with kind 3
// (kLinkFrame) and counted in *frame_count, up to 51 frames. The search ends
// at a tag without SRC, without a quoted value, without a closing ">", or
// whose value's closing quote lies after that ">". Returns 0 when this call
// found at least one frame, else -1. Throws what ResolveLink throws
// (std::out_of_range).
int ExtractFrames(std::string_view html, std::string_view base, std::vector<std::string>* links,
                  std::vector<int>* kinds, int* frame_count);

// Collects the anchors of a cleaned page outside "<!-" ... "-->" comments:
// every "<a" followed by a blank, line feed or tab, up to the next "</a>"
// (any case). An anchor whose text holds no "HREF", or holds "MAILTO", "FTP"
// or "JAVASCRIPT" (any case, link text included), is skipped; so is one
// whose HREF value is not in quotes or holds the ">" of the opening tag. Each other link is
// resolved against `base` and counted in *links_to_other_hosts or *links_to_same_host; a new
// address is appended to `links` with kind 2 (other host) or 1 (same host)
// and to the anchor section as "<a href=\"address\">" followed by the
// anchor's tag-stripped text and closing tag. *anchors is replaced by the
// section "<anc>" ... "</anc>". A self-closing "<a .../>" contributes that
// tag alone and gets "</a>" in the section. Throws what ResolveLink throws
// (std::out_of_range); the outputs then hold what was found before.
void ExtractAnchors(std::string_view cleaned, std::string_view base, std::string* anchors,
                    std::vector<std::string>* links, std::vector<int>* kinds,
                    int* links_to_other_hosts, int* links_to_same_host);

// `text` without the blocks that run from each `start_marker` to just after
// the next `end_marker`, markers matched in any case; the rest keeps its
// case. A start marker without a later end marker drops the text from it to
// the end.
std::string RemoveBlocks(std::string_view text, std::string_view start_marker,
                         std::string_view end_marker);

// `text` without its tags: everything from each "<" to the next ">" is
// dropped, except that a "<BR>" (any case, nothing else inside) becomes one
// line feed. A "<" without a later ">" drops the rest of the text.
std::string StripTags(std::string_view text);

// The DML body of a stripped text: the first line as "<title>...</title>\n"
// when it has at most 80 characters with its line feed, then paragraphs
// "<p>...</p>" (a paragraph ends at every run of characters other than
// letters, digits and "&" between lines) holding sentences "<s>...</s>"
// (ended by ".", ";", "!", "?", the middle dot 0xB7 or the bullet 0x95; a
// last sentence without an end gets "."). Line feeds stay inside title and
// sentences. A text without letters, digits and "&" gives "".
std::string FormatBody(std::string_view text);

// `text` with '"', '&', '\'', '<' and '>' written as "&quot;", "&amp;",
// "&apos;", "&lt;" and "&gt;".
std::string EscapeXml(std::string_view text);

}  // namespace qora

#endif  // QORA_ACQUIRE_PAGE_TEXT_H_
