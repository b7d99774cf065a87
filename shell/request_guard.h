// The checks every request to the application passes before it is served:
// it must be addressed to the application by its own host name (so a page
// elsewhere cannot reach it through a name that resolves to this machine),
// a request that changes something must come from the application's own
// pages (so no other site, and no archived page served from another port,
// can run a command), and a file it names must lie inside the folder it is
// served from.
#ifndef QORA_SHELL_REQUEST_GUARD_H_
#define QORA_SHELL_REQUEST_GUARD_H_

#include <string>
#include <string_view>

namespace qora {

// True when the Host header `host` names the application: "127.0.0.1" or
// "localhost" (any letter case) followed by ":" and `port`.
bool IsOwnHost(std::string_view host, int port);

// The headers of a request that bear on where it comes from.
struct RequestSource {
  std::string fetch_site;  // Sec-Fetch-Site
  std::string origin;      // Origin
  std::string referer;     // Referer
  std::string token;       // X-Qora-Token
};

// True when a request that changes something may be served: a browser says
// it comes from the same origin (Sec-Fetch-Site "same-origin"); a browser
// that sends no fetch metadata names the application's own origin
// ("http://127.0.0.1:PORT" or "http://localhost:PORT") in Origin, else in
// Referer; a client outside a browser sends the run's secret `token` (not
// empty) in X-Qora-Token. Anything else is refused.
bool IsOwnRequest(const RequestSource& source, int port, const std::string& token);

// The path of the file `relative` (a URL path below the folder, already
// percent-decoded, "/" separated) inside the folder `root`, resolved through
// symbolic links; "" when it would lie outside `root`, names no regular
// file, or holds a NUL or a backslash, and when `root` is not an absolute
// path.
std::string FileInside(const std::string& root, std::string_view relative);

// The absolute path `path` resolved through symbolic links when it names a
// regular file inside the folder `root`; else "".
std::string AbsoluteFileInside(const std::string& root, const std::string& path);

// The content type of a file by its name's ending (HTML, CSS, JavaScript,
// JSON, SVG, PNG, XML and DML, text); "application/octet-stream" otherwise.
std::string ContentTypeOf(std::string_view path);

}  // namespace qora

#endif  // QORA_SHELL_REQUEST_GUARD_H_
