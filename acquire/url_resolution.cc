#include "acquire/url_resolution.h"

#include <string>
#include <utility>

#include "util/ascii.h"
#include "util/decimal.h"
#include "util/gcc_warnings.h"

namespace qora {

namespace {

constexpr size_t kNone = std::string::npos;

// Replaces every occurrence of `from` in *text by the shorter `to`, looking
// again at the place of each replacement, so that "/././" collapses fully.
QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
void ReplaceRepeatedly(std::string* text, std::string_view from, std::string_view to) {
  size_t pos = 0;
  while ((pos = text->find(from, pos)) != kNone) text->replace(pos, from.size(), to);
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

// Position of the last "/" before `pos` in `text`, or kNone.
size_t SlashBefore(const std::string& text, size_t pos) {
  return pos == 0 ? kNone : text.rfind('/', pos - 1);
}

// Every "/../" goes together with the segment before it; with no "/" before
// it, only its "/.." goes.
void RemoveDotDotSegments(std::string* path) {
  size_t pos;
  while ((pos = path->find("/../")) != kNone) {
    const size_t previous = SlashBefore(*path, pos);
    if (previous == kNone) {
      path->erase(pos, 3);
    } else {
      path->erase(previous, pos + 3 - previous);
    }
  }
}

// A final "/.." goes together with the last segment; the "/" before that
// segment stays, and a path left empty becomes "/".
QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
void RemoveFinalDotDot(std::string* path) {
  if (!path->ends_with("/..")) return;
  const size_t previous = SlashBefore(*path, path->size() - 3);
  path->resize(previous == kNone ? 0 : previous + 1);
  if (path->empty()) *path = "/";
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

// Parses what follows "scheme://" into host, user, port and path of a file
// address: the host is always "localhost", and a first segment that does not
// begin with "/" is dropped.
void ParseFileRest(const std::string& rest, UrlParts* parts) {
  parts->host = "localhost";
  parts->port = 0;
  if (rest.starts_with('/')) {
    parts->path += rest;
    return;
  }
  const size_t slash = rest.find('/');
  if (slash != kNone) parts->path += rest.substr(slash + 1);
}

// Parses what follows "scheme://" of any other address. The host runs up to
// the first "/", or up to the first ":" when that comes before any "/"; in
// the latter case the number up to the next "/" is the port (the scheme's
// default when missing or below 1). What follows that "/" joins the path; a
// host part without "/" leaves the path at "/".
void ParseHostRest(const std::string& rest, UrlParts* parts) {
  const size_t colon = rest.find(':');
  size_t slash = rest.find('/');
  if (colon == kNone || (slash != kNone && colon > slash)) {
    parts->host = rest.substr(0, slash);
    parts->port = DefaultPort(parts->scheme);
  } else {
    parts->host = rest.substr(0, colon);
    slash = rest.find('/', colon + 1);
    const size_t digits = slash == kNone ? kNone : slash - colon - 1;
    const int port = ParseDecimal(rest.substr(colon + 1, digits));
    parts->port = port < 1 ? DefaultPort(parts->scheme) : port;
  }
  if (slash != kNone) parts->path += rest.substr(slash + 1);
  const size_t at = parts->host.find('@');
  if (at != kNone) {
    parts->user = parts->host.substr(0, at);
    parts->host = parts->host.substr(at + 1);
  }
}

// True when `link` has no scheme (its leading letters are not followed by
// ":") or begins with "http:" but not with "http://".
bool IsRelativeLink(const std::string& link) {
  size_t letters = 0;
  while (letters < link.size() && IsAsciiLetter(link[letters])) ++letters;
  const bool has_scheme = letters > 0 && letters < link.size() && link[letters] == ':';
  if (!has_scheme) return true;
  return link.starts_with("http:") && !link.starts_with("http://");
}

// The normalized path of a relative link (not beginning with "//") found on
// a page whose path is `base_path`.
std::string RelativeLinkPath(std::string link, const std::string& base_path) {
  if (link.starts_with("http:")) link.erase(0, 5);
  while (link.starts_with("./")) link.erase(0, 2);
  std::string path;
  if (link.starts_with('/')) {
    path = link;
  } else {
    const std::string folder = base_path.substr(0, base_path.find('?'));
    const size_t first_slash = folder.find('/');
    if (first_slash != kNone && first_slash + 1 == folder.size()) {
      path = folder + link;
    } else {
      const size_t last_slash = folder.rfind('/');
      path = (last_slash == kNone ? std::string() : folder.substr(0, last_slash + 1)) + link;
    }
  }
  NormalizePath(&path);
  return path;
}

}  // namespace

int DefaultPort(std::string_view scheme) {
  if (scheme == "http") return 80;
  if (scheme == "https") return 443;
  if (scheme == "ftp") return 21;
  if (scheme == "gopher") return 70;
  if (scheme == "file") return 0;
  return 80;
}

std::string CleanAddress(std::string_view address) {
  const std::string text(address.substr(0, address.find_first_of(" \r\n\t")));
  const size_t hash = text.find('#');
  if (hash == kNone) return text;
  std::string cleaned = text.substr(0, hash);
  const size_t query = text.find('?', hash);
  if (query != kNone) cleaned += text.substr(query);
  return cleaned;
}

QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
void ParseUrl(std::string_view address, UrlParts* parts) {
  const std::string text = CleanAddress(address);
  parts->user.clear();
  parts->opaque = false;
  parts->full.clear();
  std::string rest;
  const size_t colon = text.find(':');
  if (colon == kNone) {
    parts->scheme = "http";
    rest = text;
  } else {
    parts->scheme = text.substr(0, colon);
    rest = text.substr(colon + 1);
  }
  if (!rest.starts_with("//")) {
    parts->host.clear();
    parts->port = 0;
    parts->path = rest;
    parts->opaque = true;
    return;
  }
  rest.erase(0, 2);
  parts->path = "/";
  if (parts->scheme == "file") {
    ParseFileRest(rest, parts);
  } else {
    ParseHostRest(rest, parts);
  }
  NormalizePath(&parts->path);
  BuildUrl(parts);
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

int ResolveLink(std::string_view link, std::string_view base, UrlParts* parts, bool* leaves_host) {
  const std::string cleaned = CleanAddress(link);
  UrlParts base_parts;
  ParseUrl(base, &base_parts);
  parts->host = base_parts.host;
  parts->port = base_parts.port;
  parts->scheme = base_parts.scheme;
  parts->user = base_parts.user;
  parts->opaque = base_parts.opaque;
  if (cleaned.empty()) {
    parts->path = base_parts.path;
    parts->full = base_parts.full;
  } else if (!IsRelativeLink(cleaned)) {
    ParseUrl(cleaned, parts);
  } else if (cleaned.starts_with("//")) {
    ParseUrl(base_parts.scheme + ":" + cleaned, parts);
  } else {
    parts->path = RelativeLinkPath(cleaned, base_parts.path);
  }
  BuildUrl(parts);
  if (leaves_host != nullptr) *leaves_host = parts->host != base_parts.host;
  return 0;
}

void NormalizePath(std::string* path) {
  const size_t query_start = path->find('?');
  std::string head = path->substr(0, query_start);
  RemoveDotDotSegments(&head);
  RemoveFinalDotDot(&head);
  ReplaceRepeatedly(&head, "/./", "/");
  if (head.ends_with("/.")) head.pop_back();
  ReplaceRepeatedly(&head, "//", "/");
  ReplaceRepeatedly(&head, "%7E", "~");
  if (query_start != kNone) head += path->substr(query_start);
  *path = std::move(head);
}

QORA_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN
void BuildUrl(UrlParts* parts) {
  std::string full = parts->scheme + ":";
  if (parts->scheme != "news" && parts->scheme != "mailto") full += "//";
  if (parts->scheme != "file") {
    if (!parts->user.empty()) full += parts->user + "@";
    full += parts->host;
  }
  if (parts->port != 0 && parts->port != DefaultPort(parts->scheme)) {
    full += ":" + std::to_string(parts->port);
  }
  full += parts->path;
  parts->full = std::move(full);
}
QORA_GCC12_RESTRICT_FALSE_POSITIVE_END

}  // namespace qora
