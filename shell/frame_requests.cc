#include "shell/frame_requests.h"

#include <vector>

#include "qora/engine.h"
#include "shell/engine_string.h"

namespace qora {

LivePage FetchLivePage(const std::string& address) {
  char* content = nullptr;
  char* type = nullptr;
  char* final_address = nullptr;
  int length = 0;
  int result = 1;
  EngineFetchPage(address.c_str(), &content, &length, &type, &final_address, &result);
  LivePage page;
  const std::string body = content == nullptr || length <= 0
                               ? std::string()
                               : std::string(content, static_cast<size_t>(length));
  EngineFreeString(content);
  page.content_type = TakeEngineString(type);
  page.address = TakeEngineString(final_address);
  page.fetched = result == 0;
  if (page.fetched) {
    page.body = body;
  } else {
    page.error = body;
  }
  return page;
}

nlohmann::json SearchEnginesJson(const std::string& folder) {
  int result = 1;
  char* out = nullptr;
  EngineListSearchEngines(folder.c_str(), &out, &result);
  const std::string lines = TakeEngineString(out);
  nlohmann::json engines = nlohmann::json::array();
  size_t start = 0;
  for (size_t end = lines.find('\n'); end != std::string::npos; end = lines.find('\n', start)) {
    std::vector<std::string> fields;
    size_t from = start;
    for (size_t tab = lines.find('\t', from); tab != std::string::npos && tab < end;
         tab = lines.find('\t', from)) {
      fields.push_back(lines.substr(from, tab - from));
      from = tab + 1;
    }
    fields.push_back(lines.substr(from, end - from));
    start = end + 1;
    if (fields.size() != 4) continue;
    engines.push_back(
        {{"name", fields[0]}, {"url", fields[1]}, {"pre", fields[2]}, {"post", fields[3]}});
  }
  return engines;
}

}  // namespace qora
