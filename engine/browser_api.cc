// The entry points of the browser frame: a live page fetched for the
// window, and the search engines of its quick web search.
#include <optional>
#include <string>
#include <string_view>

#include "acquire/web_fetcher.h"
#include "analysis/cfg_file.h"
#include "engine/api_support.h"
#include "qora/engine.h"
#include "util/ascii.h"

using qora::Guarded;
using qora::HandOut;
using qora::SetResult;

namespace {

constexpr size_t kMaxEngineValue = 255;

bool IsWebAddress(std::string_view address) {
  auto starts = [address](std::string_view scheme) {
    if (address.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
      if (qora::AsciiLower(address[i]) != scheme[i]) return false;
    }
    return true;
  };
  return starts("http://") || starts("https://");
}

// `value` cut to kMaxEngineValue bytes with tabs and line ends as blanks,
// or `fallback` when it is empty.
std::string EngineValue(std::string value, const char* fallback) {
  if (value.empty()) return fallback;
  if (value.size() > kMaxEngineValue) value.resize(kMaxEngineValue);
  std::string clean;
  clean.reserve(value.size());
  for (char c : value) clean.push_back(c == '\t' || c == '\n' || c == '\r' ? ' ' : c);
  return clean;
}

}  // namespace

extern "C" {

void EngineFetchPage(const char* address, char** content, int* length, char** content_type,
                     char** final_address, int* result) {
  Guarded(result, qora::kFailed, {content, content_type, final_address}, [&] {
    std::string text = qora::Text(address);
    auto fail = [&](const std::string& message) {
      HandOut(message, content);
      if (length != nullptr) *length = static_cast<int>(message.size());
      HandOut("", content_type);
      HandOut("", final_address);
      SetResult(result, 1);
    };
    if (!IsWebAddress(text)) return fail("Only web addresses (http:// or https://) can be shown.");
    // The fetcher takes the scheme in lower case only.
    const size_t colon = text.find(':');
    text = qora::AsciiLower(std::string_view(text).substr(0, colon)) + text.substr(colon);
    qora::WebFetcher fetcher;
    fetcher.set_max_body_bytes(ENGINE_PAGE_MAX_BYTES);
    fetcher.set_connect_receive_timeout(ENGINE_PAGE_TIMEOUT_MS);
    fetcher.set_send_timeout(ENGINE_PAGE_TIMEOUT_MS);
    if (!fetcher.Fetch(text)) return fail(fetcher.error_text());
    // The content ends with the fetcher's zero byte, which is not the body's.
    const size_t size =
        fetcher.content_size() > 0 ? static_cast<size_t>(fetcher.content_size()) - 1 : 0;
    HandOut(std::string_view(fetcher.content() == nullptr ? "" : fetcher.content(), size), content);
    if (length != nullptr) *length = static_cast<int>(size);
    HandOut(fetcher.content_type(), content_type);
    HandOut(fetcher.final_address().empty() ? text : fetcher.final_address(), final_address);
    SetResult(result, 0);
  });
}

void EngineListSearchEngines(const char* folder, char** out, int* result) {
  Guarded(result, qora::kFailed, {out}, [&] {
    const std::optional<qora::CfgFile> file =
        qora::CfgFile::CfgTryLoad(qora::Text(folder) + "se.ini");
    std::string lines;
    for (int i = 1; i <= 5; ++i) {
      const std::string section = "engine" + std::to_string(i);
      auto get = [&](const char* key) { return file ? file->CfgGet(section, key) : std::string(); };
      lines += EngineValue(get("name"), "engine");
      lines += '\t';
      lines += EngineValue(get("url"), " ");
      lines += '\t';
      lines += EngineValue(get("pre_query_string"), " ");
      lines += '\t';
      lines += EngineValue(get("post_query_string"), " ");
      lines += '\n';
    }
    HandOut(lines, out);
    SetResult(result, file ? 0 : 1);
  });
}

}  // extern "C"
