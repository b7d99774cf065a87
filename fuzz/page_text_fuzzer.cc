// The text steps of page processing, run as the page processor runs them:
// the first line of the input is the page's address, the rest its HTML.
// Checked: the link lists stay parallel and of the stated kinds, at most 51
// frames are taken, the anchor section is framed, stripped text holds no
// tag, the body's paragraphs and sentences are balanced, and escaped text
// holds no markup character and no "&" that starts no entity.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "acquire/page_text.h"
#include "fuzz/fuzz_input.h"

namespace {

void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

size_t Count(std::string_view text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

void CheckEscaped(std::string_view text) {
  const std::string escaped = qora::EscapeXml(text);
  if (escaped.find_first_of("\"'<>") != std::string::npos) Fail("markup left unescaped", text);
  for (size_t at = escaped.find('&'); at != std::string::npos; at = escaped.find('&', at + 1)) {
    const std::string_view rest = std::string_view(escaped).substr(at);
    if (!rest.starts_with("&quot;") && !rest.starts_with("&amp;") && !rest.starts_with("&apos;") &&
        !rest.starts_with("&lt;") && !rest.starts_with("&gt;")) {
      Fail("a bare & after escaping", text);
    }
  }
}

bool HasBodyCharacter(std::string_view text) {
  for (char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '&') {
      return true;
    }
  }
  return false;
}

void CheckBody(std::string_view text) {
  const std::string body = qora::FormatBody(text);
  if (!HasBodyCharacter(text)) {
    if (!body.empty()) Fail("a body from a text without words", text);
    return;
  }
  if (Count(body, "<p>") != Count(body, "</p>") || Count(body, "<s>") != Count(body, "</s>") ||
      Count(body, "<title>") != Count(body, "</title>")) {
    Fail("unbalanced body", body);
  }
}

void CheckLinks(const std::vector<std::string>& links, const std::vector<int>& kinds,
                size_t first, int low, int high) {
  if (links.size() != kinds.size()) Fail("links and kinds differ in number", "");
  for (size_t i = first; i < kinds.size(); ++i) {
    if (kinds[i] < low || kinds[i] > high) Fail("a link of the wrong kind", links[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qora::FuzzInput input(data, size);
  const std::string base = qora::EscapeXml(input.Text());
  const std::string_view page = input.Rest();
  std::vector<std::string> links;
  std::vector<int> kinds;
  try {
    int frames = 0;
    const int found = qora::ExtractFrames(page, base, &links, &kinds, &frames);
    if (found == 0 && (links.empty() || page.size() > qora::kMaxFramesetPageBytes)) {
      Fail("frames reported but none taken", page);
    }
    if (frames > qora::kMaxFramesPerPage || links.size() > size_t{qora::kMaxFramesPerPage}) {
      Fail("too many frames", page);
    }
    CheckLinks(links, kinds, 0, 3, 3);

    std::string anchors;
    int other_hosts = 0;
    int same_host = 0;
    const size_t before = links.size();
    qora::ExtractAnchors(page, base, &anchors, &links, &kinds, &other_hosts, &same_host);
    CheckLinks(links, kinds, before, 1, 2);
    if (!anchors.starts_with("<anc>") || !anchors.ends_with("</anc>")) Fail("anchor section", anchors);
    if (links.size() - before > static_cast<size_t>(other_hosts + same_host)) {
      Fail("more links than anchors counted", page);
    }
  } catch (const std::out_of_range&) {
    // Documented: a link whose resolution computes a position outside its
    // text. The page processor's caller takes the page as failed.
  }

  std::string cleaned = qora::RemoveBlocks(page, "<SCRIPT", "</SCRIPT>");
  cleaned = qora::RemoveBlocks(cleaned, "<!--", "-->");
  cleaned = qora::RemoveBlocks(cleaned, "<STYLE", "</STYLE>");
  if (cleaned.size() > page.size()) Fail("removing blocks grew the text", page);
  const std::string text = qora::StripTags(cleaned);
  if (text.find('<') != std::string::npos) Fail("a tag survived stripping", text);
  CheckEscaped(text);
  CheckBody(text);
  return 0;
}
