#include "shell/request_guard.h"

#include <filesystem>
#include <system_error>

#include "util/ascii.h"

namespace qora {
namespace fs = std::filesystem;

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// True when `text` is "http://" + an own host name + ":" + `port`.
bool IsOwnOrigin(std::string_view text, int port) {
  constexpr std::string_view kScheme = "http://";
  if (text.size() <= kScheme.size() || !EqualsIgnoringCase(text.substr(0, kScheme.size()), kScheme)) {
    return false;
  }
  return IsOwnHost(text.substr(kScheme.size()), port);
}

// The resolved form of `path` when it names a regular file, else "".
std::string ResolvedRegularFile(const fs::path& path) {
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  if (error || !fs::is_regular_file(resolved, error) || error) return "";
  return resolved.string();
}

bool IsInside(const std::string& resolved, const std::string& root) {
  std::error_code error;
  const fs::path folder = fs::canonical(root, error);
  if (error) return false;
  const std::string prefix = folder.string() == "/" ? "/" : folder.string() + "/";
  return resolved.size() > prefix.size() && resolved.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IsOwnHost(std::string_view host, int port) {
  const std::string number = std::to_string(port);
  if (host.size() <= number.size() + 1 || host.substr(host.size() - number.size()) != number ||
      host[host.size() - number.size() - 1] != ':') {
    return false;
  }
  const std::string_view name = host.substr(0, host.size() - number.size() - 1);
  return name == "127.0.0.1" || EqualsIgnoringCase(name, "localhost");
}

bool IsOwnRequest(const RequestSource& source, int port, const std::string& token) {
  if (!source.fetch_site.empty()) return source.fetch_site == "same-origin";
  if (!source.origin.empty()) return IsOwnOrigin(source.origin, port);
  if (!source.referer.empty()) {
    const size_t path = source.referer.find('/', 7);  // past "http://"
    return IsOwnOrigin(std::string_view(source.referer).substr(0, path), port);
  }
  return !token.empty() && source.token == token;
}

std::string FileInside(const std::string& root, std::string_view relative) {
  if (root.empty() || root.front() != '/') return "";
  if (relative.find('\0') != std::string_view::npos ||
      relative.find('\\') != std::string_view::npos) {
    return "";
  }
  while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
  if (relative.empty()) return "";
  const std::string resolved = ResolvedRegularFile(fs::path(root) / std::string(relative));
  return !resolved.empty() && IsInside(resolved, root) ? resolved : "";
}

std::string AbsoluteFileInside(const std::string& root, const std::string& path) {
  if (root.empty() || root.front() != '/') return "";
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) return "";
  const std::string resolved = ResolvedRegularFile(path);
  return !resolved.empty() && IsInside(resolved, root) ? resolved : "";
}

std::string ContentTypeOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  std::string ending;
  if (dot != std::string_view::npos) {
    for (char c : path.substr(dot + 1)) ending.push_back(AsciiLower(c));
  }
  if (ending == "html" || ending == "htm") return "text/html; charset=utf-8";
  if (ending == "css") return "text/css; charset=utf-8";
  if (ending == "js" || ending == "mjs") return "text/javascript; charset=utf-8";
  if (ending == "json") return "application/json";
  if (ending == "svg") return "image/svg+xml";
  if (ending == "png") return "image/png";
  if (ending == "xml" || ending == "dml") return "application/xml";
  if (ending == "txt") return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace qora
