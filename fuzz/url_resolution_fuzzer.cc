// URL resolution: the first line of the input is a page's address, the rest
// a link found on it. Resolving never throws and never reads out of bounds,
// and the address it yields is in the normal form the crawler stores: read
// again, a hierarchical address gives itself, part for part, so that an
// address stored once leads to the same document id when met again
// ("news" and "mailto" addresses excepted: their full form has no "//").
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "acquire/url_resolution.h"
#include "fuzz/fuzz_input.h"

namespace {

void Fail(const char* what, std::string_view first, std::string_view second) {
  std::fprintf(stderr, "%s\n  \"%.*s\"\n  \"%.*s\"\n", what, static_cast<int>(first.size()),
               first.data(), static_cast<int>(second.size()), second.data());
  std::abort();
}

bool SameParts(const qora::UrlParts& a, const qora::UrlParts& b) {
  return a.full == b.full && a.path == b.path && a.scheme == b.scheme && a.host == b.host &&
         a.user == b.user && a.port == b.port && a.opaque == b.opaque;
}

// A hierarchical address with its full form: that form must read back as
// the same parts.
void CheckNormalForm(const qora::UrlParts& parts, std::string_view source) {
  if (parts.opaque || parts.full.empty()) return;
  // These two are written without "//" (see BuildUrl), so their full form
  // reads back as an opaque address by the stated rules.
  if (parts.scheme == "news" || parts.scheme == "mailto") return;
  // Cleaning keeps the query written after a fragment whole ("a#f?q#g"
  // gives "a?q#g"), and cleaning that once more cuts at its "#": by the
  // resolver's own rules, on which document ids depend.
  if (parts.full.find('#') != std::string::npos) return;
  // An empty user name ("//@host") is not written back, so a host that
  // itself holds "@" gives its first part as the user when read again.
  if (parts.host.find('@') != std::string::npos) return;
  qora::UrlParts again;
  qora::ParseUrl(parts.full, &again);
  if (!SameParts(parts, again)) Fail("the normal form reads back differently", source, again.full);
}

void CheckCleaned(std::string_view address) {
  const std::string cleaned = qora::CleanAddress(address);
  if (cleaned.find_first_of(" \r\n\t") != std::string::npos) {
    Fail("a cleaned address holds a blank", address, cleaned);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qora::FuzzInput input(data, size);
  const std::string_view base = input.Text();
  const std::string_view link = input.Rest();
  try {
    CheckCleaned(link);

    qora::UrlParts parsed;
    qora::ParseUrl(link, &parsed);
    CheckNormalForm(parsed, link);

    qora::UrlParts resolved;
    bool leaves_host = false;
    if (qora::ResolveLink(link, base, &resolved, &leaves_host) != 0) Fail("not 0", base, link);
    CheckNormalForm(resolved, link);
    qora::UrlParts base_parts;
    qora::ParseUrl(base, &base_parts);
    if (leaves_host != (resolved.host != base_parts.host)) Fail("wrong host change", base, link);
  } catch (const std::out_of_range& error) {
    Fail("a position outside its text", base, link);
  }
  return 0;
}
