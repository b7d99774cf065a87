// URL resolution: turns a link found in a page into a full address in one
// normal form, split into its parts, and tells whether it leaves the page's
// host. The crawler compares and stores links only in this form, so two ways
// of writing one address lead to one document id.
//
// The rules are the system's own. Where they differ from the published URL
// standard they are kept on purpose (document ids depend on them): scheme
// names are compared case-sensitively, host names byte for byte, a query
// written after a fragment survives, "%7E" (capital E only) becomes "~", an
// address without a scheme is taken as "http", and a password in the host
// part (user:password@host) is read as host:port.
//
// No input is rejected: every text yields parts. Positions are taken with
// bounds-checked string operations, so a position computed outside its text
// raises std::out_of_range to the caller instead of reading out of bounds.
#ifndef QORA_ACQUIRE_URL_RESOLUTION_H_
#define QORA_ACQUIRE_URL_RESOLUTION_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace qora {

struct UrlParts {
  std::string full;     // the whole address rebuilt from the parts
  std::string path;     // path with its query; begins with "/" unless opaque
  std::string scheme;   // scheme without ":"
  std::string host;     // host name without user information and port
  std::string user;     // what stood before "@" in the host part, else ""
  int32_t port = 0;     // 0 for file addresses and addresses without "//"
  bool opaque = false;  // the address had no "//" after its scheme
};

// The default port of `scheme`: "http" 80, "https" 443, "ftp" 21, "gopher"
// 70, "file" 0, any other scheme (capitalised ones included) 80.
int DefaultPort(std::string_view scheme);

// `address` cut at its first blank, carriage return, line feed or tab, with
// the fragment removed; a "?" after the "#" keeps the query from there on
// ("a#f?q" gives "a?q").
std::string CleanAddress(std::string_view address);

// Cleans `address` and fills every field of *parts. A hierarchical address
// ("scheme://...") gets a normalized path and its rebuilt full address; an
// opaque one ("mailto:x", or no "//" at all) gets its rest as path, an empty
// host, port 0 and an empty full address. A text without ":" is taken as
// scheme "http".
void ParseUrl(std::string_view address, UrlParts* parts);

// Resolves `link` against the page address `base` into *parts (full
// included) and sets *leaves_host (when not null) when the resulting host
// differs byte for byte from the base's. An empty link (after cleaning)
// resolves to the base. Always returns 0.
int ResolveLink(std::string_view link, std::string_view base, UrlParts* parts, bool* leaves_host);

// Normalizes the part of *path before its first "?" (the query is never
// changed): "/../" removes the segment before it, a final "/.." removes the
// last segment, "/./" and a final "/." go, "//" becomes "/", "%7E" becomes
// "~".
void NormalizePath(std::string* path);

// Rebuilds parts->full from the other fields: scheme ":", "//" unless the
// scheme is "news" or "mailto", "user@" and host unless the scheme is "file",
// ":port" when the port is neither 0 nor the scheme's default, then the path.
void BuildUrl(UrlParts* parts);

}  // namespace qora

#endif  // QORA_ACQUIRE_URL_RESOLUTION_H_
